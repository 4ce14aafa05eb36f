// The logic behind the additional-functions window and the boot-loader dialogue: checksums,
// character/hex conversion, byte stuffing, device command frames, reply recognition, and the
// dialogue's line handling, all without a window.
#include "serial/core/senddelay.h"
#include "serial/core/upgradedialogue.h"
#include "tools/core/checksum.h"
#include "tools/core/devicecommand.h"
#include "tools/core/framecodec.h"
#include "tools/core/hexconvert.h"
#include "tools/core/replyassembler.h"

#include <QElapsedTimer>
#include <QTextCodec>
#include <QThread>
#include <QtTest>

namespace {

// One data row: the tag, then the columns in order.
template <typename... T> void row(const char* tag, const T&... values)
{
    (QTest::newRow(tag) << ... << values);
}

QByteArray gbk(const QString& text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

QByteArray hex(const char* digits) { return QByteArray::fromHex(digits); }

// One pass of the dialogue as a test describes it.
struct Pass {
    qint64 at = 0; // ms on the monotonic clock
    QByteArray bytes; // appended to the pending buffer before the pass
    bool running = false;
    bool path = true;
    QByteArray type = "2";
    QStringList expected; // the actions, in the notation of describe()
    int pendingLeft = 0; // bytes the pass leaves unprocessed
};
using Script = QVector<Pass>;

// "line:TEXT", "prompt:TEXT", "cursor", "write:BYTES", "stop", "click", "uncheck", "warn".
QStringList describe(const UpgradeDialogue::Actions& actions)
{
    QStringList out;
    for (const auto& a : actions) {
        switch (a.kind) {
        case UpgradeDialogue::Action::ShowPrompt:
            out << QStringLiteral("prompt:") + a.text;
            break;
        case UpgradeDialogue::Action::ShowLine:
            out << QStringLiteral("line:") + a.text;
            break;
        case UpgradeDialogue::Action::MoveCursorToEnd:
            out << QStringLiteral("cursor");
            break;
        case UpgradeDialogue::Action::Write:
            out << QStringLiteral("write:") + QString::fromUtf8(a.bytes);
            break;
        case UpgradeDialogue::Action::StopTransfer:
            out << QStringLiteral("stop");
            break;
        case UpgradeDialogue::Action::ClickSendFile:
            out << QStringLiteral("click");
            break;
        case UpgradeDialogue::Action::Uncheck:
            out << QStringLiteral("uncheck");
            break;
        case UpgradeDialogue::Action::WarnTimeout:
            out << QStringLiteral("warn");
            break;
        }
    }
    return out;
}

const QByteArray key = "PLUMB24680QRSTU1357908642VWXYZ97531DEFGH";

// One pass of the dialogue; `left`: the bytes it leaves pending.
Pass pass(qint64 at, const QByteArray& bytes = {}, const QStringList& expected = {}, int left = 0)
{
    Pass p;
    p.at = at;
    p.bytes = bytes;
    p.expected = expected;
    p.pendingLeft = left;
    return p;
}

Pass running(Pass p)
{
    p.running = true;
    return p;
}

// The boot loader recognised: banner and identification, shown and answered by nothing.
Pass recognised(qint64 at)
{
    return pass(at, "Copyright (C) 2015 Brenlow\r\nBrenlow boot-loader V2 (m4)\r\n",
        { "line:Copyright (C) 2015 Brenlow", "line:Brenlow boot-loader V2 (m4)" });
}

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(FrameCodec::Result)
Q_DECLARE_METATYPE(DeviceCommand::Payload)
Q_DECLARE_METATYPE(ReplyAssembler::Step)
Q_DECLARE_METATYPE(QList<QByteArray>)
Q_DECLARE_METATYPE(QList<ReplyAssembler::Step>)

class tst_Tools : public QObject {
    Q_OBJECT

private slots:
    // Checksum calculator
    void checksum_data();
    void checksum();
    // Character/hex converter
    void hexToCharacters_data();
    void hexToCharacters();
    void charactersToHex_data();
    void charactersToHex();
    void scanBytesDropsBlanksTabsAndLineFeeds();
    // Frame encapsulation
    void ruleFromTexts();
    void encapsulate_data();
    void encapsulate();
    void decapsulate_data();
    void decapsulate();
    void stuffingRoundTrip_data();
    void stuffingRoundTrip();
    // Device command frames
    void presetFrames_data();
    void presetFrames();
    void payload_data();
    void payload();
    void payloadFrameMatchesCommandFrame_data();
    void payloadFrameMatchesCommandFrame();
    void replyRecognition_data();
    void replyRecognition();
    void replyText_data();
    void replyText();
    // Reply assembly over chunks
    void replyAssembly_data();
    void replyAssembly();
    // Send delay
    void sendDelayEndsOnItsOwn_data();
    void sendDelayEndsOnItsOwn();
    // Upgrade dialogue
    void dialogue_data();
    void dialogue();
    void dialogueFlagsFollowTheLoader();
};

// --- checksum ----------------------------------------------------------------------------------

void tst_Tools::checksum_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hexInput");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QString>("complement");
    const auto row = [](const char* tag, const char* text, bool hexInput, Checksum::Kind kind,
                         const char* sum, const char* complement) {
        QTest::newRow(tag) << QString(text) << hexInput << int(kind) << QString(sum)
                           << QString(complement);
    };

    row("hex plain sum", "01 02 03", true, Checksum::PlainSum, "06", "f9");
    row("hex sum of complements", "01 02 03", true, Checksum::ComplementSum, "f7", "08");
    row("hex xor", "01 02 03", true, Checksum::XorSum, "00", "ff");
    row("ascii plain sum wraps", "abc", false, Checksum::PlainSum, "26", "d9");
    row("ascii xor", "abc", false, Checksum::XorSum, "60", "9f");
    row("hex blanks only", "   ", true, Checksum::PlainSum, "00", "ff");
    row("hex blanks only, complements", "   ", true, Checksum::ComplementSum, "00", "ff");
    row("odd digits: first digit a byte", "123", true, Checksum::PlainSum, "24", "db");
    row("lower-case digits, zero padded", "0a", true, Checksum::PlainSum, "0a", "f5");
    row("line breaks and separators ignored", "01\n02,03", true, Checksum::PlainSum, "06", "f9");
    row("Chinese character in ascii is one 0x3F", "中", false, Checksum::PlainSum, "3f", "c0");
    row("Latin-1 character in ascii is its own byte", "é", false, Checksum::PlainSum, "e9", "16");
    row("digits in ascii are characters", "01", false, Checksum::PlainSum, "61", "9e");
}

void tst_Tools::checksum()
{
    QFETCH(QString, text);
    QFETCH(bool, hexInput);
    QFETCH(int, kind);
    const quint8 sum
        = Checksum::compute(Checksum::inputBytes(text, hexInput), Checksum::Kind(kind));
    QTEST(Checksum::hexByte(sum), "sum");
    QTEST(Checksum::hexByte(0xFF - sum), "complement");
}

// --- character/hex -----------------------------------------------------------------------------

void tst_Tools::hexToCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("characters");

