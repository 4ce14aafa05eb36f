#include "serial/core/portidentity.h"
#include "serial/core/portlist.h"

#include <QtTest>

class tst_PortList : public QObject {
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void laterNameReplacesDescription();
    void entryText_data();
    void entryText();
    void portNameOf_data();
    void portNameOf();
    void extraPorts_data();
    void extraPorts();
    void sameNames();
    void returnedPort_data();
    void returnedPort();
};

void tst_PortList::order_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("windows names by number")
        << QStringList { "COM10", "COM2", "COM1" } << QStringList { "COM1", "COM2", "COM10" };
    QTest::newRow("linux families stay apart") << QStringList { "ttyUSB10", "ttyS1", "ttyUSB2",
        "ttyACM1", "ttyS0" } << QStringList { "ttyACM1", "ttyS0", "ttyS1", "ttyUSB2", "ttyUSB10" };
    QTest::newRow("pty paths keep their full names") << QStringList { "/dev/pts/12", "ttyS0",
        "/dev/pts/3" } << QStringList { "/dev/pts/3", "/dev/pts/12", "ttyS0" };
    QTest::newRow("names without numbers")
        << QStringList { "rfcomm", "ttyS0", "null" } << QStringList { "null", "rfcomm", "ttyS0" };
    QTest::newRow("short and odd names are not cut")
        << QStringList { "ab", "COM3x", "a1" } << QStringList { "COM3x", "a1", "ab" };
}

void tst_PortList::order()
{
    QFETCH(QStringList, input);
    QFETCH(QStringList, expected);
    PortList::Table table;
    for (const QString& name : input)
        table.append({ name, QString() });
    QStringList names;
    for (const auto& p : PortList::normalized(table))
        names << p.first;
    QCOMPARE(names, expected);
}

void tst_PortList::laterNameReplacesDescription()
{
    const auto table = PortList::normalized(
        { { "ttyUSB0", "first" }, { "ttyS0", "" }, { "ttyUSB0", "second" } });
    QCOMPARE(table.size(), 2);
    QCOMPARE(PortList::descriptionOf(table, "ttyUSB0"), QString("second"));
}

void tst_PortList::entryText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("entry");
    QTest::newRow("three blanks appended") << "COM3"
                                           << "USB-SERIAL CH340"
                                           << "COM3 USB-SERIAL CH340   ";
    QTest::newRow("ends with two blanks already") << "COM3"
                                                  << "X  "
                                                  << "COM3 X  ";
    QTest::newRow("empty description") << "ttyS0"
                                       << ""
                                       << "ttyS0    ";
    QTest::newRow("one trailing blank") << "ttyS0"
                                        << "a "
                                        << "ttyS0 a    ";
}

void tst_PortList::entryText()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, entry);
    QCOMPARE(PortList::entryText(name, description), entry);
    QCOMPARE(PortList::portNameOf(entry), name);
}

void tst_PortList::portNameOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("leading blank gives empty name") << " COM1 x"
                                                    << "";
    QTest::newRow("no blank") << "/dev/pts/4"
                              << "/dev/pts/4";
}

void tst_PortList::portNameOf()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(PortList::portNameOf(text), name);
}

void tst_PortList::extraPorts_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("flat");
    QTest::newRow("empty") << "" << QStringList {};
    QTest::newRow("path alone gets the default")
        << "/dev/pts/3" << QStringList { "/dev/pts/3", "Virtual serial port" };
    QTest::newRow("path with description and blanks")
        << " /tmp/a = Board A ;;/tmp/b"
        << QStringList { "/tmp/a", "Board A", "/tmp/b", "Virtual serial port" };
    QTest::newRow("empty description stays empty") << "/tmp/c=" << QStringList { "/tmp/c", "" };
    QTest::newRow("no path is skipped") << "=desc;  ;" << QStringList {};
    QTest::newRow("description may hold '='") << "/x=a=b" << QStringList { "/x", "a=b" };
}

void tst_PortList::extraPorts()
{
    QFETCH(QString, list);
    QFETCH(QStringList, flat);
    QStringList got;
    for (const auto& p : PortList::parseExtraPorts(list, "Virtual serial port"))
        got << p.first << p.second;
    QCOMPARE(got, flat);
}

void tst_PortList::sameNames()
{
    const PortList::Table a { { "ttyS0", "a" }, { "ttyS1", "b" } };
    const PortList::Table b { { "ttyS0", "changed" }, { "ttyS1", "" } };
    const PortList::Table c { { "ttyS0", "a" } };
    QVERIFY(PortList::sameNames(a, b)); // a description change alone does not rebuild the list
    QVERIFY(!PortList::sameNames(a, c));
    QVERIFY(PortList::sameNames({}, {}));
}

void tst_PortList::returnedPort_data()
{
    // Links as "identity=target"; the identity is the one the port had when it was opened.
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("expected");
    const QString ftdi = "usb-FTDI_FT232R_A50285BI-if00-port0";
    const QString ch340 = "usb-1a86_USB_Serial-if00-port0";
    QTest::newRow("same name, same device")
        << QStringList { ftdi + "=/dev/ttyUSB0" } << QStringList { "ttyUSB0" } << ftdi << "ttyUSB0";
    QTest::newRow("same device under a new name")
        << QStringList { ch340 + "=/dev/ttyUSB0", ftdi + "=/dev/ttyUSB1" }
        << QStringList { "ttyUSB0", "ttyUSB1" } << ftdi << "ttyUSB1";
    QTest::newRow("another device took the name")
        << QStringList { ch340 + "=/dev/ttyUSB0" } << QStringList { "ttyUSB0" } << ftdi << "";
    QTest::newRow("name back before its link")
        << QStringList {} << QStringList { "ttyUSB0" } << ftdi << "ttyUSB0";
    QTest::newRow("linked but not listed yet")
        << QStringList { ftdi + "=/dev/ttyACM3" } << QStringList { "ttyUSB0" } << ftdi << "";
    QTest::newRow("no identity: the path decides")
        << QStringList {} << QStringList { "/tmp/ttySIM0" } << QString() << "/tmp/ttySIM0";
}

void tst_PortList::returnedPort()
{
    QFETCH(QStringList, links);
    QFETCH(QStringList, ports);
    QFETCH(QString, identity);
    QFETCH(QString, expected);
    PortIdentity::Links byId;
    for (const QString& link : links)
        byId.append({ link.section('=', 0, 0), link.section('=', 1) });
    PortList::Table table;
    for (const QString& port : ports)
        table.append({ port, "USB Serial" });
    const QString lost = identity.isEmpty() ? "/tmp/ttySIM0" : "ttyUSB0";
    QCOMPARE(PortIdentity::returnedPort(lost, identity, table, byId), expected);
}

QTEST_GUILESS_MAIN(tst_PortList)
#include "tst_portlist.moc"
