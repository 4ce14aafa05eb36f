// The port list, and port discovery, open, close, pause and unplug against real pseudo-terminals.
#include "app/mainwindow.h"
#include "serial/core/portidentity.h"
#include "serial/core/portlist.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <termios.h>

// An open and a closed port, as controls() shows them.
static const char* const kOpen
    = "open 关闭串口 #0000FF 串口已打开  暂停接收 button pause send file advanced";
static const char* const kClosed = "closed 打开串口 #000000 串口未打开  暂停接收 button ports baud";

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

class tst_SerialPort : public PtyWindowTest {
    Q_OBJECT

private slots:
    // What the pure functions return, as text: a row each, tagged "function: case".
    void portList_data()
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

    void portList()
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

    void hotPlugAppearsWithinOneScan()
    {
        bench->env.set(""); // not plugged in yet
        MainWindow w;
        const QString entry = pty->slavePath() + " Virtual serial port   ";
        QCOMPARE(w.form()->serialNumComboBox->findText(entry), -1);
        bench->env.set(pty->slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(w.form()->serialNumComboBox->findText(entry) >= 0, 4000);
    }

    void openAppliesParameters_data()
    {
        // indexes: baud, data, parity, stop bits; ini: settings written by hand before the start.
        const auto add
            = columns<QList<int>, QList<int>, QByteArray>("indexes", "parameters", "ini");
        using P = QSerialPort;
        const int none = P::NoFlowControl;
        const QList<int> defaults { 2400, 8, P::NoParity, P::OneStop, none };
        add("portListedAtStart", {}, defaults, {});
        add("defaults: 2400 8N1", { 4, 3, 0, 0 }, defaults, {});
        add("settingsWrittenOnlyAfterOpen", { 12, 3, 1, 0 },
            { 460800, 8, P::OddParity, P::OneStop, none }, {});
        add("115200 7E2", { 10, 2, 2, 2 }, { 115200, 7, P::EvenParity, P::TwoStop, none }, {});
        add("9600 5O1", { 6, 0, 1, 0 }, { 9600, 5, P::OddParity, P::OneStop, none }, {});
        add("921600 6 space", { 13, 1, 4, 0 }, { 921600, 6, P::SpaceParity, P::OneStop, none }, {});
        add("2400 8N1.5", { 4, 3, 0, 1 }, { 2400, 8, P::NoParity, P::OneAndHalfStop, none }, {});
        add("110 mark", { 0, 3, 3, 0 }, { 110, 8, P::MarkParity, P::OneStop, none }, {});
        // Hand-written indexes that mean nothing: the defaults are shown, and used.
        add("negative", {}, defaults, "BaudRate=-1\nDataBits=-2\nChckBits=-1\nStopBits=-3");
        add("too big", {}, defaults, "BaudRate=17\nDataBits=4\nChckBits=5\nStopBits=3");
        add("not a number", {}, defaults,
            "BaudRate=fast\nDataBits=8bit\nChckBits=none\nStopBits=1.5");
    }

    void openAppliesParameters()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QList<int>, indexes);
        if (!ini.isEmpty()) {
            QFile file("Settings.ini");
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[SerialConfig]\n" + ini) > 0);
        }
        bench->describe("USB-SERIAL CH340");
        MainWindow w; // its one port is selected
        auto* ui = w.form();
        const QList<QComboBox*> combos { ui->burdrateComboBox, ui->dataBitsComboBox,
            ui->checksumComboBox, ui->stopBitsComboBox };
        QList<int> shown;
        for (int i = 0; i < combos.size(); ++i) {
            shown << combos.at(i)->currentIndex();
            combos.at(i)->setCurrentIndex(indexes.value(i, shown.last()));
        }
        QCOMPARE(shown, QList<int>({ 4, 3, 0, 0 }));
        QCOMPARE(controls(w), QString(kClosed));
        if (ini.isEmpty())
            QCOMPARE(storedPortSettings(), QStringList()); // written once the port opens
        ui->openSerialButton->click();
        QVERIFY2(boxes->calls.isEmpty(), qPrintable(boxes->lastText()));
        const QList<int> used = indexes.isEmpty() ? shown : indexes;
        QCOMPARE(storedPortSettings(),
            QStringList({ QString("BaudRate=%1").arg(used[0]), QString("ChckBits=%1").arg(used[2]),
                "CommPort=" + pty->slavePath() + " USB-SERIAL CH340   ",
                QString("DataBits=%1").arg(used[1]), QString("StopBits=%1").arg(used[3]) }));
        const QSerialPort* port = w.port();
        QTEST(QList<int>({ port->baudRate(), port->dataBits(), port->parity(), port->stopBits(),
                  port->flowControl() }),
            "parameters");
        termios t;
        QCOMPARE(::tcgetattr(pty->masterFd(), &t), 0);
        if (!ini.isEmpty())
            QCOMPARE(cfgetospeed(&t), speed_t(B2400));
        QCOMPARE(controls(w), QString(kOpen));
        ui->openSerialButton->click();
        QCOMPARE(controls(w), QString(kClosed));
    }

    void savedPortSelectedAtStart()
    {
        PtyPair& second = bench->addPort("Second");
        QVERIFY(second.isOpen());
        const QString entry = second.slavePath() + " Second   ";
        QSettings("Settings.ini", QSettings::IniFormat).setValue("SerialConfig/CommPort", entry);
        QCOMPARE(MainWindow().form()->serialNumComboBox->currentText(), entry);
    }

    void openFailureChangesNothing_data()
    {
        const auto add = columns<QString>("kind");
        add("not a tty", "file");
        add("port already in use", "locked");
    }

    void openFailureChangesNothing()
    {
        QFETCH(QString, kind);
        const QString path = kind == "file" ? bench->work.path() + "/plain.txt" : pty->slavePath();
        QFile file(path);
        QSerialPort holder(path);
        if (kind == "file")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a serial port") > 0);
        else
            QVERIFY(holder.open(QIODevice::ReadWrite));
        file.close();
        bench->env.set(path);
        MainWindow w;
        QVERIFY(w.form()->serialNumComboBox->currentText().startsWith(path + " "));
        w.form()->openSerialButton->click();
        QCOMPARE(boxes->calls.size(), 1);
        QCOMPARE(boxes->calls.first().title, QString("警告"));
        QVERIFY2(boxes->lastText().startsWith("串口打开失败："), qPrintable(boxes->lastText()));
        QVERIFY(boxes->lastText().endsWith(" \n[ 请检查是否串口被占用或未连接 ]\t"));
        QCOMPARE(controls(w), QString(kClosed));
        QCOMPARE(storedPortSettings().filter(QRegularExpression("^CommPort=")), QStringList());
    }

    void goneDeviceClosesThePort_data()
    {
        // unplug: else only its entry leaves the port table.
        const auto add = columns<bool, QString>("unplug", "during");
        add("device unplugged", true, "");
        add("gone from the table", false, "");
        add("device unplugged during auto-send", true, "auto-send");
        add("gone from the table during auto-send", false, "auto-send");
        add("gone from the table while paused", false, "pause");
        add("closedDuringTheWarningStaysClosed", false, "warning");
    }

    void goneDeviceClosesThePort()
    {
        QFETCH(bool, unplug);
        QFETCH(QString, during);
        const QString link = unplug ? QString() : bench->listUnderLink("ttyLINK0");
        QVERIFY(unplug || !link.isEmpty());
        // Paused with another port left in the list.
        QVERIFY(during != "pause" || bench->addPort().isOpen());
        MainWindow w;
        openPort(w);
        if (during == "auto-send") {
            w.form()->timeAutoSpinBox->setValue(100000);
            w.form()->autoSendCheckBox->setChecked(true);
        } else if (during == "pause") {
            w.form()->pauseRecvButton->click();
        } else if (during == "warning") {
            // The device goes while the scan's warning is up: the port's own error closes it then.
            MsgBox::setHandler([&](const MsgBox::Call& call) {
                boxes->calls.append(call);
                pty->closeMaster();
                (void)QTest::qWaitFor([&] { return !w.port()->isOpen(); }, 3000);
                return QMessageBox::Ok;
            });
        }
        if (unplug) {
            pty->closeMaster();
            // Well before the next port scan: the port's own error closes it.
            QTRY_VERIFY_WITH_TIMEOUT(!w.port()->isOpen(), 1500);
        } else {
            QVERIFY(QFile::remove(link));
            w.slotUpdateSerialPort();
        }
        QStringList texts = boxes->texts();
        if (during == "warning")
            texts.removeDuplicates(); // the port's own error may warn once more
        QCOMPARE(texts, QStringList { bench->portPath() + ": 端口号断开\t" });
        const int warned = boxes->calls.size();
        // Paused, the open button is freed at the next scan.
        QCOMPARE(controls(w),
            QString(during == "pause" ? "closed 打开串口 #000000 串口未打开  暂停接收 ports baud"
                                      : kClosed));
        QVERIFY(!w.form()->autoSendCheckBox->isChecked() && !w.autoSend()->isActive());
        // Nothing repeats afterwards, at the next scans or by itself.
        w.slotUpdateSerialPort();
        w.slotUpdateSerialPort();
        QTest::qWait(300);
        QCOMPARE(boxes->calls.size(), warned);
        QCOMPARE(controls(w), QString(kClosed));
    }

    void pauseAndResume()
    {
        MainWindow w;
        openPort(w, NoTime);
        QVERIFY(pty->write("one\n"));
        QTRY_COMPARE(w.received(), 4);

        w.form()->pauseRecvButton->click();
        const QString paused
            = "open 关闭串口 #969696 串口已打开  恢复接收 pause send file advanced";
        QCOMPARE(controls(w), paused);
        QVERIFY(pty->write("two\n"));
        QTest::qWait(300); // nothing is taken in while paused
        QCOMPARE(w.received(), 4);
        // While paused the scan keeps the open button disabled.
        w.slotUpdateSerialPort();
        QCOMPARE(controls(w), paused);

        w.form()->pauseRecvButton->click();
        QCOMPARE(controls(w), QString(kOpen));
        QTRY_COMPARE(w.received(), 8);
        QTRY_COMPARE(viewText(w), QString("RX←◆one\nRX←◆two"));
    }

    void closeRefusedWhileAutoSend()
    {
        MainWindow w;
        openPort(w);
        w.form()->timeAutoSpinBox->setValue(100000);
        w.form()->autoSendCheckBox->setChecked(true);
        w.form()->openSerialButton->click();
        QCOMPARE(boxes->texts(), QStringList { "请先停用自动发送功能，再尝试关闭串口！\t" });
        QCOMPARE(boxes->calls.first().kind, MsgBox::Information);
        QCOMPARE(boxes->calls.first().title, QString("通知"));
        QVERIFY(w.port()->isOpen());
        w.form()->autoSendCheckBox->setChecked(false);
        w.form()->openSerialButton->click();
        QVERIFY(!w.port()->isOpen());
    }

    void reconnectsToTheSameDevice_data()
    {
        // unplug: the device goes, not only its link; byHand: the user closes the port meanwhile.
        const auto add = columns<bool, bool, bool>("unplug", "newPty", "byHand");
        add("link removed, same pty back", false, false, false);
        add("link removed, new pty behind it", false, true, false);
        add("device gone, new pty behind the link", true, true, false);
        add("closed by hand while waiting", false, false, true);
    }

    void reconnectsToTheSameDevice()
    {
        QFETCH(bool, unplug);
        QFETCH(bool, newPty);
        QFETCH(bool, byHand);
        const QString link = bench->listUnderLink("ttyRECON");
        PtyPair other;
        QVERIFY(!link.isEmpty() && other.isOpen());
        MainWindow w;
        w.extraSettings()->findChild<QCheckBox*>("autoReconnectCheckBox")->click();
        QSettings stored("Settings.ini", QSettings::IniFormat);
        QVERIFY(stored.value("CustomConfig/AutoReconnect").toBool());
        w.form()->burdrateComboBox->setCurrentIndex(10);
        openPort(w, NoTime | LiveRecord);
        QVERIFY(pty->write("before\n"));
        QTRY_VERIFY(viewText(w).contains("before"));
        const QString liveFile = w.liveRecorder()->fileName();

        // Unplugged, the port's own error notices it; a removed link, the next scan.
        if (unplug)
            pty->closeMaster();
        else
            QVERIFY(QFile::remove(link));
        w.slotUpdateSerialPort();
        QTRY_VERIFY(w.waitingForReconnect());
        QVERIFY(controls(w).startsWith("closed 等待重连"));
        if (byHand)
            w.form()->openSerialButton->click();
        PtyPair& device = newPty ? other : *pty;
        QFile::remove(link);
        QVERIFY(QFile::link(device.slavePath(), link));
        if (byHand) {
            QTest::qWait(600); // longer than the wait's faster scan: no reconnect
            QCOMPARE(controls(w), QString(kClosed));
            QVERIFY(boxes->calls.isEmpty());
            return;
        }
        // Well within the usual 3 s scan: the wait scans faster.
        QTRY_VERIFY_WITH_TIMEOUT(w.port()->isOpen(), 2000);
        QCOMPARE(controls(w), QString(kOpen));
        QCOMPARE(w.port()->baudRate(), 115200);
        QVERIFY(device.write("after\n"));
        const QRegularExpression order(
            "RX←◆before\n⚠ \\d\\d:\\d\\d:\\d\\d\\.\\d{3} 串口已断开，"
            "等待重新连接…\n✓ \\d\\d:\\d\\d:\\d\\d\\.\\d{3} 已重新连接\nRX←◆after");
        QTRY_VERIFY2(order.match(viewText(w)).hasMatch(), qPrintable(viewText(w)));
        QVERIFY(boxes->calls.isEmpty());
        QCOMPARE(w.liveRecorder()->fileName(), liveFile);
        w.form()->liveRecordCheckBox->setChecked(false);
        QVERIFY(
            order.match(QTextCodec::codecForLocale()->toUnicode(fileBytes(liveFile))).hasMatch());
    }