    row("pairs with blanks", "41 42 43", "ABC");
    row("control and DEL become blanks, lone digit dropped", "41 0D 7F 4", "A  ");
    row("non-digit copied, pending digit dropped", "4G1", "G");
    row("UTF-8 of a Chinese character: three blanks", "E4B8AD", "   ");
    row("line feeds ignored", "41\n42", "AB");
    row("carriage return copied", "41\r42", "A\rB");
    row("tabs ignored", "41\t4\t2", "AB");
    row("zero value is a blank", "00 41", " A");
    row("lower-case digits", "6a 7e", "j~");
    row("range bounds", "1F 20 7E", "  ~");
    row("Chinese character copied as its bytes", "中41",
        QString::fromLatin1("\xe4\xb8\xad"
                            "A"));
    row("empty", "", "");
}

void tst_Tools::hexToCharacters()
{
    QFETCH(QString, text);
    QTEST(HexConvert::scanToCharacters(HexConvert::scanBytes(text)), "characters");
}

void tst_Tools::charactersToHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex");
    row("ascii", "ABC", "414243");
    row("Chinese: UTF-8 bytes", "中", "E4B8AD");
    row("line end kept as bytes", "a\nb", "610A62");
    row("empty", "", "");
}

void tst_Tools::charactersToHex()
{
    QFETCH(QString, text);
    QTEST(HexConvert::charactersToHex(text), "hex");
    // Printable ASCII survives the way back.
    bool printable = true;
    for (const QChar c : text)
        printable = printable && c.unicode() >= 0x20 && c.unicode() <= 0x7E;
    if (printable)
        QCOMPARE(
            HexConvert::scanToCharacters(HexConvert::scanBytes(HexConvert::charactersToHex(text))),
            text);
}

