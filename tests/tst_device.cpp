// The additional-functions window: its widgets, the checksum, character/hex and frame tools, and
// the device-command console against a pty and against the simulated board.
#include "app/mainwindow.h"
#include "devsimprocess.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "tools/core/devicecommand.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextCodec>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

namespace {

// One data row: the tag, then the columns in order.
template <typename... T> void row(const char* tag, const T&... values)
{
    (QTest::newRow(tag) << ... << values);
}

template <class T> T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no widget %s", name);
    return w;
}

QByteArray gbk(const QString& text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

QString hexOf(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex().toUpper()); }

// What the named widgets show: a group box's title, a text box's plain text, anything else's text.
QStringList texts(QObject* parent, const QStringList& names)
{
    QStringList shown;
    for (const QString& name : names) {
        const QObject* w = parent->findChild<QWidget*>(name);
        QVariant text = w ? w->property("plainText") : QVariant("no " + name);
        if (!text.isValid())
            text = w->property(w->inherits("QGroupBox") ? "title" : "text");
        shown << text.toString();
    }
    return shown;
}

// A free-standing additional-functions window.
struct Tools {
    QWidget parent;
    AdditionFunction f { &parent };
    void click(const char* button) { child<QAbstractButton>(&f, button)->click(); }
    QTextEdit* edit(const char* name) { return child<QTextEdit>(&f, name); }
    QString line(const char* name) { return child<QLineEdit>(&f, name)->text(); }
};

// The main window and the device console of its additional-functions window.
struct Console {
    MainWindow w;
    AdditionFunction* f = w.additionWindow();
    QPlainTextEdit* send = child<QPlainTextEdit>(f, "sendDataPlainTextEdit");
    QPlainTextEdit* hexPane = child<QPlainTextEdit>(f, "hexRecvPlainTextEdit");
    QPlainTextEdit* charPane = child<QPlainTextEdit>(f, "charRecvPlainTextEdit");

    // The bench's pty, or the simulated board's.
    bool open(const QString& path)
    {
        auto* combo = w.form()->serialNumComboBox;
        // The path and the blank after it: /dev/pts/1 must not pick /dev/pts/10.
        combo->setCurrentIndex(combo->findText(path + QLatin1Char(' '), Qt::MatchStartsWith));
        w.form()->openSerialButton->click();
        w.form()->showTimeCheckBox->setChecked(false);
        return w.port()->isOpen();
    }
    void click(const char* button) { child<QToolButton>(f, button)->click(); }
};

} // namespace

