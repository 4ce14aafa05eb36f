// The additional-functions window: its logic alone (character/hex, byte stuffing, replies, the send
// delay, the boot-loader dialogue), then its widgets and device console on a pty and a board.
#include "app/mainwindow.h"
#include "devsimprocess.h"
#include "serial/core/senddelay.h"
#include "serial/core/upgradedialogue.h"
#include "testdata.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "tools/core/checksum.h"
#include "tools/core/devicecommand.h"
#include "tools/core/framecodec.h"
#include "tools/core/hexconvert.h"
#include "tools/core/replyassembler.h"
#include "ui_mainwindow.h"

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>

#include <functional>
#include <numeric>

namespace {

template <class T> T* child(QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no widget %s", name);
    return w;
}

QString hexOf(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex().toUpper()); }

// The main window and its additional-functions window, the device console at hand.
struct Tools {
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

    void click(const char* button) { child<QAbstractButton>(f, button)->click(); }
    QTextEdit* edit(const char* name) { return child<QTextEdit>(f, name); }
    QString line(const char* name) { return child<QLineEdit>(f, name)->text(); }
};

// A chunk the device writes, the console's panes afterwards, and the debug line it gives, if any.
struct Chunk {
    QByteArray bytes;
    QString panes;
    QString debug;
};
using Chunks = QList<Chunk>;

QByteArray hex(const char* digits) { return QByteArray::fromHex(digits); }

// One pass of the dialogue as a test describes it.
struct Pass {
    qint64 at = 0; // ms on the monotonic clock
    QByteArray bytes {}; // appended to the pending buffer before the pass
    QStringList expected {}; // the actions, in the notation of describe()
    int pendingLeft = 0; // bytes the pass leaves unprocessed
    bool running = false;
    bool path = true;
    QByteArray type = "2";
};
using Script = QVector<Pass>;

// "line:TEXT", "prompt:TEXT", "cursor", "write:BYTES", "stop", "click", "uncheck", "warn".
QStringList describe(const UpgradeDialogue::Actions& actions)
{
    using A = UpgradeDialogue::Action;
    static const QMap<A::Kind, QString> names { { A::ShowPrompt, "prompt:" },
        { A::ShowLine, "line:" }, { A::MoveCursorToEnd, "cursor" }, { A::Write, "write:" },
        { A::StopTransfer, "stop" }, { A::ClickSendFile, "click" }, { A::Uncheck, "uncheck" },
        { A::WarnTimeout, "warn" } };
    QStringList out;
    for (const auto& a : actions)
        out << names.value(a.kind) + (a.kind == A::Write ? QString::fromUtf8(a.bytes) : a.text);
    return out;
}

const QByteArray key = "PLUMB24680QRSTU1357908642VWXYZ97531DEFGH";

Pass running(Pass p)
{
    p.running = true;
    return p;
}

// The boot loader recognised: banner and identification, shown and answered by nothing.
const Pass recognised { 0, "Copyright (C) 2015 Brenlow\r\nBrenlow boot-loader V2 (m4)\r\n",
    { "line:Copyright (C) 2015 Brenlow", "line:Brenlow boot-loader V2 (m4)" } };

} // namespace

Q_DECLARE_METATYPE(Chunks)
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(ReplyAssembler::Step)
Q_DECLARE_METATYPE(QList<QByteArray>)
Q_DECLARE_METATYPE(QList<ReplyAssembler::Step>)

class tst_Device : public PtyWindowTest {
    Q_OBJECT

private slots:
    void scanBytesDropsBlanksTabsAndLineFeeds()
    {
        QCOMPARE(HexConvert::scanBytes(QStringLiteral(" 4 1\t\n42\r\n")), QByteArray("4142\r"));
        QCOMPARE(HexConvert::scanBytes(QStringLiteral("中")), QByteArray("\xe4\xb8\xad"));
        // A carriage return, which no text box holds, is copied.
        QCOMPARE(HexConvert::scanToCharacters(HexConvert::scanBytes("41\r42")), QString("A\rB"));
        // A zero byte typed into the box ends the text.
        QCOMPARE(HexConvert::scanToCharacters(QByteArray("41") + '\0' + "42"), QStringLiteral("A"));
    }

    // Frames

    void ruleFromTexts()
    {
        const FrameCodec::Rule r = FrameCodec::ruleFromTexts("7E", "aa", "zz", "", "1FF");
        // Unreadable and empty count as 0.
        QCOMPARE((QList<quint16> { r.f1, r.f2, r.m, r.b1, r.b2 }),
            (QList<quint16> { 0x7E, 0xAA, 0, 0, 0x1FF }));
    }

    // No text box holds a carriage return, but the codec takes it as a line end like any other.
    void framesOverCarriageReturns()
    {
        const FrameCodec::Rule rule = FrameCodec::ruleFromTexts("7E", "7D", "7D", "02", "01");
        QString frame, plain;
        QCOMPARE(FrameCodec::encapsulate("7E\t01\r\n02\n", rule, &frame), FrameCodec::Result::Ok);
        QCOMPARE(FrameCodec::decapsulate("7E 01\r\n7D 01\n\t03 7E", rule, &plain),
            FrameCodec::Result::Ok);
        QCOMPARE(QStringList({ frame, plain }), QStringList({ "7E 7D 02 01 02 7E ", "01 7D 03 " }));
    }

    void stuffingRoundTrip_data()
    {
        columns<QByteArray, QString>("bytes", "f2");
        QByteArray all(256, 0);
        std::iota(all.begin(), all.end(), 0);
        row("every byte value", all, "7D");
        row("every byte value, F2 changed to AA", all, "AA");
        row("flags and escapes in a row", hex("7E7E7D7D7E7D"), "7D");
        row("escape followed by B1 and B2 values", hex("7D027D01"), "7D");
        row("one byte", hex("00"), "AA");
    }