void tst_Tools::scanBytesDropsBlanksTabsAndLineFeeds()
{
    QCOMPARE(HexConvert::scanBytes(QStringLiteral(" 4 1\t\n42\r\n")), QByteArray("4142\r"));
    QCOMPARE(HexConvert::scanBytes(QStringLiteral("中")), QByteArray("\xe4\xb8\xad"));
    // A zero byte typed into the box ends the text.
    QCOMPARE(HexConvert::scanToCharacters(QByteArray("41\0"
                                                     "42",
                 5)),
        QStringLiteral("A"));
}

// --- frames ------------------------------------------------------------------------------------

void tst_Tools::ruleFromTexts()
{
    const FrameCodec::Rule r = FrameCodec::ruleFromTexts("7E", "aa", "zz", "", "1FF");
    QCOMPARE(r.f1, quint16(0x7E));
    QCOMPARE(r.f2, quint16(0xAA));
    QCOMPARE(r.m, quint16(0)); // unreadable counts as 0
    QCOMPARE(r.b1, quint16(0));
    QCOMPARE(r.b2, quint16(0x1FF));
}

void tst_Tools::encapsulate_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("f2");
    QTest::addColumn<QString>("b1");
    QTest::addColumn<FrameCodec::Result>("result");
    QTest::addColumn<QString>("frame");
    const auto ok = FrameCodec::Result::Ok, bad = FrameCodec::Result::BadFormat;
    row("default rule", "01 7E 02 7D 03", "7D", "02", ok, "7E 01 7D 02 02 7D 01 03 7E ");
    row("blanks only: just the flags", "   ", "7D", "02", ok, "7E 7E ");
    row("lone last digit is a byte", "123", "7D", "02", ok, "7E 12 03 7E ");
    row("no blanks needed", "7e7d", "7D", "02", ok, "7E 7D 02 7D 01 7E ");
    row("changed F2", "AA", "AA", "02", ok, "7E 7D 01 7E ");
    row("changed F2 leaves 7D alone", "7D", "AA", "02", ok, "7E 7D 7E ");
    row("F1 equals F2: B1 form wins", "7E", "7E", "02", ok, "7E 7D 02 7E ");
    row("rule value above FF printed whole", "7E", "7D", "1FF", ok, "7E 7D 1FF 7E ");
    row("line break between bytes", "01 02\n03 04", "7D", "02", ok, "7E 01 02 03 04 7E ");
    row("CR LF, tab and a trailing Enter", "7E\t01\r\n02\n", "7D", "02", ok, "7E 7D 02 01 02 7E ");
    row("line break inside a pair", "0\n1", "7D", "02", ok, "7E 01 7E ");
    row("bad pair", "0G", "7D", "02", bad, "");
    row("bad pair after good ones", "01 02 ZZ", "7D", "02", bad, "");
    row("empty", "", "7D", "02", FrameCodec::Result::Empty, "");
}

void tst_Tools::encapsulate()
{
    QFETCH(QString, plain);
    QFETCH(QString, f2);
    QFETCH(QString, b1);
    const FrameCodec::Rule rule = FrameCodec::ruleFromTexts("7E", f2, "7D", b1, "01");
    QString frame = QStringLiteral("untouched");
    QTEST(FrameCodec::encapsulate(plain.toUtf8(), rule, &frame), "result");
    QFETCH(FrameCodec::Result, result);
    if (result == FrameCodec::Result::Ok)
        QTEST(frame, "frame");
    else
        QCOMPARE(frame, QStringLiteral("untouched"));
}