class tst_Device : public PtyWindowTest {
    Q_OBJECT

private slots:
    // The window
    void freshWindow()
    {
        Tools t;
        AdditionFunction& f = t.f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Quillon - 附加功能"));
        auto* tabs = child<QTabWidget>(&f, "tabWidget");
        QCOMPARE(tabs->currentIndex(), 0);
        QStringList tabTexts;
        for (int i = 0; i < tabs->count(); ++i)
            tabTexts << tabs->tabText(i) + " " + tabs->widget(i)->objectName();
        QCOMPARE(tabTexts,
            QStringList({ "常用功能 tab", "MCU功能 tab_2", "帧格式功能 tab_3", "设备功能 tab_4" }));
        QCOMPARE(texts(&f,
                     { "checksumGroupBox", "characterHexGroupBox", "groupBox_3",
                         "frameFormatSetUnsetGroupBox", "groupBox", "label", "label_2",
                         "calChecksumButton", "characterShowRadioButton", "mcuUpgradeCheckBox",
                         "setButton", "unsetButton", "label_12" }),
            QStringList({ "校验和计算", "字符/16进制转换", "MCU 串口升级", "帧格式封装/解封",
                " 串口通信(0xFE)", "结果：0x", "+ (-0xFF)：", "立即计算", "字符串显示",
                "自动下载 - Tip：请在 \"文件区\" 指定文件升级包的路径 - 类型：", "立即封装",
                "立即解封", "发送区数据(十六进制  最大长度255字节)：" }));

        // Checksum: Hex and the plain sum, each group exclusive through its button group.
        auto* hexData = child<QRadioButton>(&f, "hexDataRadioButton");
        auto* asciiData = child<QRadioButton>(&f, "asciiDataRadioButton");
        auto* plain = child<QRadioButton>(&f, "sourceSumRadioButton");
        auto* xorSum = child<QRadioButton>(&f, "xorSumRadioButton");
        QVERIFY(hexData->isChecked() && !asciiData->isChecked());
        QVERIFY(plain->isChecked());
        QVERIFY(!hexData->autoExclusive() && !plain->autoExclusive());
        QVERIFY(hexData->group() && hexData->group() == asciiData->group());
        QVERIFY(plain->group() && plain->group() == xorSum->group()
            && plain->group() != hexData->group());
        asciiData->click();
        QVERIFY(!hexData->isChecked());
        xorSum->click();
        QVERIFY(!plain->isChecked() && asciiData->isChecked());
        for (const char* name : { "hexValueLineEdit", "hexFFValueLineEdit" }) {
            QVERIFY(child<QLineEdit>(&f, name)->isReadOnly());
            QCOMPARE(child<QLineEdit>(&f, name)->maximumWidth(), 50);
        }
        QVERIFY(child<QRadioButton>(&f, "hexShowRadioButton")->isChecked());

        // Upgrade settings.
        QVERIFY(!f.isMcuUpgradeChecked());
        auto* type = child<QComboBox>(&f, "typeUpgradeComboBox");
        QCOMPARE(type->currentText(), QStringLiteral("2 - 下载主程序 HEX文件"));
        QCOMPARE(type->count(), 5);
        auto* key = child<QLineEdit>(&f, "mcuKeyLineEdit");
        QCOMPARE(key->echoMode(), QLineEdit::PasswordEchoOnEdit);
        type->setCurrentIndex(4);
        QByteArray typeBytes;
        QByteArray keyBytes;
        f.mcuUpgradeParams(typeBytes, keyBytes);
        QCOMPARE(typeBytes, QByteArray("\x35"));
        key->clear();
        f.mcuUpgradeParams(typeBytes, keyBytes);
        QCOMPARE(keyBytes, QByteArray());

        // Frame rule: 7E = 7D + 02, 7D = 7D + 01, with the shared 7D not editable.
        QCOMPARE(texts(&f,
                     { "ruleF1LineEdit", "ruleF2LineEdit", "ruleMLineEdit", "ruleB1LineEdit",
                         "ruleB2LineEdit" }),
            QStringList({ "7E", "7D", "7D", "02", "01" }));
        QVERIFY(!child<QLineEdit>(&f, "ruleMLineEdit")->isEnabled());

        // Device console.
        QCOMPARE(child<QPlainTextEdit>(&f, "sendDataPlainTextEdit")->maximumHeight(), 150);
        QCOMPARE(texts(&f,
                     { "mpuVerToolButton", "resetMCUToolButton", "getResetInfoButton",
                         "sendToolButton", "clearToolButton" }),
            QStringList({ "主机版本", "复位MCU", "复位信息", "直接发送", "清空" }));
        auto* replyTabs = child<QTabWidget>(&f, "tabWidget_2");
        QCOMPARE(replyTabs->currentIndex(), 0);
        QCOMPARE(QStringList({ replyTabs->tabText(0), replyTabs->tabText(1) }),
            QStringList({ "接收区数据(十六进制)：", "接收区数据(有效区域字符显示)：" }));
        QVERIFY(replyTabs->widget(0)->findChild<QPlainTextEdit*>("hexRecvPlainTextEdit"));
        QVERIFY(replyTabs->widget(1)->findChild<QPlainTextEdit*>("charRecvPlainTextEdit"));
    }