private:
    // As the user sees it: open button text and colour, state, pause text, controls enabled.
    static QString controls(MainWindow& w)
    {
        auto* ui = w.form();
        QStringList state { w.port()->isOpen() ? "open" : "closed", ui->openSerialButton->text(),
            ui->openSerialButton->styleSheet()
                .remove("QPushButton{color:")
                .remove(";font-weight:bold;}"),
            w.findChild<QLabel*>("serialStateLabel")->text(), ui->pauseRecvButton->text() };
        const QList<QPair<const char*, QWidget*>> parts { { "button", ui->openSerialButton },
            { "ports", ui->serialNumComboBox }, { "baud", ui->burdrateComboBox },
            { "pause", ui->pauseRecvButton }, { "send", ui->sendDataButton },
            { "file", ui->fileAreaGroupBox }, { "advanced", ui->advancedSendButton } };
        for (const auto& part : parts)
            if (part.second->isEnabled())
                state << part.first;
        return state.join(' ');
    }

    // The port settings stored so far, as key=value.
    static QStringList storedPortSettings()
    {
        QSettings s("Settings.ini", QSettings::IniFormat);
        s.beginGroup("SerialConfig");
        QStringList out;
        for (const QString& key : s.childKeys())
            out << key + "=" + s.value(key).toString();
        return out;
    }
};

QTEST_MAIN(tst_SerialPort)
#include "tst_serialport.moc"