void tst_Tools::decapsulate_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("f2");
    QTest::addColumn<FrameCodec::Result>("result");
    QTest::addColumn<QString>("plain");
    const auto ok = FrameCodec::Result::Ok, bad = FrameCodec::Result::BadFormat;

    row("default rule", "7E 01 7D 02 02 7D 01 03 7E", "7D", ok, "01 7E 02 7D 03 ");
    row("four digits: nothing inside", "7E7E", "7D", ok, "");
    row("fewer than four digits", "7E", "7D", ok, "");
    row("escape standing for itself", "7E 7D 05 7E", "7D", ok, "7D 05 ");
    row("escape at the end", "7E 7D 7E", "7D", ok, "7D ");
    row("flags are not compared", "00 41 FF", "7D", ok, "41 ");
    row("changed F2", "7E 7D 01 7E", "AA", ok, "AA ");
    row("trailing Enter", "7E 01 7D 02 7E\n", "7D", ok, "01 7E ");
    row("frame over several lines", "7E 01\r\n7D 01\n\t03 7E", "7D", ok, "01 7D 03 ");
    row("bad pair", "7E 0G 7E", "7D", bad, "");
    row("bad pair after an escape is read on its own", "7E 7D ZZ 7E", "7D", bad, "");
    row("empty", "", "7D", FrameCodec::Result::Empty, "");
}

void tst_Tools::decapsulate()
{
    QFETCH(QString, frame);
    QFETCH(QString, f2);
    const FrameCodec::Rule rule = FrameCodec::ruleFromTexts("7E", f2, "7D", "02", "01");
    QString plain = QStringLiteral("untouched");
    QTEST(FrameCodec::decapsulate(frame.toUtf8(), rule, &plain), "result");
    QFETCH(FrameCodec::Result, result);
    if (result == FrameCodec::Result::Ok)
        QTEST(plain, "plain");
    else
        QCOMPARE(plain, QStringLiteral("untouched"));
}

void tst_Tools::stuffingRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("f2");
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    row("every byte value", all, "7D");
    row("every byte value, F2 changed to AA", all, "AA");
    row("flags and escapes in a row", hex("7E7E7D7D7E7D"), "7D");
    row("escape followed by B1 and B2 values", hex("7D027D01"), "7D");
    row("one byte", hex("00"), "AA");
}

void tst_Tools::stuffingRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, f2);
    const FrameCodec::Rule rule = FrameCodec::ruleFromTexts("7E", f2, "7D", "02", "01");
    QString frame;
    QCOMPARE(
        FrameCodec::encapsulate(bytes.toHex(' ').toUpper(), rule, &frame), FrameCodec::Result::Ok);
    // Inside the flags no byte equals F1 or F2 any more.
    const QStringList inside
        = frame.trimmed().split(' ').mid(1, frame.trimmed().split(' ').size() - 2);
    QVERIFY(!inside.contains(QStringLiteral("7E")));
    QVERIFY(!inside.contains(f2) || f2 == QLatin1String("7D"));
    QString plain;
    QCOMPARE(FrameCodec::decapsulate(frame.toUtf8(), rule, &plain), FrameCodec::Result::Ok);
    QCOMPARE(plain, QString::fromLatin1(bytes.toHex(' ').toUpper() + ' '));
}

// --- device commands ---------------------------------------------------------------------------

void tst_Tools::presetFrames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("frame");
    row("host version", int(DeviceCommand::HostVersion), "AA7580000700AABB4201FE0101F4");
    row("reset MCU", int(DeviceCommand::ResetMcu), "AA7580000700AABB4201FE0102F7");
    row("reset information", int(DeviceCommand::ResetInfo), "AA7580000700AABB4201FE0103F6");
}

void tst_Tools::presetFrames()
{
    QFETCH(int, code);
    QFETCH(QString, frame);
    QCOMPARE(DeviceCommand::presetFrameText(quint8(code)),
        QStringLiteral("AA7580000000AABB4201FE01") + frame.mid(24, 2));
    QCOMPARE(DeviceCommand::completeFrame(DeviceCommand::presetFrameText(quint8(code))), frame);
    QCOMPARE(QString::fromLatin1(
                 DeviceCommand::commandFrame(QByteArray(1, char(code))).toHex().toUpper()),
        frame);
}