    void keepsItsSize()
    {
        Tools t;
        t.f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.f));
        // Every tab's contents fit: the layout did not have to grow the window.
        QCOMPARE(t.f.size(), QSize(649, 404));
        QVERIFY(t.f.minimumSizeHint().width() <= 649 && t.f.minimumSizeHint().height() <= 404);
    }
    // Checksum
    void checksum_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("complement");
        row("hex plain", "01 02 03", "hexDataRadioButton", "sourceSumRadioButton", "06", "f9");
        row("hex complements", "01 02 03", "hexDataRadioButton", "reverseSumRadioButton", "f7",
            "08");
        row("ascii xor", "abc", "asciiDataRadioButton", "xorSumRadioButton", "60", "9f");
        row("hex blanks only", "  ", "hexDataRadioButton", "xorSumRadioButton", "00", "ff");
    }

    void checksum()
    {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QString, kind);
        Tools t;
        t.click(qPrintable(mode));
        t.click(qPrintable(kind));
        t.edit("checksumTextEdit")->setPlainText(text);
        t.click("calChecksumButton");
        QTEST(t.line("hexValueLineEdit"), "sum");
        QTEST(t.line("hexFFValueLineEdit"), "complement");
        QVERIFY(boxes->calls.isEmpty());
    }

    void checksumWithoutDataWarns()
    {
        Tools t;
        t.edit("checksumTextEdit")->setPlainText("0a");
        t.click("calChecksumButton");
        t.edit("checksumTextEdit")->clear();
        t.click("calChecksumButton");
        QCOMPARE(boxes->texts(), QStringList { "校验和计算：请输入待校验的数据！\t" });
        QCOMPARE(boxes->calls.first().kind, MsgBox::Warning);
        QCOMPARE(boxes->calls.first().title, QStringLiteral("warning"));
        // The last result stays.
        QCOMPARE(QStringList({ t.line("hexValueLineEdit"), t.line("hexFFValueLineEdit") }),
            QStringList({ "0a", "f5" }));
    }
    // Character/hex
    // Each step: an optional new text ("" keeps the box), the button clicked ("c" characters, "h"
    // hex), and the box afterwards.
    void characterHex_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("results");
        row("to characters and back", QStringList { "41 42 43", "" }, QStringList { "c", "h" },
            QStringList { "ABC", "414243" });
        row("hex at start changes nothing", QStringList { "zz 中" }, QStringList { "h" },
            QStringList { "zz 中" });
        row("the selected button converts once", QStringList { "41", "" }, QStringList { "c", "c" },
            QStringList { "A", "A" });
        row("retyped text converts back", QStringList { "41", "中" }, QStringList { "c", "h" },
            QStringList { "A", "E4B8AD" });
        row("Chinese there and back: blanks", QStringList { "", "中", "" },
            QStringList { "c", "h", "c" }, QStringList { "", "E4B8AD", "   " });
    }

    void characterHex()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, results);
        Tools t;
        auto* box = t.edit("characterHexTextEdit");
        for (int i = 0; i < clicks.size(); ++i) {
            if (!texts.at(i).isEmpty())
                box->setPlainText(texts.at(i));
            t.click(clicks.at(i) == "c" ? "characterShowRadioButton" : "hexShowRadioButton");
            QCOMPARE(box->toPlainText(), results.at(i));
        }
    }

    void characterHexDebugLines()
    {
        Tools t;
        t.edit("characterHexTextEdit")->setPlainText("41 42");
        QTest::ignoreMessage(QtDebugMsg, "text: 41 42");
        QTest::ignoreMessage(QtDebugMsg, "baarray: 4142");
        t.click("characterShowRadioButton");
        QTest::ignoreMessage(QtDebugMsg, "text: AB");
        t.click("hexShowRadioButton");
    }
    // Frames
    void frames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("f2");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("warning");

        row("encapsulate", "setButton", "01 7E 02 7D 03", "7D", "7E 01 7D 02 02 7D 01 03 7E ", "");
        row("decapsulate", "unsetButton", "7E 01 7D 02 02 7D 01 03 7E", "7D", "01 7E 02 7D 03 ",
            "");
        row("encapsulate lines", "setButton", "01 02\n03 04", "7D", "7E 01 02 03 04 7E ", "");
        row("decapsulate with a trailing Enter", "unsetButton", "7E 01 7D 02 02 7E\n", "7D",
            "01 7E 02 ", "");
        row("encapsulate with F2 changed", "setButton", "AA", "AA", "7E 7D 01 7E ", "");
        row("decapsulate with F2 changed", "unsetButton", "7E 7D 01 7E", "AA", "AA ", "");
        row("decapsulate four digits", "unsetButton", "7E7E", "7D", "", "");
        row("encapsulate nothing", "setButton", "", "7D", "keep", "解封前的数据：请输入数据！\t");
        row("encapsulate bad data", "setButton", "0G", "7D", "keep",
            "解封前的数据：请输入正确格式的数据！\t");
        row("decapsulate nothing", "unsetButton", "", "7D", "keep", "解封后的数据：请输入数据！\t");
        row("decapsulate bad data", "unsetButton", "7E 0G 7E", "7D", "keep",
            "解封后的数据：请输入正确格式的数据！\t");
    }

    void frames()
    {
        QFETCH(QString, button);
        QFETCH(QString, input);
        QFETCH(QString, f2);
        QFETCH(QString, warning);
        Tools t;
        const bool encapsulating = button == QLatin1String("setButton");
        auto* from = t.edit(encapsulating ? "unsetTextEdit" : "setTextEdit");
        auto* to = t.edit(encapsulating ? "setTextEdit" : "unsetTextEdit");
        child<QLineEdit>(&t.f, "ruleF2LineEdit")->setText(f2);
        from->setPlainText(input);
        to->setPlainText(QStringLiteral("keep"));
        t.click(qPrintable(button));
        QTEST(to->toPlainText(), "output");
        QCOMPARE(from->toPlainText(), input);
        QCOMPARE(boxes->texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        if (!warning.isEmpty())
            QCOMPARE(boxes->calls.first().title, QStringLiteral("warning"));
    }
    // Device console through a pty
    void presetsWriteTheirFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("frame");
        row("host version", "mpuVerToolButton", "01", "AA7580000700AABB4201FE0101F4");
        row("reset MCU", "resetMCUToolButton", "02", "AA7580000700AABB4201FE0102F7");
        row("reset information", "getResetInfoButton", "03", "AA7580000700AABB4201FE0103F6");
    }

    void presetsWriteTheirFrames()
    {
        QFETCH(QString, button);
        Console c;
        QVERIFY(c.open(pty->slavePath()));
        c.send->setPlainText("ff ff");
        c.hexPane->setPlainText("old");
        c.charPane->setPlainText("old");
        c.click(qPrintable(button));
        QTEST(hexOf(pty->readAtLeast(14, 3000)), "frame");
        QTEST(c.send->toPlainText(), "code");
        QCOMPARE(c.hexPane->toPlainText() + c.charPane->toPlainText(), QString());
        // Sent through the main window: counted and echoed as a transmitted hex line.
        QCOMPARE(c.w.sent(), 14);
        QVERIFY(c.w.form()->recvShowText->toPlainText().startsWith(
            QStringLiteral("TX→◇AA 75 80 00 07")));
        QVERIFY(boxes->calls.isEmpty());
    }

    void freePayload_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("frame"); // empty: refused with `warning`
        QTest::addColumn<QString>("warning");
        const QString notHex
            = QStringLiteral("不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t");
        const QString d255 = QString(510, QLatin1Char('0'));

        row("blanks removed", "01 02 0a", "AA7580000900AABB4201FE0301020A", "");
        row("one byte like a preset", "01", "AA7580000700AABB4201FE0101", "");
        row("255 bytes", d255, "AA7580010500AABB4201FEFF" + d255, "");
        row("256 bytes", d255 + "00", "", "发送区数据超过255字节\t");
        row("empty", "", "", "发送区内容为空\t");
        row("blanks only", "   ", "", "发送区内容为空\t");
        row("not hex", "01 0G", "", notHex);
        row("odd digit count", "010", "", notHex);
        row("line break", "01\n02", "", notHex);
    }

    void freePayload()
    {
        QFETCH(QString, payload);
        QFETCH(QString, frame);
        QFETCH(QString, warning);
        Console c;
        QVERIFY(c.open(pty->slavePath()));
        c.hexPane->setPlainText("old");
        c.send->setPlainText(payload);
        c.click("sendToolButton");
        QVERIFY(c.hexPane->toPlainText().isEmpty());
        QCOMPARE(c.send->toPlainText(), payload);
        QCOMPARE(boxes->texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        if (warning.isEmpty()) {
            const QByteArray got = pty->readAtLeast(frame.size() / 2 + 1, 3000);
            QVERIFY2(hexOf(got).startsWith(frame), qPrintable(hexOf(got)));
            QCOMPARE(got.size(), 13 + payload.count(QRegularExpression("[0-9a-fA-F]")) / 2);
            QVERIFY(DeviceCommand::commandFrame(got.mid(12, got.size() - 13)) == got);
        } else {
            QCOMPARE(boxes->calls.first().title, QStringLiteral("警告"));
            QCOMPARE(pty->readAtLeast(1, 200), QByteArray());
            QCOMPARE(c.w.sent(), 0);
        }
    }

    void repliesFillThePanes()
    {
        Console c;
        QVERIFY(c.open(pty->slavePath()));
        const QByteArray reply = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本：V1.0"));

        // Noise before the reply, and the reply in two chunks with a pause between them.
        QTest::ignoreMessage(QtDebugMsg,
            qPrintable(QStringLiteral("cache.size 9 cache.toHex() %1").arg(hexOf(reply.left(9)))));
        QVERIFY(pty->write("log\r\n" + reply.left(9)));
        QTRY_COMPARE(c.w.received(), 14); // read on its own
        QVERIFY(c.hexPane->toPlainText().isEmpty());
        QTest::ignoreMessage(QtDebugMsg,
            qPrintable(QStringLiteral("cache.size %1 cache.toHex() %2")
                           .arg(reply.size())
                           .arg(hexOf(reply))));
        QVERIFY(pty->write(reply.mid(9)));
        QTRY_COMPARE(c.hexPane->toPlainText(), hexOf(reply));
        QCOMPARE(c.charPane->toPlainText(), QStringLiteral("主机版本：V1.0"));
        // The chunks were displayed in the main view as well.
        QTRY_VERIFY(c.w.form()->recvShowText->toPlainText().contains(QStringLiteral("RX←◆log")));

        // A second start sequence restarts the reply.
        const QByteArray second = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息"));
        QVERIFY(pty->write(reply.left(12)));
        QTRY_COMPARE(c.w.received(), 5 + reply.size() + 12);
        QVERIFY(pty->write(reply.mid(12, 3) + second));
        QTRY_COMPARE(c.charPane->toPlainText(), QStringLiteral("复位信息"));
        QCOMPARE(c.hexPane->toPlainText(), hexOf(second));
    }

    void bytesBehindAReplyDoNotHideIt()
    {
        Console c;
        QVERIFY(c.open(pty->slavePath()));
        const QByteArray version = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本：V1.0"));
        const QByteArray info = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息：上电复位"));

        // An echoed line end behind the reply.
        QVERIFY(pty->write(version + "\r\n"));
        QTRY_COMPARE(c.hexPane->toPlainText(), hexOf(version));
        QCOMPARE(c.charPane->toPlainText(), QStringLiteral("主机版本：V1.0"));

        // A log line behind the last piece of a reply.
        QVERIFY(pty->write(info.left(10)));
        QTRY_COMPARE(c.w.received(), version.size() + 2 + 10);
        QVERIFY(pty->write(info.mid(10) + "#000007 [INFO] ok\r\n"));
        QTRY_COMPARE(c.hexPane->toPlainText(), hexOf(info));
        QCOMPARE(c.charPane->toPlainText(), QStringLiteral("复位信息：上电复位"));

        // Two replies read together are shown as two.
        QVERIFY(pty->write(version + info + "\r\n"));
        QTRY_COMPARE(c.hexPane->toPlainText(), hexOf(version) + "\n" + hexOf(info));
        QCOMPARE(c.charPane->toPlainText(), QStringLiteral("主机版本：V1.0\n复位信息：上电复位"));
        QVERIFY(boxes->calls.isEmpty());
    }

    void shortReplyKeepsTheCharacterPane()
    {
        Console c;
        QVERIFY(c.open(pty->slavePath()));
        c.charPane->setPlainText(QStringLiteral("earlier"));
        const QByteArray reply = DeviceCommand::replyFrame(0x02, 0x00, QByteArray());
        QCOMPARE(reply.size(), 15);
        QVERIFY(pty->write(reply));
        QTRY_COMPARE(c.hexPane->toPlainText(), hexOf(reply));
        QCOMPARE(c.charPane->toPlainText(), QStringLiteral("earlier"));
    }

    void clearEmptiesAll()
    {
        Tools t;
        const QStringList panes { "sendDataPlainTextEdit", "hexRecvPlainTextEdit",
            "charRecvPlainTextEdit" };
        for (const QString& name : panes)
            child<QPlainTextEdit>(&t.f, qPrintable(name))->setPlainText("x");
        t.click("clearToolButton");
        QCOMPARE(texts(&t.f, panes), QStringList({ "", "", "" }));
    }
    // Device console against the simulated board
    void presetsAgainstTheBoard_data()
    {
        QTest::addColumn<bool>("addLF");
        row("frames alone", false);
        row("frames with CR LF behind", true);
    }

    void presetsAgainstTheBoard()
    {
        NEED_SIMULATOR();
        QFETCH(bool, addLF);
        DevSimProcess sim;
        QVERIFY2(sim.start({ "--quiet" }), qPrintable(sim.errors()));
        ExtraPorts env(sim.ptyPath());
        Console c;
        QVERIFY(c.open(sim.ptyPath()));
        c.w.form()->addLFCheckBox->setChecked(addLF);

        struct Case {
            const char* button;
            quint8 code;
            QString text;
        };
        const QList<Case> cases {
            { "mpuVerToolButton", 0x01,
                QStringLiteral("主机版本：SIM-M4 V2.1.0，编译于 2015-06-18") },
            { "getResetInfoButton", 0x03, QStringLiteral("复位信息：上电复位，复位次数 0") },
            { "resetMCUToolButton", 0x02, QStringLiteral("MCU复位中，请稍候...") },
            { "getResetInfoButton", 0x03, QStringLiteral("复位信息：软件复位，复位次数 1") },
        };
        int replyBytes = 0;
        for (const Case& step : cases) {
            c.click(step.button);
            QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), step.text, 3000);
            const QByteArray reply = QByteArray::fromHex(c.hexPane->toPlainText().toLatin1());
            QCOMPARE(c.hexPane->toPlainText(), hexOf(reply));
            QVERIFY(DeviceCommand::isCompleteReply(reply));
            QCOMPARE(quint8(reply.at(12)), step.code);
            QCOMPARE(reply.mid(14, reply.size() - 15), gbk(step.text));
            replyBytes += reply.size();
        }
        // The board answers command frames instead of echoing them: a while later nothing more
        // came.
        QTest::qWait(100);
        QCOMPARE(c.w.received(), replyBytes);
        QVERIFY(boxes->calls.isEmpty());
    }

    void freePayloadAgainstTheBoard()
    {
        NEED_SIMULATOR();
        DevSimProcess sim;
        QVERIFY2(sim.start({ "--quiet" }), qPrintable(sim.errors()));
        ExtraPorts env(sim.ptyPath());
        Console c;
        QVERIFY(c.open(sim.ptyPath()));
        c.send->setPlainText("01 02 0a");
        c.click("sendToolButton");
        QTRY_COMPARE_WITH_TIMEOUT(
            c.charPane->toPlainText(), QStringLiteral("收到数据 3 字节：01 02 0A"), 3000);
        QCOMPARE(c.hexPane->toPlainText().mid(24, 4),
            QStringLiteral("0100")); // code of the payload's first byte, status 00
        // Ordinary text still comes back as an echo; its line end also ends the reply's bytes in
        // the view, which waits for a line end.
        c.w.form()->addLFCheckBox->setChecked(true);
        c.w.form()->sendDataTextEdit->setPlainText("ping");
        c.w.form()->sendDataButton->click();
        const auto echoed = [&c] {
            const QStringList lines = c.w.form()->recvShowText->toPlainText().split('\n');
            return lines.last().startsWith(QStringLiteral("RX←◆"))
                && lines.last().endsWith(QStringLiteral("ping"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(echoed(), 3000);
        const QString text = QStringLiteral("收到数据 3 字节：01 02 0A");
        QCOMPARE(c.w.received(), DeviceCommand::replyFrame(0x01, 0x00, gbk(text)).size() + 6);
    }

    void resetWithoutAutoDownloadComesBack()
    {
        NEED_SIMULATOR();
        DevSimProcess sim;
        QVERIFY2(sim.start({ "--interval", "100", "--boot-on-reset", "--boot-timeout", "1500" }),
            qPrintable(sim.errors()));
        ExtraPorts env(sim.ptyPath());
        Console c;
        QVERIFY(c.open(sim.ptyPath()));
        QVERIFY(!c.f->isMcuUpgradeChecked());
        const auto view = [&c] { return c.w.form()->recvShowText->toPlainText(); };
        const QString menuEnd = QStringLiteral("5 - 擦除用户参数扇区");
        const QString giveUp = QStringLiteral("等待超时，退出引导程序");
        const QString back = QStringLiteral("RX←◆正在启动应用程序...");
        const QString resetting = QStringLiteral("MCU复位中，请稍候...");

        // Twice: the board comes back every time.
        for (int round = 1; round <= 2; ++round) {
            c.click("resetMCUToolButton");
            QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), resetting, 3000);
            QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), round, 3000);
            QTRY_COMPARE_WITH_TIMEOUT(view().count(giveUp), round, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(view().count(back), round, 3000);
            // The log runs again behind the hand-over.
            QTRY_VERIFY_WITH_TIMEOUT(
                view().mid(view().lastIndexOf(back)).contains(QStringLiteral("RX←◆#")), 3000);
        }
        c.click("getResetInfoButton");
        QTRY_COMPARE_WITH_TIMEOUT(
            c.charPane->toPlainText(), QStringLiteral("复位信息：软件复位，复位次数 2"), 3000);

        // A reset pressed while the board sits in its menu is obeyed.
        c.click("resetMCUToolButton");
        QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), 3, 3000);
        c.click("resetMCUToolButton");
        QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), resetting, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), 4, 3000);
        QCOMPARE(view().count(giveUp), 2);
        QVERIFY(boxes->calls.isEmpty());
    }
};

QTEST_MAIN(tst_Device)
#include "tst_device.moc"
