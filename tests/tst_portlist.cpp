#include "serial/core/portidentity.h"
#include "serial/core/portlist.h"
#include "testdata.h"

#include <QtTest>

class tst_PortList : public QObject {
    Q_OBJECT

private slots:
    void order_data()
    {
        const auto add = columns<QString, QString>("input", "expected");
        add("windows names by number", "COM10 COM2 COM1", "COM1 COM2 COM10");
        add("linux families stay apart", "ttyUSB10 ttyS1 ttyUSB2 ttyACM1 ttyS0",
            "ttyACM1 ttyS0 ttyS1 ttyUSB2 ttyUSB10");
        add("pty paths keep their full names", "/dev/pts/12 ttyS0 /dev/pts/3",
            "/dev/pts/3 /dev/pts/12 ttyS0");
        add("names without numbers", "rfcomm ttyS0 null", "null rfcomm ttyS0");
        add("short and odd names are not cut", "ab COM3x a1", "COM3x a1 ab");
    }

    void order()
    {
        QFETCH(QString, input);
        PortList::Table table;
        for (const QString& name : input.split(' '))
            table.append({ name, QString() });
        QStringList names;
        for (const auto& p : PortList::normalized(table))
            names << p.first;
        QTEST(names.join(' '), "expected");
    }

    void laterNameReplacesDescription()
    {
        const auto table = PortList::normalized(
            { { "ttyUSB0", "first" }, { "ttyS0", "" }, { "ttyUSB0", "second" } });
        QCOMPARE(table.size(), 2);
        QCOMPARE(PortList::descriptionOf(table, "ttyUSB0"), QString("second"));
    }

    void entryText_data()
    {
        const auto add = columns<QString, QString, QString>("name", "description", "entry");
        add("three blanks appended", "COM3", "USB-SERIAL CH340", "COM3 USB-SERIAL CH340   ");
        add("ends with two blanks already", "COM3", "X  ", "COM3 X  ");
        add("empty description", "ttyS0", "", "ttyS0    ");
        add("one trailing blank", "ttyS0", "a ", "ttyS0 a    ");
    }

    void entryText()
    {
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, entry);
        QCOMPARE(PortList::entryText(name, description), entry);
        QCOMPARE(PortList::portNameOf(entry), name);
    }

    void portNameOf_data()
    {
        const auto add = columns<QString, QString>("text", "name");
        add("empty", "", "");
        add("leading blank gives empty name", " COM1 x", "");
        add("no blank", "/dev/pts/4", "/dev/pts/4");
    }

    void portNameOf()
    {
        QFETCH(QString, text);
        QTEST(PortList::portNameOf(text), "name");
    }

    void extraPorts_data()
    {
        // ports: each as "path|description", joined by "; "
        const auto add = columns<QString, QString>("list", "ports");
        add("empty", "", "");
        add("path alone gets the default", "/dev/pts/3", "/dev/pts/3|Virtual serial port");
        add("path with description and blanks", " /tmp/a = Board A ;;/tmp/b",
            "/tmp/a|Board A; /tmp/b|Virtual serial port");
        add("empty description stays empty", "/tmp/c=", "/tmp/c|");
        add("no path is skipped", "=desc;  ;", "");
        add("description may hold '='", "/x=a=b", "/x|a=b");
    }

    void extraPorts()
    {
        QFETCH(QString, list);
        QStringList got;
        for (const auto& p : PortList::parseExtraPorts(list, "Virtual serial port"))
            got << p.first + '|' + p.second;
        QTEST(got.join(QStringLiteral("; ")), "ports");
    }

    void sameNames()
    {
        const PortList::Table a { { "ttyS0", "a" }, { "ttyS1", "b" } };
        const PortList::Table b { { "ttyS0", "changed" }, { "ttyS1", "" } };
        const PortList::Table c { { "ttyS0", "a" } };
        QVERIFY(PortList::sameNames(a, b)); // a description change alone does not rebuild the list
        QVERIFY(!PortList::sameNames(a, c));
        QVERIFY(PortList::sameNames({}, {}));
    }

    void returnedPort_data()
    {
        // Links as "device=target"; the port was opened on `device` (none: it had no identity).
        const auto add
            = columns<QString, QString, QString, QString>("links", "ports", "device", "expected");
        add("same name, same device", "ftdi=/dev/ttyUSB0", "ttyUSB0", "ftdi", "ttyUSB0");
        add("same device under a new name", "ch340=/dev/ttyUSB0 ftdi=/dev/ttyUSB1",
            "ttyUSB0 ttyUSB1", "ftdi", "ttyUSB1");
        add("another device took the name", "ch340=/dev/ttyUSB0", "ttyUSB0", "ftdi", "");
        add("name back before its link", "", "ttyUSB0", "ftdi", "ttyUSB0");
        add("linked but not listed yet", "ftdi=/dev/ttyACM3", "ttyUSB0", "ftdi", "");
        add("no identity: the path decides", "", "/tmp/ttySIM0", "", "/tmp/ttySIM0");
    }

    void returnedPort()
    {
        QFETCH(QString, links);
        QFETCH(QString, ports);
        QFETCH(QString, device);
        const QMap<QString, QString> identities { { "ftdi", "usb-FTDI_FT232R_A50285BI-if00-port0" },
            { "ch340", "usb-1a86_USB_Serial-if00-port0" } };
        PortIdentity::Links byId;
        for (const QString& link : links.split(' ', Qt::SkipEmptyParts))
            byId.append({ identities.value(link.section('=', 0, 0)), link.section('=', 1) });
        PortList::Table table;
        for (const QString& port : ports.split(' '))
            table.append({ port, "USB Serial" });
        const QString identity = identities.value(device); // null for no device
        const QString lost = identity.isEmpty() ? "/tmp/ttySIM0" : "ttyUSB0";
        QTEST(PortIdentity::returnedPort(lost, identity, table, byId), "expected");
    }
};

QTEST_GUILESS_MAIN(tst_PortList)
#include "tst_portlist.moc"