void tst_Tools::payload_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<DeviceCommand::Payload>("status");
    QTest::addColumn<QString>("frameStart"); // the frame up to and including the count byte
    const QString d255 = QString(510, QLatin1Char('a'));
    const QString d256 = QString(512, QLatin1Char('0'));

    row("blanks allowed", "01 02 0a", DeviceCommand::Payload::Ok, "AA7580000900AABB4201FE03");
    row("255 bytes: count FF, length 0105", d255, DeviceCommand::Payload::Ok,
        "AA7580010500AABB4201FEFF");
    row("256 bytes refused", d256, DeviceCommand::Payload::TooLong, "");
    row("empty", "", DeviceCommand::Payload::Empty, "");
    row("blanks only", "   ", DeviceCommand::Payload::Empty, "");
    row("not hex", "0G", DeviceCommand::Payload::NotHex, "");
    row("odd digit count", "123", DeviceCommand::Payload::NotHex, "");
    row("odd and too long: hex check first", d256 + QLatin1Char('1'),
        DeviceCommand::Payload::NotHex, "");
    row("line break", "01\n02", DeviceCommand::Payload::NotHex, "");
    row("0x prefix", "0x01", DeviceCommand::Payload::NotHex, "");
    row("sign", "+1", DeviceCommand::Payload::NotHex, "");
    row("tab", "01\t02", DeviceCommand::Payload::NotHex, "");
}

void tst_Tools::payload()
{
    QFETCH(QString, text);
    QFETCH(QString, frameStart);
    QString digits;
    QTEST(DeviceCommand::checkPayload(text, &digits), "status");
    QVERIFY(!digits.contains(QLatin1Char(' ')));
    if (frameStart.isEmpty())
        return;
    const QString frame = DeviceCommand::completeFrame(DeviceCommand::payloadFrameText(digits));
    QVERIFY2(frame.startsWith(frameStart), qPrintable(frame));
    QCOMPARE(frame.size(), frameStart.size() + digits.size() + 2);
    QCOMPARE(frame.mid(frameStart.size(), digits.size()), digits.toUpper());
    const QByteArray bytes = QByteArray::fromHex(frame.toLatin1());
    QCOMPARE(Checksum::compute(bytes, Checksum::XorSum), quint8(0)); // the last byte balances
}

void tst_Tools::payloadFrameMatchesCommandFrame_data()
{
    QTest::addColumn<QByteArray>("payload");
    row("one byte", hex("01"));
    row("bytes that look like frame starts", hex("AA7580557A80"));
    QByteArray longest;
    for (int i = 0; i < 255; ++i)
        longest.append(char(i * 13));
    row("255 bytes", longest);
}

void tst_Tools::payloadFrameMatchesCommandFrame()
{
    QFETCH(QByteArray, payload);
    const QString digits = QString::fromLatin1(payload.toHex());
    QCOMPARE(DeviceCommand::completeFrame(DeviceCommand::payloadFrameText(digits)),
        QString::fromLatin1(DeviceCommand::commandFrame(payload).toHex().toUpper()));
}

void tst_Tools::replyRecognition_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
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

void tst_Tools::replyRecognition()
{
    QFETCH(QByteArray, bytes);
    QTEST(DeviceCommand::isCompleteReply(bytes), "complete");
}

void tst_Tools::replyText_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");
    row("GBK text", DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本 V1")), gbk("主机版本 V1"));
    row("15 bytes: no text", DeviceCommand::replyFrame(0x03, 0x00, QByteArray()), QByteArray());
    row("16 bytes: one byte", DeviceCommand::replyFrame(0x03, 0x00, "A"), QByteArray("A"));
    row("text cut to the count byte", DeviceCommand::replyFrame(0x05, 0x00, QByteArray(300, 'x')),
        QByteArray(253, 'x'));
}

void tst_Tools::replyText()
{
    QFETCH(QByteArray, reply);
    QVERIFY(DeviceCommand::isCompleteReply(reply));
    QTEST(DeviceCommand::replyText(reply), "text");
    QCOMPARE(quint8(reply.at(11)), quint8(reply.size() - 13)); // count, code, status, text
    QCOMPARE((quint8(reply.at(3)) << 8) | quint8(reply.at(4)), reply.size() - 7);
}

// --- reply assembly ----------------------------------------------------------------------------