    void stuffingRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, f2);
        const FrameCodec::Rule rule = FrameCodec::ruleFromTexts("7E", f2, "7D", "02", "01");
        QString frame;
        QCOMPARE(FrameCodec::encapsulate(bytes.toHex(' ').toUpper(), rule, &frame),
            FrameCodec::Result::Ok);
        // Inside the flags no byte equals F1 or F2 any more.
        QStringList inside = frame.trimmed().split(' ');
        inside = inside.mid(1, inside.size() - 2);
        QVERIFY(!inside.contains(QStringLiteral("7E")));
        QVERIFY(!inside.contains(f2) || f2 == QLatin1String("7D"));
        QString plain;
        QCOMPARE(FrameCodec::decapsulate(frame.toUtf8(), rule, &plain), FrameCodec::Result::Ok);
        QCOMPARE(plain, QString::fromLatin1(bytes.toHex(' ').toUpper() + ' '));
    }

    // Device commands

    void replyRecognition_data()
    {
        columns<QByteArray, bool>("bytes", "complete");
        const QByteArray good = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本"));
        QByteArray badSum = good;
        badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x01);
        QByteArray otherMiddle = DeviceCommand::replyFrame(0x01, 0x00, "x");
        otherMiddle[8] = 0x43;
        otherMiddle.chop(1);
        otherMiddle.append(char(Checksum::compute(otherMiddle, Checksum::XorSum)));
        // Bytes 3 … 5 and 11 … 13 are not looked at.
        QByteArray loose = hex("557A80FFFFFFAABB4201FE123456") + "text";
        loose.append(char(Checksum::compute(loose, Checksum::XorSum)));

        row("reply with text", good, true);
        row("15-byte reply", DeviceCommand::replyFrame(0x02, 0x00, QByteArray()), true);
        row("unexamined bytes free", loose, true);
        row("wrong checksum", badSum, false);
        row("wrong fixed bytes", otherMiddle, false);
        row("wrong start", QByteArray("\x55\x7A\x81") + good.mid(3), false);
        row("cut short", good.left(good.size() - 1), false);
        row("header only", good.left(11), false);
        row("command frame", DeviceCommand::commandFrame(hex("01")), false);
        row("empty", QByteArray(), false);
    }

    void replyRecognition()
    {
        QFETCH(QByteArray, bytes);
        QTEST(DeviceCommand::isCompleteReply(bytes), "complete");
    }

    void replyText_data()
    {
        columns<QByteArray, QByteArray>("reply", "text");
        row("GBK text", DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本 V1")),
            gbk("主机版本 V1"));
        row("15 bytes: no text", DeviceCommand::replyFrame(0x03, 0x00, QByteArray()), QByteArray());
        row("16 bytes: one byte", DeviceCommand::replyFrame(0x03, 0x00, "A"), QByteArray("A"));
        row("text cut to the count byte",
            DeviceCommand::replyFrame(0x05, 0x00, QByteArray(300, 'x')), QByteArray(253, 'x'));
    }

    void replyText()
    {
        QFETCH(QByteArray, reply);
        QVERIFY(DeviceCommand::isCompleteReply(reply));
        QTEST(DeviceCommand::replyText(reply), "text");
        QCOMPARE(quint8(reply.at(11)), quint8(reply.size() - 13)); // count, code, status, text
        QCOMPARE((quint8(reply.at(3)) << 8) | quint8(reply.at(4)), reply.size() - 7);
    }

    // Reply assembly

    void replyAssembly_data()
    {
        using Step = ReplyAssembler::Step;
        using Chunks = QList<QByteArray>;
        // replies: every reply completed, in order; buffer: what is left waiting
        const auto addLeft = columns<Chunks, QList<Step>, Chunks, QByteArray>(
            "chunks", "steps", "replies", "buffer");
        const auto add = [&](const char* tag, const Chunks& chunks, const QList<Step>& steps,
                             const Chunks& replies) { addLeft(tag, chunks, steps, replies, {}); };
        const QByteArray r = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本：SIM"));
        const QByteArray r2 = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息"));
        const QByteArray shortest = DeviceCommand::replyFrame(0x02, 0x00, QByteArray());
        // A board that leaves the length field and the count byte unfilled.
        QByteArray loose = hex("557A80FFFFFFAABB4201FE123456") + "text";
        loose.append(char(Checksum::compute(loose, Checksum::XorSum)));
        const Step I = Step::Ignored, D = Step::Dropped, W = Step::Waiting, C = Step::Complete;

        add("whole reply", { r }, { C }, { r });
        add("noise before the start", { "log line\r\n" + r }, { C }, { r });
        add("split over three chunks", { r.left(5), r.mid(5, 10), r.mid(15) }, { W, W, C }, { r });
        add("start sequence itself split", { r.left(2), r.mid(2) }, { I, C }, { r });
        add("chunks without start while empty are ignored", { "hello", hex("AABB4201FE") },
            { I, I }, {});
        add("echoed line end behind the reply", { r + "\r\n" }, { C }, { r });
        add("log line behind the reply", { r + "#000001 [INFO] x\r\n" }, { C }, { r });
        add("line end behind the last piece", { r.left(10), r.mid(10) + "\r\n" }, { W, C }, { r });
        add("two replies read together", { r + r2 }, { C }, { r, r2 });
        add("two replies with line ends", { r + "\r\n" + r2 + "\r\n" }, { C }, { r, r2 });
        add("the next reply begun behind one", { r + r2.left(7), r2.mid(7) }, { C, C }, { r, r2 });
        add("unfilled size fields, line end behind", { loose + "\r\n" }, { C }, { loose });
        add("unfilled size fields, alone", { loose.left(8), loose.mid(8) }, { W, C }, { loose });
        add("a new start restarts the buffer", { r.left(9), r2 }, { W, C }, { r2 });
        add("restart inside a chunk drops the partial reply", { r.left(9), r.mid(9, 4) + r2 },
            { W, C }, { r2 });
        add("two replies in a row", { r, r2 }, { C, C }, { r, r2 });
        add("15-byte reply", { shortest }, { C }, { shortest });
        QByteArray corrupt = r;
        corrupt[corrupt.size() - 1] = char(~corrupt.at(corrupt.size() - 1));
        add("corrupt reply waits for the next start", { corrupt, "more", r2 }, { W, W, C }, { r2 });
        add("past 4096 bytes the buffer is dropped",
            { r.left(20), QByteArray(4076, 'x'), "y", r.mid(20) }, { W, W, D, I }, {});
        add("a reply ahead of a flood is kept", { r + QByteArray(5000, 'x') }, { C }, { r });
        // Only the length field filled; the checksum also holds by chance after 40 bytes and at the
        // end of the adapter's first 64-byte packet.
        QByteArray longer = hex("557A80004400AABB4201FE3C0100") + QByteArray(60, 'a');
        longer[39] = char(Checksum::compute(longer.left(39), Checksum::XorSum));
        longer[63] = char(Checksum::compute(longer.mid(40, 23), Checksum::XorSum));
        longer.append(char(Checksum::compute(longer, Checksum::XorSum)));
        add("64-byte packets, chance checksums inside", { longer.left(64), longer.mid(64) },
            { W, C }, { longer });
        Chunks many;
        QByteArray pile;
        while (pile.size() < 4 << 20) {
            pile += shortest;
            many << shortest;
        }
        addLeft("4 MiB read after a pause", { pile + r.left(20) }, { C }, many, r.left(20));
    }

    void replyAssembly()
    {
        QFETCH(QList<QByteArray>, chunks);
        ReplyAssembler assembler;
        QList<ReplyAssembler::Step> got;
        QList<QByteArray> replies;
        for (const QByteArray& c : chunks) {
            got << assembler.feed(c);
            if (got.last() == ReplyAssembler::Step::Complete) {
                replies += assembler.replies();
                QCOMPARE(assembler.reply(), assembler.replies().last());
            } else {
                QVERIFY(assembler.replies().isEmpty());
            }
            QVERIFY(assembler.buffer().size() <= DeviceCommand::ReplyBufferLimit);
        }
        QTEST(got, "steps");
        QTEST(replies, "replies");
        QTEST(assembler.buffer(), "buffer");
    }

    // Send delay

    void sendDelayEndsOnItsOwn_data()
    {
        // dueAt: when in the monotonic second the delay is due, where coarse timers fire early
        columns<int, int>("delay", "dueAt");
        row("1000 ms", 1000, 150);
        row("1000 ms, other half", 1000, 650);
        row("2000 ms", 2000, 200);
        row("700 ms", 700, 40);
    }

    void sendDelayEndsOnItsOwn()
    {
        QFETCH(int, delay);
        QFETCH(int, dueAt);
        QElapsedTimer clock;
        clock.start();
        const qint64 phase = (clock.msecsSinceReference() + delay - dueAt) % 1000;
        QThread::msleep(ulong((1000 - phase) % 1000));
        // Nothing else happens meanwhile but this, long after the delay.
        QTimer unrelated;
        unrelated.setSingleShot(true);
        unrelated.start(delay + 2000);
        QElapsedTimer waited;
        waited.start();
        SendDelay::wait(delay);
        const qint64 elapsed = waited.elapsed();
        QVERIFY2(elapsed >= delay, qPrintable(QString::number(elapsed)));
        QVERIFY2(unrelated.isActive(), qPrintable(QString::number(elapsed)));
    }

    // Upgrade dialogue

    void dialogue_data()
    {
        columns<Script>("script");
        const QByteArray sep = "==================================================\r\n";
        const QString sepLine = "line:" + QString::fromLatin1(sep.trimmed());
        const QString banner = "line:Copyright (C) 2015 Brenlow";
        const QString keyLine = "write:" + QString::fromLatin1(key);
        const QString requestLine = "line:请传送主程序HEX文件...";
        const QByteArray request = gbk("请传送主程序HEX文件...\r\n>>\r\n");

        row("menu framed twice: type written twice",
            Script { recognised,
                Pass { 10, sep + "  1 - a\r\n" + sep,
                    { sepLine, "cursor", "write:2", "line:  1 - a", sepLine, "cursor",
                        "write:2" } } });
        row("identification before the banner: answered only after it",
            Script { Pass { 0, "boot-loader m4\r\n" + sep, { "line:boot-loader m4", sepLine } },
                Pass { 10, "Copyright (C) 2015 Brenlow\r\n" + sep,
                    { banner, sepLine, "cursor", "write:2" } } });
        row("flags set by the very line are used at once",
            Script { Pass { 0, "Copyright (C) 2015 Brenlow boot-loader m4 ==========\n",
                { "line:Copyright (C) 2015 Brenlow boot-loader m4 ==========", "cursor",
                    "write:2" } } });
        row("banner alone answers nothing",
            Script { Pass { 0, "Copyright (C) 2015 Brenlow\r\n" + sep, { banner, sepLine } } });
        const QByteArray prompt = gbk("请输入操作密码：");
        // The pass at 0 sets the time of the last run.
        row("unterminated password prompt answered 200 ms after the last run",
            Script { recognised, Pass { 0 }, Pass { 150, prompt, {}, prompt.size() },
                Pass { 199, {}, {}, prompt.size() },
                Pass { 200, {}, { "line:请输入操作密码：", keyLine } } });
        row("confirmation prompt answered with the key",
            Script { recognised,
                Pass { 10, gbk("****\r\n请再次输入密码：\n"),
                    { "line:****", "line:请再次输入密码：", keyLine } } });
        row("file request clicks the send button",
            Script { recognised, Pass { 10, request, { requestLine, "click", "prompt:>>" } } });
        Pass noPath = Pass { 10, request, { requestLine, "prompt:>>" } };
        noPath.path = false;
        row("file request without a path does nothing", Script { recognised, noPath });
        // The click stops the running transfer, so the boot line finds none to stop.
        row("file request during a transfer toggles it",
            Script { recognised,
                running(Pass { 10, gbk("请传送主程序HEX文件...\nBoot\n"),
                    { requestLine, "click", "line:Boot" } }) });
        row("only whole-line prompts are prompts",
            Script { Pass {
                0, "> \n>\n>>>>\n>>>\n", { "line:> ", "prompt:>", "line:>>>>", "prompt:>>>" } } });
        row("prompt with a trailing blank starts no time-out",
            Script { running(Pass { 0, "> \r\n", { "line:> " } }), running(Pass { 6000 }) });
        // The late line is left for the ticks inside the warning box.
        row("silence over 5000 ms after a prompt stops the transfer and warns",
            Script { running(Pass { 1000, ">>>\n", { "prompt:>>>" } }), running(Pass { 6000 }),
                running(Pass { 6001, "late line\n", { "stop", "warn" }, 10 }),
                Pass { 6011, {}, { "line:late line" } } });
        row("time-out without a transfer: no stop, no warning",
            Script { Pass { 0, ">\n", { "prompt:>" } }, Pass { 5001, "next\n", { "line:next" } } });
        row("the time-out counts from the latest prompt",
            Script { Pass { 0, ">\n", { "prompt:>" } }, Pass { 4000, ">>\n", { "prompt:>>" } },
                running(Pass { 8500 }) });
        row("Boot stops the transfer once and forgets the loader",
            Script { recognised,
                running(Pass { 10, "MCU Boot\nBoot again\n" + sep,
                    { "line:MCU Boot", "stop", "line:Boot again", sepLine } }) });
        row("boot- is not Boot",
            Script { recognised,
                Pass { 10, "boot-\n" + sep, { "line:boot-", sepLine, "cursor", "write:2" } } });
        row("success unchecks and forgets the loader",
            Script { recognised,
                Pass { 10, gbk("文件下载成功！\r\n" + QString::fromLatin1(sep)),
                    { "line:文件下载成功！", "uncheck", sepLine } } });
        row("8192 unterminated bytes are taken at once",
            Script { Pass { 0, QByteArray(8191, 'a'), {}, 8191 },
                Pass { 0, "b", { "line:" + QString(8191, 'a') + 'b' } } });
        static const char raw[] = "\0\0x\r\n\r\n\r\n\xd6\xd0\r\ntail";
        const QByteArray messy(raw, int(sizeof raw) - 1);
        row("zeros, carriage returns, empty lines, GBK, unterminated tail",
            Script { Pass { 0, messy, {}, messy.size() },
                Pass { 200, {}, { "line:  x", "line:中", "line:tail" } } });
        Pass typed = Pass { 100, sep.mid(20), { sepLine, "cursor", "write:5" } };
        typed.type = "5";
        row("type read when the line is answered",
            Script { recognised, Pass { 10, sep.left(20), {}, 20 }, typed });
    }

    void dialogue()
    {
        QFETCH(Script, script);
        UpgradeDialogue dialogue;
        QByteArray pending;
        for (int i = 0; i < script.size(); ++i) {
            const Pass& p = script.at(i);
            pending += p.bytes;
            const UpgradeDialogue::Inputs in { p.running, p.path, p.type, key };
            const QStringList got = describe(dialogue.feed(pending, p.at, in));
            if (got != p.expected)
                qWarning() << "pass" << i << "got" << got << "expected" << p.expected;
            QCOMPARE(got, p.expected);
            QCOMPARE(pending.size(), p.pendingLeft);
        }
    }

    void dialogueFlagsFollowTheLoader()
    {
        UpgradeDialogue d;
        QByteArray pending;
        const struct {
            const char* bytes;
            qint64 at;
            const char* flags; // those set after the bytes
        } steps[] = { { "Copyright (C) 2015 Brenlow\n", 0, "banner" },
            { "boot-x m4\n", 10, "banner loader" }, { ">\n", 20, "banner loader waiting" },
            { "", 5021, "" }, // time-out: everything forgotten
            { "Copyright (C) 2015 Brenlow\nboot- m4\n>>\n", 6000, "banner loader waiting" },
            { "Boot\n", 6010, "" } };
        for (const auto& step : steps) {
            pending += step.bytes;
            d.feed(pending, step.at, { false, true, "2", key });
            const QStringList flags = { d.bannerSeen() ? "banner" : "",
                d.loaderSeen() ? "loader" : "", d.waitingForDevice() ? "waiting" : "" };
            QCOMPARE(flags.join(' ').simplified(), QString(step.flags));
        }
    }

    void freshWindow()
    {
        Tools t;
        AdditionFunction& f = *t.f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Quillon - 附加功能"));
        auto* tabs = child<QTabWidget>(&f, "tabWidget");
        QStringList tabTexts;
        for (int i = 0; i < tabs->count(); ++i)
            tabTexts << tabs->tabText(i) + " " + tabs->widget(i)->objectName();
        QCOMPARE(tabTexts,
            QStringList({ "常用功能 tab", "MCU功能 tab_2", "帧格式功能 tab_3", "设备功能 tab_4" }));
        // The captions; the frame rule is 7E = 7D + 02, 7D = 7D + 01, the shared 7D not editable.
        QStringList captions; // a group box's title, anything else's text
        for (const char* name : { "checksumGroupBox", "characterHexGroupBox", "groupBox_3",
                 "frameFormatSetUnsetGroupBox", "groupBox", "label", "label_2", "calChecksumButton",
                 "characterShowRadioButton", "mcuUpgradeCheckBox", "setButton", "unsetButton",
                 "label_12", "ruleF1LineEdit", "ruleF2LineEdit", "ruleMLineEdit", "ruleB1LineEdit",
                 "ruleB2LineEdit", "mpuVerToolButton", "resetMCUToolButton", "getResetInfoButton",
                 "sendToolButton", "clearToolButton" }) {
            const QWidget* w = child<QWidget>(&f, name);
            captions << (w ? w->property(w->inherits("QGroupBox") ? "title" : "text").toString()
                           : QString("no %1").arg(name));
        }
        QCOMPARE(captions,
            QStringList({ "校验和计算", "字符/16进制转换", "MCU 串口升级", "帧格式封装/解封",
                " 串口通信(0xFE)", "结果：0x", "+ (-0xFF)：", "立即计算", "字符串显示",
                "自动下载 - Tip：请在 \"文件区\" 指定文件升级包的路径 - 类型：", "立即封装",
                "立即解封", "发送区数据(十六进制  最大长度255字节)：", "7E", "7D", "7D", "02", "01",
                "主机版本", "复位MCU", "复位信息", "直接发送", "清空" }));
        QVERIFY(!child<QLineEdit>(&f, "ruleMLineEdit")->isEnabled());

        // Checksum: Hex and the plain sum, each group exclusive through its button group.
        auto* hexData = child<QRadioButton>(&f, "hexDataRadioButton");
        auto* asciiData = child<QRadioButton>(&f, "asciiDataRadioButton");
        auto* plain = child<QRadioButton>(&f, "sourceSumRadioButton");
        auto* xorSum = child<QRadioButton>(&f, "xorSumRadioButton");
        QVERIFY(hexData->isChecked() && !asciiData->isChecked() && plain->isChecked());
        QVERIFY(!hexData->autoExclusive() && !plain->autoExclusive());
        QVERIFY(hexData->group() && hexData->group() == asciiData->group());
        QVERIFY(plain->group() && plain->group() == xorSum->group()
            && plain->group() != hexData->group());
        asciiData->click();
        QVERIFY(!hexData->isChecked());
        xorSum->click();
        QVERIFY(!plain->isChecked() && asciiData->isChecked());
        for (const auto* sum : { child<QLineEdit>(&f, "hexValueLineEdit"),
                 child<QLineEdit>(&f, "hexFFValueLineEdit") })
            QVERIFY(sum->isReadOnly() && sum->maximumWidth() == 50);
        QVERIFY(child<QRadioButton>(&f, "hexShowRadioButton")->isChecked());

        // Upgrade settings.
        QVERIFY(!f.isMcuUpgradeChecked());
        auto* type = child<QComboBox>(&f, "typeUpgradeComboBox");
        QCOMPARE(QString("%1 of %2").arg(type->currentText()).arg(type->count()),
            QStringLiteral("2 - 下载主程序 HEX文件 of 5"));
        auto* key = child<QLineEdit>(&f, "mcuKeyLineEdit");
        QCOMPARE(key->echoMode(), QLineEdit::PasswordEchoOnEdit);
        type->setCurrentIndex(4);
        key->clear();
        QByteArray typeBytes, keyBytes;
        f.mcuUpgradeParams(typeBytes, keyBytes);
        QCOMPARE(QList<QByteArray>({ typeBytes, keyBytes }), QList<QByteArray>({ "\x35", "" }));

        // Both tab widgets start on their first tab; the console's reply panes, each on its tab.
        auto* replyTabs = child<QTabWidget>(&f, "tabWidget_2");
        QCOMPARE(QList<int>(
                     { tabs->currentIndex(), replyTabs->currentIndex(), t.send->maximumHeight() }),
            QList<int>({ 0, 0, 150 }));
        QCOMPARE(QStringList({ replyTabs->tabText(0), replyTabs->tabText(1) }),
            QStringList({ "接收区数据(十六进制)：", "接收区数据(有效区域字符显示)：" }));
        QVERIFY(replyTabs->widget(0)->findChild<QPlainTextEdit*>("hexRecvPlainTextEdit")
            && replyTabs->widget(1)->findChild<QPlainTextEdit*>("charRecvPlainTextEdit"));
    }

    void keepsItsSize()
    {
        Tools t;
        t.f->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.f));
        // Every tab's contents fit: the layout did not have to grow the window.
        QCOMPARE(t.f->size(), QSize(649, 404));
        QVERIFY(t.f->minimumSizeHint().width() <= 649 && t.f->minimumSizeHint().height() <= 404);
    }

    void checksum_data()
    {
        // Texts typed and calculated in turn, the buttons, the sum and its complement.
        const auto add = columns<QStringList, QString, QString, QString, QString>(
            "texts", "mode", "kind", "sums", "warning");
        const QString hex = "hexDataRadioButton", ascii = "asciiDataRadioButton";
        const QString plain = "sourceSumRadioButton", complements = "reverseSumRadioButton";
        const QString xorSum = "xorSumRadioButton";
        add("hex plain", { "01 02 03" }, hex, plain, "06 f9", "");
        add("hex complements", { "01 02 03" }, hex, complements, "f7 08", "");
        add("hex xor", { "01 02 03" }, hex, xorSum, "00 ff", "");
        add("ascii plain sum wraps", { "abc" }, ascii, plain, "26 d9", "");
        add("ascii xor", { "abc" }, ascii, xorSum, "60 9f", "");
        add("hex blanks only", { "  " }, hex, xorSum, "00 ff", "");
        add("hex blanks only, plain sum", { "   " }, hex, plain, "00 ff", "");
        add("hex blanks only, complements", { "   " }, hex, complements, "00 ff", "");
        add("odd digits: first digit a byte", { "123" }, hex, plain, "24 db", "");
        add("lower-case digits, zero padded", { "0a" }, hex, plain, "0a f5", "");
        add("line breaks and separators ignored", { "01\n02,03" }, hex, plain, "06 f9", "");
        add("Chinese character in ascii is one 0x3F", { "中" }, ascii, plain, "3f c0", "");
        add("Latin-1 character in ascii is its own byte", { "é" }, ascii, plain, "e9 16", "");
        add("digits in ascii are characters", { "01" }, ascii, plain, "61 9e", "");
        // The last result stays.
        add("checksumWithoutDataWarns", { "0a", "" }, hex, plain, "0a f5",
            "校验和计算：请输入待校验的数据！\t");
    }

    void checksum()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, mode);
        QFETCH(QString, kind);
        QFETCH(QString, warning);
        Tools t;
        t.click(qPrintable(mode));
        t.click(qPrintable(kind));
        for (const QString& text : texts) {
            t.edit("checksumTextEdit")->setPlainText(text);
            t.click("calChecksumButton");
        }
        QTEST(t.line("hexValueLineEdit") + " " + t.line("hexFFValueLineEdit"), "sums");
        QCOMPARE(boxes->texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        for (const MsgBox::Call& call : boxes->calls)
            QVERIFY(call.kind == MsgBox::Warning && call.title == "warning");
    }

    void characterHex_data()
    {
        // Triples: text typed ("" none), button ("c" characters, "h" hex), box after; debug lines.
        const auto add = columns<QStringList, QStringList>("steps", "debug");
        add("to characters and back", { "41 42 43", "c", "ABC", "", "h", "414243", "", "c", "ABC" },
            {});
        add("hex at start changes nothing", { "zz 中", "h", "zz 中" }, {});
        add("the selected button converts once", { "41", "c", "A", "", "c", "A" }, {});
        add("retyped text converts back", { "41", "c", "A", "中", "h", "E4B8AD" }, {});
        add("Chinese there and back: blanks", { "", "c", "", "中", "h", "E4B8AD", "", "c", "   " },
            {});
        add("control and DEL become blanks, lone digit dropped", { "41 0D 7F 4", "c", "A  " }, {});
        add("non-digit copied, pending digit dropped", { "4G1", "c", "G" }, {});
        add("UTF-8 of a Chinese character: three blanks", { "E4B8AD", "c", "   " }, {});
        add("line feeds ignored", { "41\n42", "c", "AB" }, {});
        add("tabs ignored", { "41\t4\t2", "c", "AB" }, {});
        add("zero value is a blank", { "00 41", "c", " A" }, {});
        add("lower-case digits", { "6a 7e", "c", "j~" }, {});
        add("range bounds", { "1F 20 7E", "c", "  ~" }, {});
        add("Chinese character copied as its bytes",
            { "中41", "c", QString::fromLatin1("\xe4\xb8\xad") + 'A' }, {});
        add("empty", { "", "c", "", "", "h", "", "", "c", "" }, {});
        add("line end kept as bytes", { "", "c", "", "a\nb", "h", "610A62" }, {});
        add("characterHexDebugLines", { "41 42", "c", "AB", "", "h", "4142" },
            { "text: 41 42", "baarray: 4142", "text: AB" });
    }

    void characterHex()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, debug);
        Tools t;
        for (const QString& line : debug)
            QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
        auto* box = t.edit("characterHexTextEdit");
        for (int i = 0; i + 2 < steps.size(); i += 3) {
            if (!steps.at(i).isEmpty())
                box->setPlainText(steps.at(i));
            t.click(steps.at(i + 1) == "c" ? "characterShowRadioButton" : "hexShowRadioButton");
            QCOMPARE(box->toPlainText(), steps.at(i + 2));
        }
    }

    void frames_data()
    {
        // F2 and B1 typed into the rule; a refused input leaves the other box's "keep".
        const auto add = columns<QString, QString, QString, QString, QString, QString>(
            "button", "input", "f2", "b1", "output", "warning");
        const auto set
            = [&](const char* tag, const char* input, const char* output, const char* f2 = "7D",
                  const char* b1 = "02") { add(tag, "setButton", input, f2, b1, output, ""); };
        const auto unset
            = [&](const char* tag, const char* input, const char* output, const char* f2 = "7D") {
                  add(tag, "unsetButton", input, f2, "02", output, "");
              };
        const QString setBad = "解封前的数据：请输入正确格式的数据！\t";
        const QString unsetBad = "解封后的数据：请输入正确格式的数据！\t";
        set("encapsulate", "01 7E 02 7D 03", "7E 01 7D 02 02 7D 01 03 7E ");
        unset("decapsulate", "7E 01 7D 02 02 7D 01 03 7E", "01 7E 02 7D 03 ");
        set("encapsulate lines", "01 02\n03 04", "7E 01 02 03 04 7E ");
        unset("decapsulate with a trailing Enter", "7E 01 7D 02 02 7E\n", "01 7E 02 ");
        set("encapsulate with F2 changed", "AA", "7E 7D 01 7E ", "AA");
        unset("decapsulate with F2 changed", "7E 7D 01 7E", "AA ", "AA");
        unset("decapsulate four digits", "7E7E", "");
        set("blanks only: just the flags", "   ", "7E 7E ");
        set("lone last digit is a byte", "123", "7E 12 03 7E ");
        set("no blanks needed", "7e7d", "7E 7D 02 7D 01 7E ");
        set("changed F2 leaves 7D alone", "7D", "7E 7D 7E ", "AA");
        set("F1 equals F2: B1 form wins", "7E", "7E 7D 02 7E ", "7E");
        set("rule value above FF printed whole", "7E", "7E 7D 1FF 7E ", "7D", "1FF");
        set("line break inside a pair", "0\n1", "7E 01 7E ");
        unset("fewer than four digits", "7E", "");
        unset("escape standing for itself", "7E 7D 05 7E", "7D 05 ");
        unset("escape at the end", "7E 7D 7E", "7D ");
        unset("flags are not compared", "00 41 FF", "41 ");
        unset("trailing Enter", "7E 01 7D 02 7E\n", "01 7E ");
        add("encapsulate nothing", "setButton", "", "7D", "02", "keep",
            "解封前的数据：请输入数据！\t");
        add("encapsulate bad data", "setButton", "0G", "7D", "02", "keep", setBad);
        add("bad pair after good ones", "setButton", "01 02 ZZ", "7D", "02", "keep", setBad);
        add("decapsulate nothing", "unsetButton", "", "7D", "02", "keep",
            "解封后的数据：请输入数据！\t");
        add("decapsulate bad data", "unsetButton", "7E 0G 7E", "7D", "02", "keep", unsetBad);
        add("bad pair after an escape is read on its own", "unsetButton", "7E 7D ZZ 7E", "7D", "02",
            "keep", unsetBad);
    }

    void frames()
    {
        QFETCH(QString, button);
        QFETCH(QString, input);
        QFETCH(QString, f2);
        QFETCH(QString, b1);
        QFETCH(QString, warning);
        Tools t;
        const bool encapsulating = button == QLatin1String("setButton");
        auto* from = t.edit(encapsulating ? "unsetTextEdit" : "setTextEdit");
        auto* to = t.edit(encapsulating ? "setTextEdit" : "unsetTextEdit");
        child<QLineEdit>(t.f, "ruleF2LineEdit")->setText(f2);
        child<QLineEdit>(t.f, "ruleB1LineEdit")->setText(b1);
        from->setPlainText(input);
        to->setPlainText(QStringLiteral("keep"));
        t.click(qPrintable(button));
        QTEST(to->toPlainText(), "output");
        QCOMPARE(from->toPlainText(), input);
        QCOMPARE(boxes->texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        if (!warning.isEmpty())
            QCOMPARE(boxes->calls.first().title, QStringLiteral("warning"));
    }

    // Device console through a pty: the presets put their code into the send area and send it.
    void consoleWrites_data()
    {
        // Typed payload, the send area after it if changed, the frame's start (empty: refused).
        const auto add = columns<QString, QString, QString, QString, QString>(
            "button", "payload", "code", "frame", "warning");
        const QString notHex
            = QStringLiteral("不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t");
        const QString empty = QStringLiteral("发送区内容为空\t");
        const QString d255 = QString(510, QLatin1Char('0')), a255 = QString(510, QLatin1Char('a'));
        const char* send = "sendToolButton";
        QByteArray distinct;
        for (int i = 0; i < 255; ++i)
            distinct.append(char(i * 13));

        add("host version", "mpuVerToolButton", "ff ff", "01", "AA7580000700AABB4201FE0101F4", "");
        add("reset MCU", "resetMCUToolButton", "ff ff", "02", "AA7580000700AABB4201FE0102F7", "");
        add("reset information", "getResetInfoButton", "ff ff", "03",
            "AA7580000700AABB4201FE0103F6", "");
        add("blanks removed", send, "01 02 0a", "", "AA7580000900AABB4201FE0301020A", "");
        add("one byte like a preset", send, "01", "", "AA7580000700AABB4201FE0101", "");
        add("255 bytes", send, d255, "", "AA7580010500AABB4201FEFF" + d255, "");
        add("255 bytes: count FF, length 0105", send, a255, "",
            "AA7580010500AABB4201FEFF" + a255.toUpper(), "");
        add("255 distinct bytes", send, distinct.toHex(), "",
            "AA7580010500AABB4201FEFF" + distinct.toHex().toUpper(), "");
        add("bytes that look like frame starts", send, "AA7580557A80", "",
            "AA7580000C00AABB4201FE06AA7580557A80", "");
        add("256 bytes", send, d255 + "00", "", "", "发送区数据超过255字节\t");
        add("empty", send, "", "", "", empty);
        add("blanks only", send, "   ", "", "", empty);
        add("not hex", send, "01 0G", "", "", notHex);
        add("not hex, one pair", send, "0G", "", "", notHex);
        add("odd digit count", send, "010", "", "", notHex);
        add("odd digit count of three", send, "123", "", "", notHex);
        add("odd and too long: hex check first", send, d255 + "001", "", "", notHex);
        add("line break", send, "01\n02", "", "", notHex);
        add("0x prefix", send, "0x01", "", "", notHex);
        add("sign", send, "+1", "", "", notHex);
        add("tab", send, "01\t02", "", "", notHex);
    }

    void consoleWrites()
    {
        QFETCH(QString, button);
        QFETCH(QString, payload);
        QFETCH(QString, code);
        QFETCH(QString, frame);
        QFETCH(QString, warning);
        Tools c;
        QVERIFY(c.open(pty->slavePath()));
        c.send->setPlainText(payload);
        c.hexPane->setPlainText("old");
        c.charPane->setPlainText("old");
        c.click(qPrintable(button));
        QCOMPARE(c.hexPane->toPlainText() + c.charPane->toPlainText(), QString());
        const QString sent = code.isEmpty() ? payload : code;
        QCOMPARE(c.send->toPlainText(), sent);
        QCOMPARE(boxes->texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        for (const MsgBox::Call& call : boxes->calls)
            QCOMPARE(call.title, QStringLiteral("警告"));
        if (!warning.isEmpty()) {
            QCOMPARE(pty->readAtLeast(1, 200), QByteArray());
            QCOMPARE(c.w.sent(), 0);
            QString digits; // what the check keeps of a refused payload has no blank either
            DeviceCommand::checkPayload(payload, &digits);
            QVERIFY(!digits.contains(QLatin1Char(' ')));
            return;
        }
        const int size = 13 + sent.count(QRegularExpression("[0-9a-fA-F]")) / 2;
        const QByteArray got = pty->readAtLeast(size, 3000);
        QVERIFY2(hexOf(got).startsWith(frame), qPrintable(hexOf(got)));
        QCOMPARE(got.size(), size);
        QVERIFY(DeviceCommand::commandFrame(got.mid(12, got.size() - 13)) == got);
        QCOMPARE(Checksum::compute(got, Checksum::XorSum), quint8(0)); // the last byte balances
        if (!code.isEmpty()) // the preset's text before its length and checksum are filled in
            QCOMPARE(DeviceCommand::presetFrameText(quint8(code.toUInt(nullptr, 16))),
                "AA7580000000AABB4201FE01" + code);
        // Sent through the main window: counted and echoed as a transmitted hex line.
        QCOMPARE(c.w.sent(), size);
        QVERIFY(c.w.form()->recvShowText->toPlainText().startsWith(
            "TX→◇" + QString::fromLatin1(got.left(5).toHex(' ').toUpper())));
    }

    // Each chunk the device writes, then the panes: hex "|" characters (first "earlier").
    void replies_data()
    {
        const auto add = columns<Chunks, QString>("chunks", "view"); // view: the main view as well
        const QByteArray version = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本：V1.0"));
        const QByteArray info = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息：上电复位"));
        const QByteArray reset = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息"));
        const QByteArray empty = DeviceCommand::replyFrame(0x02, 0x00, QByteArray());
        QCOMPARE(empty.size(), 15);
        const QString v = hexOf(version) + QStringLiteral("|主机版本：V1.0");
        const auto cached = [](const QByteArray& bytes) {
            return QString("cache.size %1 cache.toHex() %2").arg(bytes.size()).arg(hexOf(bytes));
        };
        // Noise before a reply in two chunks; then a second start sequence restarts the reply.
        add("repliesFillThePanes",
            { { "log\r\n" + version.left(9), "|earlier", cached(version.left(9)) },
                { version.mid(9), v, cached(version) }, { version.left(12), v, {} },
                { version.mid(12, 3) + reset, hexOf(reset) + "|复位信息", {} } },
            "RX←◆log");
        // An echoed line end; a log line behind the last piece of a reply; two replies at once.
        add("bytesBehindAReplyDoNotHideIt",
            { { version + "\r\n", v, {} }, { info.left(10), v, {} },
                { info.mid(10) + "#000007 [INFO] ok\r\n", hexOf(info) + "|复位信息：上电复位", {} },
                { version + info + "\r\n",
                    hexOf(version) + "\n" + hexOf(info) + "|主机版本：V1.0\n复位信息：上电复位",
                    {} } },
            "");
        add("shortReplyKeepsTheCharacterPane", { { empty, hexOf(empty) + "|earlier", {} } }, "");
    }

    void replies()
    {
        QFETCH(Chunks, chunks);
        Tools c;
        QVERIFY(c.open(pty->slavePath()));
        c.charPane->setPlainText(QStringLiteral("earlier"));
        int written = 0;
        for (const Chunk& chunk : chunks) {
            if (!chunk.debug.isEmpty())
                QTest::ignoreMessage(QtDebugMsg, qPrintable(chunk.debug));
            QVERIFY(pty->write(chunk.bytes));
            written += chunk.bytes.size();
            QTRY_COMPARE(c.w.received(), written); // read on its own
            QTRY_COMPARE(c.hexPane->toPlainText() + "|" + c.charPane->toPlainText(), chunk.panes);
        }
        // The chunks were displayed in the main view as well.
        QFETCH(QString, view);
        QTRY_VERIFY(c.w.form()->recvShowText->toPlainText().contains(view));
        QVERIFY(boxes->calls.isEmpty());
    }

    void clearEmptiesAll()
    {
        Tools c;
        for (auto* pane : { c.send, c.hexPane, c.charPane })
            pane->setPlainText("x");
        c.click("clearToolButton");
        QCOMPARE(c.send->toPlainText() + c.hexPane->toPlainText() + c.charPane->toPlainText(),
            QString());
    }

    // Device console against the simulated board
    void presetsAgainstTheBoard_data()
    {
        // payload: typed and sent before the presets, when given
        const auto add = columns<bool, QString>("addLF", "payload");
        add("frames alone", false, "");
        add("frames with CR LF behind", true, "");
        add("freePayloadAgainstTheBoard", false, "01 02 0a");
    }

    void presetsAgainstTheBoard()
    {
        NEED_SIMULATOR();
        QFETCH(bool, addLF);
        QFETCH(QString, payload);
        onBoard({ "--quiet" }, [addLF, payload](Tools& c) {
            c.w.form()->addLFCheckBox->setChecked(addLF);
            QList<std::tuple<const char*, quint8, QString>> steps {
                { "mpuVerToolButton", 0x01,
                    QStringLiteral("主机版本：SIM-M4 V2.1.0，编译于 2015-06-18") },
                { "getResetInfoButton", 0x03, QStringLiteral("复位信息：上电复位，复位次数 0") },
                { "resetMCUToolButton", 0x02, QStringLiteral("MCU复位中，请稍候...") },
                { "getResetInfoButton", 0x03, QStringLiteral("复位信息：软件复位，复位次数 1") },
            };
            c.send->setPlainText(payload);
            if (!payload.isEmpty()) // its reply's code is the payload's first byte
                steps.prepend(
                    { "sendToolButton", 0x01, QStringLiteral("收到数据 3 字节：01 02 0A") });
            int replyBytes = 0;
            for (const auto& [button, code, text] : steps) {
                c.click(button);
                QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), text, 3000);
                // The whole reply: its code, status 00 and text.
                const QByteArray reply = DeviceCommand::replyFrame(code, 0x00, gbk(text));
                QCOMPARE(c.hexPane->toPlainText(), hexOf(reply));
                replyBytes += reply.size();
            }
            // The board answers command frames instead of echoing them, but still echoes text;
            // the text's line end also ends the last reply's bytes in the view.
            c.w.form()->addLFCheckBox->setChecked(true);
            c.w.form()->sendDataTextEdit->setPlainText("ping");
            c.w.form()->sendDataButton->click();
            const auto lastLine
                = [&c] { return c.w.form()->recvShowText->toPlainText().split('\n').last(); };
            QTRY_VERIFY_WITH_TIMEOUT(lastLine().startsWith(QStringLiteral("RX←◆"))
                    && lastLine().endsWith(QStringLiteral("ping")),
                3000);
            QCOMPARE(c.w.received(), replyBytes + 6);
        });
    }

    void resetWithoutAutoDownloadComesBack_data()
    {
        // The log's interval, the menu's time-out, and whether each frame has CR LF behind.
        const auto add = columns<QString, QString, bool>("interval", "timeout", "addLF");
        add("resetWithoutAutoDownloadComesBack", "100", "1500", false);
        add("bootLoaderGivesUpOnTheLine", "50", "400", true);
    }

    void resetWithoutAutoDownloadComesBack()
    {
        NEED_SIMULATOR();
        QFETCH(QString, interval);
        QFETCH(QString, timeout);
        QFETCH(bool, addLF);
        const QStringList options { "--interval", interval, "--boot-on-reset", "--boot-timeout",
            timeout };
        onBoard(options, [addLF](Tools& c) {
            QVERIFY(!c.f->isMcuUpgradeChecked());
            c.w.form()->addLFCheckBox->setChecked(addLF);
            c.w.form()->sendDataTextEdit->setPlainText("ping");
            const auto view = [&c] { return c.w.form()->recvShowText->toPlainText(); };
            const QString menuEnd = QStringLiteral("5 - 擦除用户参数扇区");
            const QString back = QStringLiteral("RX←◆正在启动应用程序...");
            // The prompt's line is ended before the board gives up, and it comes back at once.
            const QString giveUp = QStringLiteral("RX←◆>\nRX←◆等待超时，退出引导程序\n") + back;
            const QString resetting = QStringLiteral("MCU复位中，请稍候...");

            // Twice: the board comes back every time.
            for (int round = 1; round <= 2; ++round) {
                c.click("resetMCUToolButton");
                QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), resetting, 3000);
                QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), round, 3000);
                QTRY_COMPARE_WITH_TIMEOUT(view().count(giveUp), round, 5000);
                QTRY_COMPARE_WITH_TIMEOUT(view().count(back), round, 3000);
                // The log runs again behind the hand-over, and text is echoed again.
                QTRY_VERIFY_WITH_TIMEOUT(
                    view().mid(view().lastIndexOf(back)).contains(QStringLiteral("RX←◆#")), 3000);
                c.w.form()->sendDataButton->click();
                QTRY_COMPARE_WITH_TIMEOUT(view().count(QStringLiteral("RX←◆ping")), round, 3000);
            }
            c.click("getResetInfoButton");
            QTRY_COMPARE_WITH_TIMEOUT(
                c.charPane->toPlainText(), QStringLiteral("复位信息：软件复位，复位次数 2"), 3000);

            // A reset pressed while the board sits in its menu is obeyed.
            c.click("resetMCUToolButton");
            QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), 3, 3000);
            c.charPane->clear();
            c.click("resetMCUToolButton");
            QTRY_COMPARE_WITH_TIMEOUT(c.charPane->toPlainText(), resetting, 3000);
            QTRY_COMPARE_WITH_TIMEOUT(view().count(menuEnd), 4, 3000);
            QCOMPARE(view().count(giveUp), 2);
        });
    }

private:
    // Runs the steps on a console opened on the simulated board; no box may come up.
    void onBoard(const QStringList& options, const std::function<void(Tools&)>& steps)
    {
        DevSimProcess sim;
        QVERIFY2(sim.start(options), qPrintable(sim.errors()));
        ExtraPorts env(sim.ptyPath());
        Tools c;
        QVERIFY(c.open(sim.ptyPath()));
        steps(c);
        QVERIFY(boxes->calls.isEmpty());
    }
};

QTEST_MAIN(tst_Device)
#include "tst_device.moc"
