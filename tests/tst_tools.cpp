// The logic behind the additional-functions window and the boot-loader dialogue, without a window:
// character/hex, byte stuffing, replies, the send delay, the dialogue's lines.
#include "serial/core/senddelay.h"
#include "serial/core/upgradedialogue.h"
#include "testdata.h"
#include "tools/core/checksum.h"
#include "tools/core/devicecommand.h"
#include "tools/core/framecodec.h"
#include "tools/core/hexconvert.h"
#include "tools/core/replyassembler.h"

#include <QtTest>

#include <numeric>

namespace {

QByteArray gbk(const QString& text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

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

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(ReplyAssembler::Step)
Q_DECLARE_METATYPE(QList<QByteArray>)
Q_DECLARE_METATYPE(QList<ReplyAssembler::Step>)

class tst_Tools : public QObject {
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
};

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