void tst_Tools::replyAssembly_data()
{
    using Step = ReplyAssembler::Step;
    using Chunks = QList<QByteArray>;
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<Chunks>("replies"); // every reply completed, in order
    QTest::addColumn<QByteArray>("buffer"); // what is left waiting

    const QByteArray r = DeviceCommand::replyFrame(0x01, 0x00, gbk("主机版本：SIM"));
    const QByteArray r2 = DeviceCommand::replyFrame(0x03, 0x00, gbk("复位信息"));
    const QByteArray shortest = DeviceCommand::replyFrame(0x02, 0x00, QByteArray());
    // A board that leaves the length field and the count byte unfilled.
    QByteArray loose = hex("557A80FFFFFFAABB4201FE123456") + "text";
    loose.append(char(Checksum::compute(loose, Checksum::XorSum)));

    row("whole reply", Chunks { r }, QList<Step> { Step::Complete }, Chunks { r }, QByteArray());
    row("noise before the start", Chunks { "log line\r\n" + r }, QList<Step> { Step::Complete },
        Chunks { r }, QByteArray());
    row("split over three chunks", Chunks { r.left(5), r.mid(5, 10), r.mid(15) },
        QList<Step> { Step::Waiting, Step::Waiting, Step::Complete }, Chunks { r }, QByteArray());
    row("start sequence itself split", Chunks { r.left(2), r.mid(2) },
        QList<Step> { Step::Ignored, Step::Complete }, Chunks { r }, QByteArray());
    row("chunks without start while empty are ignored", Chunks { "hello", hex("AABB4201FE") },
        QList<Step> { Step::Ignored, Step::Ignored }, Chunks {}, QByteArray());
    row("echoed line end behind the reply", Chunks { r + "\r\n" }, QList<Step> { Step::Complete },
        Chunks { r }, QByteArray());
    row("log line behind the reply", Chunks { r + "#000001 [INFO] x\r\n" },
        QList<Step> { Step::Complete }, Chunks { r }, QByteArray());
    row("line end behind the last piece", Chunks { r.left(10), r.mid(10) + "\r\n" },
        QList<Step> { Step::Waiting, Step::Complete }, Chunks { r }, QByteArray());
    row("two replies read together", Chunks { r + r2 }, QList<Step> { Step::Complete },
        Chunks { r, r2 }, QByteArray());
    row("two replies with line ends", Chunks { r + "\r\n" + r2 + "\r\n" },
        QList<Step> { Step::Complete }, Chunks { r, r2 }, QByteArray());
    row("the next reply begun behind one", Chunks { r + r2.left(7), r2.mid(7) },
        QList<Step> { Step::Complete, Step::Complete }, Chunks { r, r2 }, QByteArray());
    row("unfilled size fields, line end behind", Chunks { loose + "\r\n" },
        QList<Step> { Step::Complete }, Chunks { loose }, QByteArray());
    row("unfilled size fields, alone", Chunks { loose.left(8), loose.mid(8) },
        QList<Step> { Step::Waiting, Step::Complete }, Chunks { loose }, QByteArray());
    row("a new start restarts the buffer", Chunks { r.left(9), r2 },
        QList<Step> { Step::Waiting, Step::Complete }, Chunks { r2 }, QByteArray());
    row("restart inside a chunk drops the partial reply", Chunks { r.left(9), r.mid(9, 4) + r2 },
        QList<Step> { Step::Waiting, Step::Complete }, Chunks { r2 }, QByteArray());
    row("two replies in a row", Chunks { r, r2 }, QList<Step> { Step::Complete, Step::Complete },
        Chunks { r, r2 }, QByteArray());
    row("15-byte reply", Chunks { shortest }, QList<Step> { Step::Complete }, Chunks { shortest },
        QByteArray());
    QByteArray corrupt = r;
    corrupt[corrupt.size() - 1] = char(~corrupt.at(corrupt.size() - 1));
    row("corrupt reply waits for the next start", Chunks { corrupt, "more", r2 },
        QList<Step> { Step::Waiting, Step::Waiting, Step::Complete }, Chunks { r2 }, QByteArray());
    row("past 4096 bytes the buffer is dropped",
        Chunks { r.left(20), QByteArray(4076, 'x'), "y", r.mid(20) },
        QList<Step> { Step::Waiting, Step::Waiting, Step::Dropped, Step::Ignored }, Chunks {},
        QByteArray());
    row("a reply ahead of a flood is kept", Chunks { r + QByteArray(5000, 'x') },
        QList<Step> { Step::Complete }, Chunks { r }, QByteArray());
    // Only the length field filled; the checksum also holds by chance after 40 bytes and at the
    // end of the adapter's first 64-byte packet.
    QByteArray longer = hex("557A80004400AABB4201FE3C0100") + QByteArray(60, 'a');
    longer[39] = char(Checksum::compute(longer.left(39), Checksum::XorSum));
    longer[63] = char(Checksum::compute(longer.mid(40, 23), Checksum::XorSum));
    longer.append(char(Checksum::compute(longer, Checksum::XorSum)));
    row("64-byte packets, chance checksums inside", Chunks { longer.left(64), longer.mid(64) },
        QList<Step> { Step::Waiting, Step::Complete }, Chunks { longer }, QByteArray());
    Chunks many;
    QByteArray pile;
    while (pile.size() < 4 << 20) {
        pile += shortest;
        many << shortest;
    }
    row("4 MiB read after a pause", Chunks { pile + r.left(20) }, QList<Step> { Step::Complete },
        many, r.left(20));
}

