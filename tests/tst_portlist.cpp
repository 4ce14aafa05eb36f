#include "serial/core/portidentity.h"
#include "serial/core/portlist.h"
#include "testdata.h"

using Call = std::function<QString()>;
Q_DECLARE_METATYPE(Call)

// A table of the blank-separated names, each with the description.
static PortList::Table tableOf(const QString& names, const QString& description = QString())
{
    PortList::Table table;
    for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
        table.append({ name, description });
    return table;
}

class tst_PortList : public QObject {
    Q_OBJECT

private slots:
    // What the pure functions return, as text: a row each, tagged "function: case".
    void calls_data()
    {
        const auto add = columns<QString, Call>("expected", "call");
        // The names, in the order the list shows them.
        const auto order = [&](const char* tag, const QString& input, const QString& expected) {
            add(QByteArray("order: ") + tag, expected, [=] {
                QStringList names;
                for (const auto& p : PortList::normalized(tableOf(input)))
                    names << p.first;
                return names.join(' ');
            });
        };
        order("windows names by number", "COM10 COM2 COM1", "COM1 COM2 COM10");
        order("linux families stay apart", "ttyUSB10 ttyS1 ttyUSB2 ttyACM1 ttyS0",
            "ttyACM1 ttyS0 ttyS1 ttyUSB2 ttyUSB10");
        order("pty paths keep their full names", "/dev/pts/12 ttyS0 /dev/pts/3",
            "/dev/pts/3 /dev/pts/12 ttyS0");
        order("names without numbers", "rfcomm ttyS0 null", "null rfcomm ttyS0");
        order("short and odd names are not cut", "ab COM3x a1", "COM3x a1 ab");

        // The entry, then the port name read back from it.
        const auto entry = [&](const char* tag, const QString& name, const QString& description,
                               const QString& entry) {
            add(QByteArray("entryText: ") + tag, entry + '|' + name, [=] {
                const QString text = PortList::entryText(name, description);
                return text + '|' + PortList::portNameOf(text);
            });
        };
        entry("three blanks appended", "COM3", "USB-SERIAL CH340", "COM3 USB-SERIAL CH340   ");
        entry("ends with two blanks already", "COM3", "X  ", "COM3 X  ");
        entry("empty description", "ttyS0", "", "ttyS0    ");
        entry("one trailing blank", "ttyS0", "a ", "ttyS0 a    ");

        const auto nameOf = [&](const char* tag, const QString& text, const QString& name) {
            add(QByteArray("portNameOf: ") + tag, name, [=] { return PortList::portNameOf(text); });
        };
        nameOf("empty", "", "");
        nameOf("leading blank gives empty name", " COM1 x", "");
        nameOf("no blank", "/dev/pts/4", "/dev/pts/4");

        // Each port as "path|description", joined by "; ".
        const auto extra = [&](const char* tag, const QString& list, const QString& ports) {
            add(QByteArray("extraPorts: ") + tag, ports, [=] {
                QStringList got;
                for (const auto& p : PortList::parseExtraPorts(list, "Virtual serial port"))
                    got << p.first + '|' + p.second;
                return got.join(QStringLiteral("; "));
            });
        };
        extra("empty", "", "");
        extra("path alone gets the default", "/dev/pts/3", "/dev/pts/3|Virtual serial port");
        extra("path with description and blanks", " /tmp/a = Board A ;;/tmp/b",
            "/tmp/a|Board A; /tmp/b|Virtual serial port");
        extra("empty description stays empty", "/tmp/c=", "/tmp/c|");
        extra("no path is skipped", "=desc;  ;", "");
        extra("description may hold '='", "/x=a=b", "/x|a=b");

        // Links as "device=target"; the port was opened on `device` (none: it had no identity).
        const auto returned = [&](const char* tag, const QString& links, const QString& ports,
                                  const QString& device, const QString& expected) {
            add(QByteArray("returnedPort: ") + tag, expected, [=] {
                const QMap<QString, QString> identities {
                    { "ftdi", "usb-FTDI_FT232R_A50285BI-if00-port0" },
                    { "ch340", "usb-1a86_USB_Serial-if00-port0" }
                };
                PortIdentity::Links byId;
                for (const QString& link : links.split(' ', Qt::SkipEmptyParts))
                    byId.append(
                        { identities.value(link.section('=', 0, 0)), link.section('=', 1) });
                const QString identity = identities.value(device); // null for no device
                return PortIdentity::returnedPort(identity.isEmpty() ? "/tmp/ttySIM0" : "ttyUSB0",
                    identity, tableOf(ports, "USB Serial"), byId);
            });
        };
        returned("same name, same device", "ftdi=/dev/ttyUSB0", "ttyUSB0", "ftdi", "ttyUSB0");
        returned("same device under a new name", "ch340=/dev/ttyUSB0 ftdi=/dev/ttyUSB1",
            "ttyUSB0 ttyUSB1", "ftdi", "ttyUSB1");
        returned("another device took the name", "ch340=/dev/ttyUSB0", "ttyUSB0", "ftdi", "");
        returned("name back before its link", "", "ttyUSB0", "ftdi", "ttyUSB0");
        returned("linked but not listed yet", "ftdi=/dev/ttyACM3", "ttyUSB0", "ftdi", "");
        returned("no identity: the path decides", "", "/tmp/ttySIM0", "", "/tmp/ttySIM0");
    }

    void calls()
    {
        QFETCH(Call, call);
        QTEST(call(), "expected");
    }

    void laterNameReplacesDescription()
    {
        const auto table = PortList::normalized(
            { { "ttyUSB0", "first" }, { "ttyS0", "" }, { "ttyUSB0", "second" } });
        QCOMPARE(table.size(), 2);
        QCOMPARE(PortList::descriptionOf(table, "ttyUSB0"), QString("second"));
    }

    void sameNames()
    {
        const PortList::Table a { { "ttyS0", "a" }, { "ttyS1", "b" } };
        // A description change alone does not rebuild the list.
        QVERIFY(PortList::sameNames(a, { { "ttyS0", "changed" }, { "ttyS1", "" } }));
        QVERIFY(!PortList::sameNames(a, { { "ttyS0", "a" } }));
        QVERIFY(PortList::sameNames({}, {}));
    }
};

QTEST_GUILESS_MAIN(tst_PortList)
#include "tst_portlist.moc"