void tst_Tools::replyAssembly()
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

// --- send delay --------------------------------------------------------------------------------

void tst_Tools::sendDelayEndsOnItsOwn_data()
{
    QTest::addColumn<int>("delay");
    // The millisecond of the second (monotonic clock) at which the delay is due: there a coarse
    // timer of this length would fire early.
    QTest::addColumn<int>("dueAt");
    row("1000 ms", 1000, 150);
    row("1000 ms, other half", 1000, 650);
    row("2000 ms", 2000, 200);
    row("700 ms", 700, 40);
}

void tst_Tools::sendDelayEndsOnItsOwn()
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

// --- upgrade dialogue --------------------------------------------------------------------------

void tst_Tools::dialogue_data()
{
    QTest::addColumn<Script>("script");
    const QByteArray sep = "==================================================\r\n";
    const QString sepLine = QStringLiteral("line:") + QString::fromLatin1(sep.trimmed());
    const QString banner = QStringLiteral("line:Copyright (C) 2015 Brenlow");
    const QString keyLine = QStringLiteral("write:") + QString::fromLatin1(key);
    const QString requestLine = QStringLiteral("line:请传送主程序HEX文件...");
    const QByteArray request = gbk(QStringLiteral("请传送主程序HEX文件...\r\n>>\r\n"));

    row("menu framed twice: type written twice",
        Script { recognised(0),
            pass(10, sep + "  1 - a\r\n" + sep,
                { sepLine, "cursor", "write:2", "line:  1 - a", sepLine, "cursor", "write:2" }) });
    row("identification before the banner: answered only after it",
        Script { pass(0, "boot-loader m4\r\n" + sep, { "line:boot-loader m4", sepLine }),
            pass(10, "Copyright (C) 2015 Brenlow\r\n" + sep,
                { banner, sepLine, "cursor", "write:2" }) });
    row("flags set by the very line are used at once",
        Script { pass(0, "Copyright (C) 2015 Brenlow boot-loader m4 ==========\n",
            { "line:Copyright (C) 2015 Brenlow boot-loader m4 ==========", "cursor",
                "write:2" }) });
    row("banner alone answers nothing",
        Script { pass(0, "Copyright (C) 2015 Brenlow\r\n" + sep, { banner, sepLine }) });
    const QByteArray prompt = gbk(QStringLiteral("请输入操作密码："));
    // The pass at 0 sets the time of the last run.
    row("unterminated password prompt answered 200 ms after the last run",
        Script { recognised(0), pass(0), pass(150, prompt, {}, prompt.size()),
            pass(199, {}, {}, prompt.size()),
            pass(200, {}, { QStringLiteral("line:请输入操作密码："), keyLine }) });
    row("confirmation prompt answered with the key",
        Script { recognised(0),
            pass(10, gbk(QStringLiteral("****\r\n请再次输入密码：\n")),
                { "line:****", QStringLiteral("line:请再次输入密码："), keyLine }) });
    row("file request clicks the send button",
        Script { recognised(0), pass(10, request, { requestLine, "click", "prompt:>>" }) });
    Pass noPath = pass(10, request, { requestLine, "prompt:>>" });
    noPath.path = false;
    row("file request without a path does nothing", Script { recognised(0), noPath });
    // The click stops the running transfer, so the boot line finds none to stop.
    row("file request during a transfer toggles it",
        Script { recognised(0),
            running(pass(10, gbk(QStringLiteral("请传送主程序HEX文件...\nBoot\n")),
                { requestLine, "click", "line:Boot" })) });
    row("only whole-line prompts are prompts",
        Script {
            pass(0, "> \n>\n>>>>\n>>>\n", { "line:> ", "prompt:>", "line:>>>>", "prompt:>>>" }) });
    row("prompt with a trailing blank starts no time-out",
        Script { running(pass(0, "> \r\n", { "line:> " })), running(pass(6000)) });
    // The late line is left for the ticks inside the warning box.
    row("silence over 5000 ms after a prompt stops the transfer and warns",
        Script { running(pass(1000, ">>>\n", { "prompt:>>>" })), running(pass(6000)),
            running(pass(6001, "late line\n", { "stop", "warn" }, 10)),
            pass(6011, {}, { "line:late line" }) });
    row("time-out without a transfer: no stop, no warning",
        Script { pass(0, ">\n", { "prompt:>" }), pass(5001, "next\n", { "line:next" }) });
    row("the time-out counts from the latest prompt",
        Script { pass(0, ">\n", { "prompt:>" }), pass(4000, ">>\n", { "prompt:>>" }),
            running(pass(8500)) });
    row("Boot stops the transfer once and forgets the loader",
        Script { recognised(0),
            running(pass(10, "MCU Boot\nBoot again\n" + sep,
                { "line:MCU Boot", "stop", "line:Boot again", sepLine })) });
    row("boot- is not Boot",
        Script { recognised(0),
            pass(10, "boot-\n" + sep, { "line:boot-", sepLine, "cursor", "write:2" }) });
    row("success unchecks and forgets the loader",
        Script { recognised(0),
            pass(10, gbk(QStringLiteral("文件下载成功！\r\n") + QString::fromLatin1(sep)),
                { QStringLiteral("line:文件下载成功！"), "uncheck", sepLine }) });
    row("8192 unterminated bytes are taken at once",
        Script { pass(0, QByteArray(8191, 'a'), {}, 8191),
            pass(0, "b", { QStringLiteral("line:") + QString(8191, 'a') + 'b' }) });
    static const char raw[] = "\0\0x\r\n\r\n\r\n\xd6\xd0\r\ntail";
    const QByteArray messy(raw, int(sizeof raw) - 1);
    row("zeros, carriage returns, empty lines, GBK, unterminated tail",
        Script { pass(0, messy, {}, messy.size()),
            pass(200, {}, { "line:  x", QStringLiteral("line:中"), "line:tail" }) });
    Pass typed = pass(100, sep.mid(20), { sepLine, "cursor", "write:5" });
    typed.type = "5";
    row("type read when the line is answered",
        Script { recognised(0), pass(10, sep.left(20), {}, 20), typed });
}

void tst_Tools::dialogue()
{
    QFETCH(Script, script);
    UpgradeDialogue dialogue;
    QByteArray pending;
    for (int i = 0; i < script.size(); ++i) {
        const Pass& p = script.at(i);
        pending += p.bytes;
        UpgradeDialogue::Inputs in;
        in.transferRunning = p.running;
        in.filePathSet = p.path;
        in.type = p.type;
        in.key = key;
        const QStringList got = describe(dialogue.feed(pending, p.at, in));
        if (got != p.expected)
            qWarning() << "pass" << i << "got" << got << "expected" << p.expected;
        QCOMPARE(got, p.expected);
        QCOMPARE(pending.size(), p.pendingLeft);
    }
}

void tst_Tools::dialogueFlagsFollowTheLoader()
{
    UpgradeDialogue d;
    QByteArray pending;
    const UpgradeDialogue::Inputs in { false, true, "2", key };
    const auto feed = [&](const QByteArray& bytes, qint64 at) {
        pending += bytes;
        d.feed(pending, at, in);
    };
    feed("Copyright (C) 2015 Brenlow\n", 0);
    QVERIFY(d.bannerSeen() && !d.loaderSeen() && !d.waitingForDevice());
    feed("boot-x m4\n", 10);
    QVERIFY(d.bannerSeen() && d.loaderSeen());
    feed(">\n", 20);
    QVERIFY(d.waitingForDevice());
    feed("", 5021); // time-out: everything forgotten
    QVERIFY(!d.bannerSeen() && !d.loaderSeen() && !d.waitingForDevice());
    feed("Copyright (C) 2015 Brenlow\nboot- m4\n>>\n", 6000);
    QVERIFY(d.bannerSeen() && d.loaderSeen() && d.waitingForDevice());
    feed("Boot\n", 6010);
    QVERIFY(!d.bannerSeen() && !d.loaderSeen() && !d.waitingForDevice());
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
