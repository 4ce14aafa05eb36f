#include "serial/core/ansidecoder.h"
#include "serial/core/displaystage.h"
#include "serial/core/rxformat.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

using namespace RxFormat;

namespace {

// One data row: the tag, then the columns in order.
template <typename... T> void row(const char* tag, const T&... values)
{
    (QTest::newRow(tag) << ... << values);
}

QByteArray hexBytes(const char* text) { return QByteArray::fromHex(QByteArray(text)); }

QByteArray zeros(int n) { return QByteArray(n, '\0'); }

// Reference hex rendering, built independently of the lookup table.
QString hexText(const QByteArray& bytes)
{
    const QByteArray hex = bytes.toHex().toUpper();
    QString text;
    for (int i = 0; i < hex.size(); i += 2)
        text += QString::fromLatin1(hex.mid(i, 2)) + QLatin1Char(' ');
    return text;
}

QStringList linesOf(const QString& out)
{
    QStringList lines = out.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// Parses hex lines back into bytes; fails the test on any malformed line.
bool bytesFromHexLines(const QString& text, const QString& prefix, QByteArray& bytes)
{
    for (const QString& line : linesOf(text)) {
        if (!line.startsWith(prefix))
            return false;
        const QString payload = line.mid(prefix.size());
        if (payload.isEmpty() || payload.size() % 3 != 0)
            return false;
        for (int i = 0; i < payload.size(); i += 3) {
            const QChar hi = payload.at(i), lo = payload.at(i + 1);
            const auto isUpperHex
                = [](QChar c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
            if (!isUpperHex(hi) || !isUpperHex(lo) || payload.at(i + 2) != QLatin1Char(' '))
                return false;
        }
        bytes += QByteArray::fromHex(payload.toLatin1());
    }
    return true;
}

// The program's display stage, ticked every 10 ms of a clock of its own; what it drew and what
// it still queues make up the output.
struct StageDriver {
    int mode = NewlineWrap;
    bool hex = false;
    QString delimiterText; // the front field in mode 2, the back field in mode 3
    int frameInterval = 20;
    int maxBytes = INT_MAX; // the slice
    QByteArray codec = defaultCodec();
    bool ansi = true;
    int lines = 0;
    qint64 now = 0;
    QString drawn;
    QString green; // drawn text in green runs
    DisplayStage stage;

    StageDriver()
    {
        stage.setClock([this] { return now; }, [] { return QTime(12, 0); });
        // The stage's clock starts at 0: an idle tick there, as the window's timer would run.
        now = -10;
        tick();
    }
    void apply(const DisplayStage::Steps& steps)
    {
        for (const DisplayStage::Step& step : steps) {
            if (step.kind == DisplayStage::Step::Draw) {
                for (const AnsiDecoder::Span& span : step.spans)
                    if (AnsiDecoder::foreground(span.format) == 2)
                        green += step.text.mid(span.start, span.length);
                drawn += step.text + QLatin1Char('\n');
            } else if (step.kind == DisplayStage::Step::Format)
                lines += step.counted;
        }
    }

    void feed(const QByteArray& bytes) { stage.receive(bytes); }
    void tick()
    {
        now += 10;
        stage.fixSlice(maxBytes);
        DisplayStage::Settings settings;
        settings.wrapMode = RxFormat::WrapMode(mode);
        settings.hex = hex;
        settings.showTime = false;
        settings.frameIntervalMs = frameInterval;
        settings.frontText = settings.backText = delimiterText;
        settings.codec = codec;
        settings.ansiColor = ansi;
        apply(stage.tick(settings).steps);
    }
    QString out() const { return drawn + stage.displayText(); }
    const QByteArray& pending() const { return stage.pendingDisplay(); }
    const QByteArray& recvBuffer() const { return stage.recvBuffer(); }
    QByteArray leftover() const { return pending() + recvBuffer(); }
};
// Deterministic streams for the chunking tests.
QByteArray textStream(quint32 variant, int size)
{
    QRandomGenerator random(variant);
    QByteArray stream;
    while (stream.size() < size) {
        switch (random.bounded(10)) {
        case 0:
            stream += "\r\n";
            break;
        case 1:
            stream += "\n\n";
            break;
        case 2:
            stream += zeros(random.bounded(1, 4));
            break;
        case 3:
            stream += "\xD6\xD0\xCE\xC4"; // GBK text
            break;
        case 4:
            stream += hexBytes("AA 0D 0A");
            break;
        default: {
            const int length = random.bounded(1, 300);
            for (int i = 0; i < length; ++i)
                stream += char('a' + random.bounded(26));
            stream += '\n';
        }
        }
    }
    if (!stream.endsWith('\n'))
        stream += '\n';
    return stream;
}

QByteArray binaryStream(quint32 variant, int size)
{
    QRandomGenerator random(variant);
    QByteArray stream(size, Qt::Uninitialized);
    for (char& c : stream)
        c = char(random.bounded(256));
    stream += '\n';
    return stream;
}

// A long run without newline or delimiter, framed by short lines.
QByteArray unterminatedStream(quint32 variant)
{
    QRandomGenerator random(variant);
    QByteArray stream = "head\n";
    for (int i = 0; i < 20000; ++i)
        stream += char('a' + random.bounded(26));
    stream += "\ntail\n";
    return stream;
}

QByteArray lettersStream(quint32 variant)
{
    QRandomGenerator random(variant);
    QByteArray stream;
    while (stream.size() < 12000) {
        const int length = random.bounded(0, 200);
        for (int i = 0; i < length; ++i)
            stream += "abcdefgh#xyz"[random.bounded(12)];
        stream += '\n';
    }
    stream += QByteArray(9000, 'q'); // past the flush size without a newline or '#'
    stream += '\n';
    return stream;
}

void feedInChunks(StageDriver& stage, const QByteArray& stream, int chunk)
{
    for (int at = 0; at < stream.size(); at += chunk) {
        stage.feed(stream.mid(at, chunk));
        stage.tick();
    }
}

} // namespace

class TestRxFormat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void markers();
    void linePrefix_data();
    void linePrefix();
    void prefixCacheFollowsItsInputs();

    void foldCrLf_data();
    void foldCrLf();
    void formatTextLines_data();
    void formatTextLines();
    void asciiFastPathMatchesCodec();
    void gbkCharacterSplitOverTwoPieces();
    void lineSinkMayEmptyTheOutput();

    void formatHexLine_data();
    void formatHexLine();
    void formatHexLineAllByteValues();

    void delimiterBytes_data();
    void delimiterBytes();
    void delimiterPresent_data();
    void delimiterPresent();
    void gatePasses_data();
    void gatePasses();

    void moveCompleteLines_data();
    void moveCompleteLines();
    void moveCompleteLinesKeepsEveryByte_data();
    void moveCompleteLinesKeepsEveryByte();

    void splitHexFrames_data();
    void splitHexFrames();

    void displayStage_data();
    void displayStage();
    void chunkingKeepsNewlineLines_data();
    void chunkingKeepsNewlineLines();
    void chunkingKeepsEveryHexByte_data();
    void chunkingKeepsEveryHexByte();
    void chunkingKeepsEveryTextByte_data();
    void chunkingKeepsEveryTextByte();
    void invalidBytesShowAsReplacement_data();
    void invalidBytesShowAsReplacement();
    void ansiDecoder_data();
    void ansiDecoder();
    void textThroughTheStage_data();
    void textThroughTheStage();
};

void TestRxFormat::initTestCase()
{
    QVERIFY2(QTextCodec::codecForName("GBK"), "the GBK codec is needed for received text");
}

void TestRxFormat::markers()
{
    QCOMPARE(rxMarker(), QStringLiteral("RX←◆"));
    QCOMPARE(txMarker(), QStringLiteral("TX→◇"));
}

void TestRxFormat::linePrefix_data()
{
    QTest::addColumn<bool>("showTime");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");

    row("rx with time", true, rxMarker(), QTime(12, 0), "[12:00:00.000]RX←◆");
    row("tx with time", true, txMarker(), QTime(9, 5, 7, 42), "[09:05:07.042]TX→◇");
    row("24-hour clock", true, rxMarker(), QTime(23, 59, 59, 999), "[23:59:59.999]RX←◆");
    row("rx without time", false, rxMarker(), QTime(12, 0), "RX←◆");
    row("without time ignores the clock", false, txMarker(), QTime(), "TX→◇");
}

void TestRxFormat::linePrefix()
{
    QFETCH(bool, showTime);
    QFETCH(QString, marker);
    QFETCH(QTime, time);
    QTEST(RxFormat::linePrefix(showTime, marker, time), "expected");
}

void TestRxFormat::prefixCacheFollowsItsInputs()
{
    PrefixCache cache;
    const QTime noon(12, 0);
    QCOMPARE(cache.prefix(true, rxMarker(), noon), QStringLiteral("[12:00:00.000]RX←◆"));
    QCOMPARE(cache.prefix(true, rxMarker(), noon), QStringLiteral("[12:00:00.000]RX←◆"));
    QCOMPARE(
        cache.prefix(true, rxMarker(), noon.addMSecs(1)), QStringLiteral("[12:00:00.001]RX←◆"));
    QCOMPARE(
        cache.prefix(true, txMarker(), noon.addMSecs(1)), QStringLiteral("[12:00:00.001]TX→◇"));
    QCOMPARE(cache.prefix(false, txMarker(), noon.addMSecs(1)), QStringLiteral("TX→◇"));
    QCOMPARE(cache.prefix(false, rxMarker(), noon.addMSecs(2)), QStringLiteral("RX←◆"));
    QCOMPARE(
        cache.prefix(true, rxMarker(), noon.addMSecs(2)), QStringLiteral("[12:00:00.002]RX←◆"));
    // Midnight and an invalid time must not be taken for one another.
    QCOMPARE(cache.prefix(true, rxMarker(), QTime(0, 0)), QStringLiteral("[00:00:00.000]RX←◆"));
    QCOMPARE(
        cache.prefix(true, rxMarker(), QTime()), RxFormat::linePrefix(true, rxMarker(), QTime()));
}

void TestRxFormat::foldCrLf_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    row("empty", QByteArray(), QByteArray());
    row("no CR", QByteArray("a\nb"), QByteArray("a\nb"));
    row("CR LF pairs", QByteArray("A\r\nB\r\n"), QByteArray("A\nB\n"));
    row("bare CR kept", QByteArray("a\rb\r"), QByteArray("a\rb\r"));
    row("LF CR not a pair", QByteArray("a\n\rb"), QByteArray("a\n\rb"));
    row("CR CR LF", QByteArray("a\r\r\nb"), QByteArray("a\r\nb"));
    row("CR LF CR LF", QByteArray("\r\n\r\n"), QByteArray("\n\n"));
    row("zero bytes kept", QByteArray("\0\r\n\0", 4), QByteArray("\0\n\0", 3));
    row("bare CR after a pair", QByteArray("A\r\nB\rC\r"), QByteArray("A\nB\rC\r"));
    row("final CR alone", QByteArray("ab\r"), QByteArray("ab\r"));
}

void TestRxFormat::foldCrLf()
{
    QFETCH(QByteArray, bytes);
    QTEST(RxFormat::foldCrLf(bytes), "expected");
}

void TestRxFormat::formatTextLines_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("lines");

    const QString rx = rxMarker();
    const QChar nul(0);
    const QChar bad(QChar::ReplacementCharacter);

    row("empty", QByteArray(), QString(), 0);
    row("CR LF lines", QByteArray("A\r\nB\r\n"), rx + "A\n" + rx + "B\n", 2);
    row("blank lines skipped", QByteArray("\n\n\nA\n"), rx + "A\n", 1);
    row("only newlines", QByteArray("\n\n"), QString(), 0);
    row("piece after last newline shown", QByteArray("A\nB"), rx + "A\n" + rx + "B\n", 2);
    row("leading zeros become blanks", QByteArray("\0\0AB\n", 5), rx + "  AB\n", 1);
    row("later zeros stay", QByteArray("A\0B\0\n", 5), rx + "A" + nul + "B" + nul + "\n", 1);
    row("zeros after a blank stay", QByteArray(" \0A\n", 4), rx + " " + nul + "A\n", 1);
    row("only zeros", QByteArray("\0\0\0\n", 4), rx + "   \n", 1);
    row("zero rule per line", QByteArray("\0a\n\0b\n", 6), rx + " a\n" + rx + " b\n", 2);
    row("bare CR kept", QByteArray("a\rb\n"), rx + "a\rb\n", 1);
    row("CR CR LF keeps one CR", QByteArray("a\r\r\nb"), rx + "a\r\n" + rx + "b\n", 2);
    row("GBK text", QByteArray("\xD6\xD0\xCE\xC4\n"), rx + "中文\n", 1);
    row("GBK without newline", QByteArray("abc\xD6\xD0"), rx + "abc中\n", 1);
    row("GBK after leading zeros", QByteArray("\0\0\xD6\xD0\n", 5), rx + "  中\n", 1);
    row("GBK and ASCII lines", QByteArray("ok\r\n\xCE\xC4\xBC\xFE\r\nend\r\n"),
        rx + "ok\n" + rx + "文件\n" + rx + "end\n", 3);
    row("unpaired lead byte before newline", QByteArray("a\xD6\nb\n"),
        rx + "a" + bad + "\n" + rx + "b\n", 2);
    row("unpaired lead byte at the end", QByteArray("a\xD6"), rx + "a" + bad + "\n", 1);
}

void TestRxFormat::formatTextLines()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, expected);
    QFETCH(int, lines);

    QString out = QStringLiteral("kept\n");
    int calls = 0;
    const int count = RxFormat::formatTextLines(RxFormat::foldCrLf(received), rxMarker(), out, [&] {
        ++calls;
        QVERIFY(out.endsWith(QLatin1Char('\n')));
    });
    QCOMPARE(out, QStringLiteral("kept\n") + expected);
    QCOMPARE(count, lines);
    QCOMPARE(calls, lines);
}

void TestRxFormat::asciiFastPathMatchesCodec()
{
    QTextCodec* codec = QTextCodec::codecForName("GBK");
    QByteArray line;
    for (int c = 1; c < 128; ++c) {
        if (c != '\n')
            line += char(c);
    }
    line += QByteArray("\0x\0", 3);
    QString out;
    RxFormat::formatTextLines(line, QString(), out);
    QCOMPARE(out, codec->toUnicode(line) + QLatin1Char('\n'));
}

void TestRxFormat::gbkCharacterSplitOverTwoPieces()
{
    // After a frame-time cut or a flush, each piece is decoded on its own, without codec state:
    // the lead byte left at the end of the first piece shows as a replacement character, and the
    // trail byte starting the second is read afresh (here it pairs with the next lead byte).
    const QByteArray whole("ab\xD6\xD0\xCE\xC4"); // "ab中文"
    const QByteArray first = whole.left(3), second = whole.mid(3);
    const QChar bad(QChar::ReplacementCharacter);

    QString firstOut, secondOut;
    RxFormat::formatTextLines(first, QString(), firstOut);
    RxFormat::formatTextLines(second, QString(), secondOut);
    QCOMPARE(firstOut, QStringLiteral("ab") + bad + QLatin1Char('\n'));
    QVERIFY(!secondOut.contains(QStringLiteral("中")));
    QVERIFY(!secondOut.contains(QStringLiteral("文")));

    QString wholeOut;
    RxFormat::formatTextLines(whole, QString(), wholeOut);
    QCOMPARE(wholeOut, QStringLiteral("ab中文\n"));
}

void TestRxFormat::lineSinkMayEmptyTheOutput()
{
    // The line limit clears the view from inside the callback: lines after it start afresh.
    QString out;
    int lines = 0;
    const auto clearAtTwo = [&] {
        if (++lines == 2)
            out.clear();
    };
    RxFormat::formatTextLines("a\nb\nc\n", QStringLiteral(">"), out, clearAtTwo);
    QCOMPARE(out, QStringLiteral(">c\n"));

    out.clear();
    lines = 0;
    const QByteArray rest = RxFormat::splitHexFrames(
        hexBytes("01 0A 02 0A 03 0A"), NewlineWrap, {}, {}, QStringLiteral(">"), out, clearAtTwo);
    QVERIFY(rest.isEmpty());
    QCOMPARE(out, QStringLiteral(">03 0A \n"));
}

void TestRxFormat::formatHexLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("showTime");
    QTest::addColumn<QString>("expected");

    row("with time", hexBytes("41 0D 0A"), true, "[12:00:00.000]RX←◆41 0D 0A \n");
    row("without time", hexBytes("41 0D 0A"), false, "RX←◆41 0D 0A \n");
    row("upper-case digits", hexBytes("ab cd ef"), false, "RX←◆AB CD EF \n");
    row("extreme values", hexBytes("00 7F 80 FF"), false, "RX←◆00 7F 80 FF \n");
    row("one byte", hexBytes("0A"), false, "RX←◆0A \n");
    row("empty gives nothing", QByteArray(), true, QString());
}

void TestRxFormat::formatHexLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, showTime);
    QFETCH(QString, expected);

    QString out;
    int calls = 0;
    RxFormat::formatHexLine(
        bytes, RxFormat::linePrefix(showTime, rxMarker(), QTime(12, 0)), out, [&] { ++calls; });
    QCOMPARE(out, expected);
    QCOMPARE(calls, expected.isEmpty() ? 0 : 1);
}

void TestRxFormat::formatHexLineAllByteValues()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    QString out = QStringLiteral("before\n");
    RxFormat::formatHexLine(all, QStringLiteral("p"), out);
    QCOMPARE(out, QStringLiteral("before\np") + hexText(all) + QLatin1Char('\n'));
}

void TestRxFormat::delimiterBytes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("expected");

    row("CR LF", "0D 0A", QByteArray("\r\n"));
    row("lower case without blanks", "0d0a", QByteArray("\r\n"));
    row("mask blanks of an empty field", "         ", QByteArray());
    row("empty", QString(), QByteArray());
    row("one byte with trailing blanks", "AA       ", QByteArray("\xAA"));
    row("ten bytes", "01 02 03 04 05 06 07 08 09 0A", hexBytes("01 02 03 04 05 06 07 08 09 0A"));
    row("single digit is a byte", "A", QByteArray("\n"));
}

void TestRxFormat::delimiterBytes()
{
    QFETCH(QString, typed);
    QTEST(RxFormat::delimiterBytes(typed), "expected");
}

void TestRxFormat::delimiterPresent_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("expected");

    row("empty pattern", QByteArray("\r\n"), QString(), false);
    row("blank pattern", QByteArray("\r\n"), "   ", false);
    row("empty bytes", QByteArray(), "0D 0A", false);
    row("upper-case typed CR LF", hexBytes("01 0D 0A 02"), "0D 0A", true);
    row("lower-case typed", hexBytes("01 0D 0A"), "0d 0a", true);
    row("absent", hexBytes("01 02 03"), "0D 0A", false);
    row("match starts mid-byte", hexBytes("0D 0A"), "d0", true);
    row("mid-byte across bytes", hexBytes("1A A1"), "AA", true);
    row("pattern longer than data", hexBytes("0D"), "0D 0A", false);
    row("single digit", hexBytes("A0"), "a", true);
    row("mask blanks around", hexBytes("AA"), " AA        ", true);
    row("non-hex pattern", hexBytes("AA"), "zz", false);
}

void TestRxFormat::delimiterPresent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QTEST(RxFormat::delimiterPresent(bytes, typed), "expected");
}

void TestRxFormat::gatePasses_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("expected");

    const QByteArray below(NewlineFlushBytes - 1, 'x');
    const QByteArray at(NewlineFlushBytes, 'x');

    row("newline: empty waits", 0, QByteArray(), 0ll, 10, false, false);
    row("newline: ends with newline", 0, QByteArray("a\n"), 0ll, 10, false, true);
    row("newline: newline inside only", 0, QByteArray("a\nb"), 0ll, 10, false, false);
    row("newline: ends with CR waits", 0, QByteArray("a\r"), 0ll, 10, false, false);
    row("newline: 10 bytes wait", 0, QByteArray(10, 'x'), 0ll, 10, false, false);
    row("newline: 8191 wait", 0, below, 0ll, 10, false, false);
    row("newline: 8192 flush", 0, at, 0ll, 10, false, true);
    row("newline: found is no concern", 0, QByteArray("ab"), 99ll, 10, true, false);

    row("frame: before the interval", 1, QByteArray("a"), 9ll, 10, false, false);
    row("frame: at the interval", 1, QByteArray("a"), 10ll, 10, false, true);
    row("frame: after the interval", 1, QByteArray("a"), 11ll, 10, false, true);
    row("frame: empty pending passes", 1, QByteArray(), 10ll, 10, false, true);
    row("frame: size is no concern", 1, at, 0ll, 10, false, false);

    for (int mode : { 2, 3 }) {
        const QByteArray name = mode == 2 ? "front: " : "back: ";
        row((name + "delimiter found").constData(), mode, QByteArray("a"), 0ll, 10, true, true);
        row((name + "not found waits").constData(), mode, QByteArray("a\n"), 99ll, 10, false,
            false);
        row((name + "empty waits").constData(), mode, QByteArray(), 99ll, 10, false, false);
        row((name + "8191 wait").constData(), mode, below, 0ll, 10, false, false);
        row((name + "8192 bound").constData(), mode, at, 0ll, 10, false, true);
    }

    row("other mode passes", 4, QByteArray(), 0ll, 10, false, true);
    row("negative mode passes", -1, QByteArray("a"), 0ll, 10, false, true);
}

void TestRxFormat::gatePasses()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, pending);
    QFETCH(qint64, elapsed);
    QFETCH(int, interval);
    QFETCH(bool, found);
    QTEST(RxFormat::gatePasses(RxFormat::WrapMode(mode), pending, elapsed, interval, found),
        "expected");
}

void TestRxFormat::moveCompleteLines_data()
{
    QTest::addColumn<QByteArray>("recv");
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("expectedRecv");
    QTest::addColumn<QByteArray>("expectedPending");

    const int none = INT_MAX;
    row("empty buffer", QByteArray(), QByteArray("p"), none, QByteArray(), QByteArray("p"));
    row("no newline: all moves", QByteArray("abc"), QByteArray(), none, QByteArray(),
        QByteArray("abc"));
    row("appends to pending", QByteArray("abc"), QByteArray("xy"), none, QByteArray(),
        QByteArray("xyabc"));
    row("ends with newline", QByteArray("a\nb\n"), QByteArray(), none, QByteArray(),
        QByteArray("a\nb\n"));
    row("tail waits", QByteArray("a\nb\nc"), QByteArray(), none, QByteArray("c"),
        QByteArray("a\nb\n"));
    row("lone newline", QByteArray("\n"), QByteArray(), none, QByteArray(), QByteArray("\n"));
    row("slice: first line only", QByteArray("aa\nbb\ncc\n"), QByteArray(), 4,
        QByteArray("bb\ncc\n"), QByteArray("aa\n"));
    row("slice: last newline within", QByteArray("a\nb\ncccc\n"), QByteArray(), 5,
        QByteArray("cccc\n"), QByteArray("a\nb\n"));
    row("slice: newline on the last byte allowed", QByteArray("abc\ndef\n"), QByteArray(), 4,
        QByteArray("def\n"), QByteArray("abc\n"));
    row("slice: newline one past the limit moves the slice", QByteArray("abcd\nef\n"), QByteArray(),
        4, QByteArray("\nef\n"), QByteArray("abcd"));
    row("slice: newline past the limit", QByteArray("abcd\nef"), QByteArray(), 4,
        QByteArray("\nef"), QByteArray("abcd"));
    row("slice: buffer not longer than the limit", QByteArray("ab\ncd\n"), QByteArray(), 6,
        QByteArray(), QByteArray("ab\ncd\n"));
    row("slice: no newline at all", QByteArray("abcdefgh"), QByteArray(), 4, QByteArray("efgh"),
        QByteArray("abcd"));
    row("slice: tail waits", QByteArray("ab\ncdefg"), QByteArray("p"), 4, QByteArray("cdefg"),
        QByteArray("pab\n"));
    row("zero limit is no limit", QByteArray("a\nb\n"), QByteArray(), 0, QByteArray(),
        QByteArray("a\nb\n"));
}

void TestRxFormat::moveCompleteLines()
{
    QFETCH(QByteArray, recv);
    QFETCH(QByteArray, pending);
    QFETCH(int, maxBytes);

    RxFormat::moveCompleteLines(recv, pending, maxBytes);
    QTEST(recv, "expectedRecv");
    QTEST(pending, "expectedPending");
}

void TestRxFormat::moveCompleteLinesKeepsEveryByte_data()
{
    QTest::addColumn<int>("maxBytes");
    row("no limit", INT_MAX);
    row("limit 1", 1);
    row("limit 3", 3);
    row("limit 16", 16);
    row("limit 100", 100);
}

void TestRxFormat::moveCompleteLinesKeepsEveryByte()
{
    QFETCH(int, maxBytes);
    QRandomGenerator random { quint32(maxBytes) };
    QByteArray fed, taken, recv, pending;
    for (int round = 0; round < 3000; ++round) {
        QByteArray chunk;
        const int length = random.bounded(0, 40);
        for (int i = 0; i < length; ++i)
            chunk += random.bounded(6) == 0 ? '\n' : char('a' + random.bounded(26));
        recv += chunk;
        fed += chunk;

        const QByteArray before = recv;
        const int pendingBefore = pending.size();
        RxFormat::moveCompleteLines(recv, pending, maxBytes);
        const QByteArray moved = pending.mid(pendingBefore);

        QCOMPARE(moved + recv, before);
        if (before.size() > maxBytes) {
            QVERIFY(moved.size() <= maxBytes && !moved.isEmpty());
            QCOMPARE(moved.endsWith('\n'), before.left(maxBytes).contains('\n'));
        } else if (!before.contains('\n')) {
            QVERIFY(recv.isEmpty());
        } else {
            QVERIFY(moved.endsWith('\n') && !recv.contains('\n'));
        }
        if (random.bounded(3) == 0) {
            taken += pending;
            pending.clear();
        }
        QCOMPARE(taken + pending + recv, fed);
    }
}

void TestRxFormat::splitHexFrames_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("delimiter");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("remainder");

    const QByteArray none;
    const QByteArray keepTail(NewlineFlushBytes - 1, 'x');
    const QByteArray lineTail(NewlineFlushBytes, 'x');
    const QByteArray crlf = hexBytes("0D 0A");
    const QByteArray aa = hexBytes("AA");

    // Newline wrap.
    row("newline: two lines", hexBytes("01 0A 02 0A"), 0, none, QStringList { "01 0A ", "02 0A " },
        none);
    row("newline: short tail put back", hexBytes("01 0A 02 03"), 0, none, QStringList { "01 0A " },
        hexBytes("02 03"));
    row("newline: only newlines", hexBytes("0A 0A"), 0, none, QStringList { "0A ", "0A " }, none);
    row("newline: 8191 tail put back", keepTail, 0, none, QStringList(), keepTail);
    row("newline: 8192 tail shown", lineTail, 0, none, QStringList { hexText(lineTail) }, none);
    row("newline: a long run is cut into lines, the rest waits", lineTail + lineTail + "ab", 0,
        none, QStringList { hexText(lineTail), hexText(lineTail) }, QByteArray("ab"));
    row("newline: line then 8191 tail", QByteArray("a\n") + keepTail, 0, none,
        QStringList { "61 0A " }, keepTail);
    row("newline: line then 8192 tail", QByteArray("a\n") + lineTail, 0, none,
        QStringList { "61 0A ", hexText(lineTail) }, none);
    row("newline: delimiters ignored", hexBytes("AA 01 0A"), 0, aa, QStringList { "AA 01 0A " },
        none);

    // Frame-time wrap.
    row("frame: all in one line", hexBytes("01 0A 02"), 1, none, QStringList { "01 0A 02 " }, none);
    row("frame: long data cut into lines", lineTail + "ab", 1, none,
        QStringList { hexText(lineTail), "61 62 " }, none);

    // Back-delimiter wrap.
    row("back: CR LF keeps 03", hexBytes("01 02 0D 0A 03"), 3, crlf, QStringList { "01 02 0D 0A " },
        hexBytes("03"));
    row("back: frames", hexBytes("AA 01 BB AA 02 BB"), 3, hexBytes("BB"),
        QStringList { "AA 01 BB ", "AA 02 BB " }, none);
    row("back: tail ending with newline shown", hexBytes("01 BB 02 0A"), 3, hexBytes("BB"),
        QStringList { "01 BB ", "02 0A " }, none);
    row("back: no delimiter, newline at the end", hexBytes("01 0A"), 3, hexBytes("BB"),
        QStringList { "01 0A " }, none);
    row("back: partial delimiter put back", hexBytes("01 0D 0A 02 0D"), 3, crlf,
        QStringList { "01 0D 0A " }, hexBytes("02 0D"));
    row("back: delimiter longer than data", hexBytes("0D"), 3, crlf, QStringList(), hexBytes("0D"));
    row("back: 8191 tail put back", crlf + keepTail, 3, crlf, QStringList { "0D 0A " }, keepTail);
    row("back: 8192 tail shown", crlf + lineTail, 3, crlf,
        QStringList { "0D 0A ", hexText(lineTail) }, none);
    row("back: empty delimiter, short", hexBytes("01 02"), 3, none, QStringList(),
        hexBytes("01 02"));
    row("back: empty delimiter, 8191", keepTail, 3, none, QStringList(), keepTail);
    row("back: empty delimiter, 8192", lineTail, 3, none, QStringList { hexText(lineTail) }, none);
    row("back: empty delimiter, newline at the end", hexBytes("01 0A 02 0A"), 3, none,
        QStringList { "01 0A 02 0A " }, none);

    // Front-delimiter wrap.
    row("front: AA 02 goes back", hexBytes("AA 01 AA 02"), 2, aa, QStringList { "AA 01 " },
        hexBytes("AA 02"));
    row("front: bytes before the first", hexBytes("01 02 AA 03 AA 04"), 2, aa,
        QStringList { "01 02 ", "AA 03 " }, hexBytes("AA 04"));
    row("front: delimiter alone", aa, 2, aa, QStringList(), aa);
    row("front: adjacent delimiters", hexBytes("AA AA 01"), 2, aa, QStringList { "AA " },
        hexBytes("AA 01"));
    row("front: two-byte delimiter", hexBytes("55 AA 01 55 AA 02"), 2, hexBytes("55 AA"),
        QStringList { "55 AA 01 " }, hexBytes("55 AA 02"));
    row("front: overlapping occurrences count once", hexBytes("AA AA AA 01"), 2, hexBytes("AA AA"),
        QStringList(), hexBytes("AA AA AA 01"));
    row("front: last frame ending with newline shown", hexBytes("AA 01 AA 02 0A"), 2, aa,
        QStringList { "AA 01 ", "AA 02 0A " }, none);
    row("front: no delimiter, short", hexBytes("01 02"), 2, aa, QStringList(), hexBytes("01 02"));
    row("front: no delimiter, newline at the end", hexBytes("01 0A"), 2, aa,
        QStringList { "01 0A " }, none);
    row("front: no delimiter, 8192", lineTail, 2, aa, QStringList { hexText(lineTail) }, none);
    row("front: 8191 frame put back", hexBytes("01 AA") + QByteArray(NewlineFlushBytes - 2, 'x'), 2,
        aa, QStringList { "01 " }, hexBytes("AA") + QByteArray(NewlineFlushBytes - 2, 'x'));
    row("front: 8192 frame shown", hexBytes("01 AA") + keepTail, 2, aa,
        QStringList { "01 ", hexText(hexBytes("AA") + keepTail) }, none);
    row("front: empty delimiter, short", hexBytes("AA 01"), 2, none, QStringList(),
        hexBytes("AA 01"));
    row("front: empty delimiter, 8192", lineTail, 2, none, QStringList { hexText(lineTail) }, none);
    row("front: empty delimiter, newline at the end", hexBytes("01 0A"), 2, none,
        QStringList { "01 0A " }, none);

    // Anything else.
    row("other mode formats nothing", hexBytes("01 0A"), 4, aa, QStringList(), none);
    row("empty data", QByteArray(), 0, none, QStringList(), none);
}

void TestRxFormat::splitHexFrames()
{
    QFETCH(QByteArray, data);
    QFETCH(int, mode);
    QFETCH(QByteArray, delimiter);
    QFETCH(QStringList, lines);

    // The delimiter of the other kind must not matter.
    const QByteArray front = mode == FrontDelimiterWrap ? delimiter : hexBytes("0A");
    const QByteArray back = mode == FrontDelimiterWrap ? hexBytes("0A") : delimiter;

    QString out;
    int calls = 0;
    const QString prefix = QStringLiteral("[12:00:00.000]RX←◆");
    const QByteArray rest = RxFormat::splitHexFrames(
        data, RxFormat::WrapMode(mode), front, back, prefix, out, [&] { ++calls; });

    QStringList expected;
    for (const QString& line : lines)
        expected << prefix + line;
    QCOMPARE(linesOf(out), expected);
    QVERIFY(out.isEmpty() || out.endsWith(QLatin1Char('\n')));
    QCOMPARE(calls, lines.size());
    QTEST(rest, "remainder");
}

void TestRxFormat::displayStage_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QByteArrayList>("ticks"); // bytes received before each tick
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("leftover");

    const QString rx = rxMarker();
    const QByteArray below(NewlineFlushBytes - 1, 'x');
    const QByteArray at(NewlineFlushBytes, 'x');
    const QByteArray binaryAt(NewlineFlushBytes, '\x01');

    row("newline text: CR LF lines", 0, false, QString(), QByteArrayList { "A\r\nB\r\n" },
        rx + "A\n" + rx + "B\n", QByteArray());
    row("newline text: blank lines", 0, false, QString(), QByteArrayList { "\n\n\nA\n" },
        rx + "A\n", QByteArray());
    row("newline text: 10 bytes wait", 0, false, QString(), QByteArrayList { "0123456789", {}, {} },
        QString(), QByteArray("0123456789"));
    row("newline text: line completed later", 0, false, QString(),
        QByteArrayList { "abc", "def\nxy" }, rx + "abcdef\n", QByteArray("xy"));
    row("newline text: 8191 wait", 0, false, QString(), QByteArrayList { below }, QString(), below);
    row("newline text: 8192 flushed", 0, false, QString(), QByteArrayList { at }, rx + at + "\n",
        QByteArray());
    row("newline text: a run is cut at 8192, the rest waits", 0, false, QString(),
        QByteArrayList { below, "xy" }, rx + at + "\n", QByteArray("y"));
    row("newline hex: tail waits", 0, true, QString(), QByteArrayList { hexBytes("01 0A 02") },
        rx + "01 0A \n", hexBytes("02"));
    row("newline hex: 8192 flushed", 0, true, QString(), QByteArrayList { binaryAt },
        rx + hexText(binaryAt) + "\n", QByteArray());

    row("frame text: shown after the interval", 1, false, QString(),
        QByteArrayList { "ab", {}, {} }, rx + "ab\n", QByteArray());
    row("frame text: waits within the interval", 1, false, QString(), QByteArrayList { "ab" },
        QString(), QByteArray("ab"));
    row("frame text: several lines at once", 1, false, QString(), QByteArrayList { "a\nb", "\nc" },
        rx + "a\n" + rx + "b\n", QByteArray("c"));
    row("frame text: tail shown one interval later", 1, false, QString(),
        QByteArrayList { "a\nb", "\nc", {}, {} }, rx + "a\n" + rx + "b\n" + rx + "c\n",
        QByteArray());
    row("frame hex: ticks joined", 1, true, QString(),
        QByteArrayList { hexBytes("01"), hexBytes("0A 02") }, rx + "01 0A \n", hexBytes("02"));

    row("front hex: AA 02 waits", 2, true, "AA", QByteArrayList { hexBytes("AA 01 AA 02") },
        rx + "AA 01 \n", hexBytes("AA 02"));
    row("front hex: next frame completes it", 2, true, "AA",
        QByteArrayList { hexBytes("AA 01 AA 02"), hexBytes("AA 03") },
        rx + "AA 01 \n" + rx + "AA 02 \n", hexBytes("AA 03"));
    row("front text: shown whole", 2, false, "23", QByteArrayList { "#a#b" }, rx + "#a#b\n",
        QByteArray());
    row("front hex: missing delimiter waits", 2, true, "AA", QByteArrayList { below }, QString(),
        below);
    row("front hex: 8192 without delimiter shown", 2, true, "AA", QByteArrayList { binaryAt },
        rx + hexText(binaryAt) + "\n", QByteArray());
    row("front hex: empty delimiter, 8192 shown", 2, true, QString(), QByteArrayList { binaryAt },
        rx + hexText(binaryAt) + "\n", QByteArray());

    row("back hex: CR LF keeps 03", 3, true, "0D 0A", QByteArrayList { hexBytes("01 02 0D 0A 03") },
        rx + "01 02 0D 0A \n", hexBytes("03"));
    row("back text: tail waits", 3, false, "0D 0A", QByteArrayList { "ab\r\ncd" }, rx + "ab\n",
        QByteArray("cd"));
    row("back hex: missing delimiter waits", 3, true, "0D 0A",
        QByteArrayList { hexBytes("01 02 03"), {} }, QString(), hexBytes("01 02 03"));
    row("back hex: 8191 without delimiter waits", 3, true, "0D 0A", QByteArrayList { below },
        QString(), below);
    row("back hex: 8192 without delimiter shown", 3, true, "0D 0A", QByteArrayList { binaryAt },
        rx + hexText(binaryAt) + "\n", QByteArray());
    row("back hex: empty delimiter waits", 3, true, QString(),
        QByteArrayList { hexBytes("01 02"), {} }, QString(), hexBytes("01 02"));
    row("back hex: mid-byte match cuts nothing", 3, true, "D0",
        QByteArrayList { hexBytes("01 0D 02"), {} }, QString(), hexBytes("01 0D 02"));
}

void TestRxFormat::displayStage()
{
    QFETCH(int, mode);
    QFETCH(bool, hex);
    QFETCH(QString, delimiter);
    QFETCH(QByteArrayList, ticks);
    QFETCH(QString, expected);
    QFETCH(QByteArray, leftover);

    StageDriver stage;
    stage.mode = mode;
    stage.hex = hex;
    stage.delimiterText = delimiter;
    for (const QByteArray& bytes : ticks) {
        stage.feed(bytes);
        stage.tick();
    }
    QCOMPARE(stage.out(), expected);
    QCOMPARE(stage.lines, linesOf(expected).size());
    QCOMPARE(stage.leftover(), leftover);
}

void TestRxFormat::chunkingKeepsNewlineLines_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("maxBytes");

    for (bool hex : { false, true }) {
        for (int chunk : { 1, 7, 4096 }) {
            for (int maxBytes : { INT_MAX, 512 }) {
                const QByteArray name = QByteArray(hex ? "hex" : "text") + ", chunks of "
                    + QByteArray::number(chunk) + (maxBytes == INT_MAX ? ", whole" : ", sliced");
                row(name.constData(), hex, chunk, maxBytes);
            }
        }
    }
}

void TestRxFormat::chunkingKeepsNewlineLines()
{
    QFETCH(bool, hex);
    QFETCH(int, chunk);
    QFETCH(int, maxBytes);

    const QByteArray stream = textStream(7, 30000);
    StageDriver whole;
    whole.hex = hex;
    whole.feed(stream);
    whole.tick();
    QVERIFY(whole.leftover().isEmpty());
    QVERIFY(whole.lines > 100);

    StageDriver chunked;
    chunked.hex = hex;
    chunked.maxBytes = maxBytes;
    feedInChunks(chunked, stream, chunk);
    for (int i = 0; i < 1000 && !chunked.leftover().isEmpty(); ++i)
        chunked.tick(); // a sliced stage needs a few more ticks to catch up
    QVERIFY(chunked.leftover().isEmpty());
    QCOMPARE(chunked.lines, whole.lines);
    QCOMPARE(chunked.out(), whole.out());
}

void TestRxFormat::chunkingKeepsEveryHexByte_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("maxBytes");

    const QList<QPair<QByteArray, QByteArray>> streams {
        { "lines", textStream(11, 12000) },
        { "binary", binaryStream(12, 12000) },
        { "unterminated", unterminatedStream(13) },
    };
    const char* modeNames[] = { "newline", "frame", "front", "back" };
    for (int mode = 0; mode < 4; ++mode) {
        const QString delimiter = mode == 2 ? "AA" : mode == 3 ? "0D 0A" : QString();
        for (const auto& stream : streams) {
            for (int chunk : { 1, 7, 4096 }) {
                for (int maxBytes : { INT_MAX, 300 }) {
                    const QByteArray name = QByteArray(modeNames[mode]) + ", " + stream.first
                        + ", chunks of " + QByteArray::number(chunk)
                        + (maxBytes == INT_MAX ? "" : ", sliced");
                    row(name.constData(), mode, delimiter, stream.second, chunk, maxBytes);
                }
            }
        }
    }
}

void TestRxFormat::chunkingKeepsEveryHexByte()
{
    QFETCH(int, mode);
    QFETCH(QString, delimiter);
    QFETCH(QByteArray, stream);
    QFETCH(int, chunk);
    QFETCH(int, maxBytes);

    StageDriver stage;
    stage.mode = mode;
    stage.hex = true;
    stage.delimiterText = delimiter;
    stage.maxBytes = maxBytes;

    QByteArray fed, shown;
    int parsedUpTo = 0;
    int round = 0;
    // Every byte shown so far must be the start of the stream, in order; the rest still waits.
    const auto check = [&](bool full) {
        QByteArray fresh;
        QVERIFY(bytesFromHexLines(stage.out().mid(parsedUpTo), rxMarker(), fresh));
        parsedUpTo = stage.out().size();
        QCOMPARE(fresh, fed.mid(shown.size(), fresh.size()));
        shown += fresh;
        QCOMPARE(shown.size() + stage.pending().size() + stage.recvBuffer().size(), fed.size());
        if (full)
            QCOMPARE(stage.leftover(), fed.mid(shown.size()));
        // Without a delimiter, pending stays below the flush size; a stage that takes whole
        // lines also keeps little more than an unfinished line in its receive buffer.
        if (mode != FrameTimeWrap)
            QVERIFY(stage.pending().size() < NewlineFlushBytes);
        if (maxBytes == INT_MAX)
            QVERIFY(stage.recvBuffer().size() <= NewlineFlushBytes + 2 * chunk);
    };
    for (int at = 0; at < stream.size(); at += chunk) {
        stage.feed(stream.mid(at, chunk));
        fed += stream.mid(at, chunk);
        stage.tick();
        check(++round % 64 == 0);
        if (QTest::currentTestFailed())
            return;
    }
    for (int i = 0; i < 100; ++i)
        stage.tick();
    check(true);
    QCOMPARE(fed, stream);

    // Newline and frame-time wrap show everything of a stream that ends with a newline.
    if (mode == NewlineWrap || mode == FrameTimeWrap)
        QCOMPARE(shown, stream);
}

void TestRxFormat::chunkingKeepsEveryTextByte_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("chunk");

    const char* modeNames[] = { "newline", "frame", "front", "back" };
    for (int mode = 0; mode < 4; ++mode) {
        for (int chunk : { 1, 7, 4096 }) {
            const QByteArray name
                = QByteArray(modeNames[mode]) + ", chunks of " + QByteArray::number(chunk);
            row(name.constData(), mode, chunk);
        }
    }
}

void TestRxFormat::chunkingKeepsEveryTextByte()
{
    QFETCH(int, mode);
    QFETCH(int, chunk);

    // Letters, '#' as the delimiter and newlines only: the shown text is then the stream
    // without its newlines, whatever the cuts.
    const QByteArray stream = lettersStream(quint32(mode * 10 + chunk));
    StageDriver stage;
    stage.mode = mode;
    stage.delimiterText = QStringLiteral("23");
    feedInChunks(stage, stream, chunk);
    for (int i = 0; i < 100; ++i)
        stage.tick();

    QString shown;
    for (const QString& line : linesOf(stage.out())) {
        QVERIFY(line.startsWith(rxMarker()));
        QVERIFY(line.size() > rxMarker().size());
        shown += line.mid(rxMarker().size());
    }
    QByteArray rest = stage.leftover();
    QByteArray expected = stream;
    QCOMPARE(
        shown.toLatin1() + rest.replace('\n', QByteArray()), expected.replace('\n', QByteArray()));
    if (mode == NewlineWrap || mode == FrameTimeWrap)
        QVERIFY(stage.leftover().isEmpty());
}

void TestRxFormat::invalidBytesShowAsReplacement_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("view");
    const QChar bad = QChar::ReplacementCharacter;
    // Invalid, cut by a line end, a byte order mark (a character here), cut by the close.
    row("UTF-8", QByteArray("UTF-8"), QByteArray("a\xff\n\xef\xbb\xbfx\xe6\xb8\nb\xe6"),
        QString("a%1\n%2x%1%1\nb%1").arg(bad).arg(QChar(0xfeff)));
    row("GBK", QByteArray("GBK"), QByteArray("a\x81\nb\x81"), QString("a%1\nb%1").arg(bad));
    row("Latin-1", QByteArray("ISO-8859-1"),
        QByteArray("\xb0"
                   "C \xff\x81\n"),
        QString::fromUtf8("°C ÿ\xc2\x81"));
    row("not offered: GBK", QByteArray("Shift_JIS"), QByteArray("\xce\xc2\n"),
        QString::fromUtf8("温"));
}

void TestRxFormat::invalidBytesShowAsReplacement()
{
    QFETCH(QByteArray, codec);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, view);
    // Newline and frame wrap; the port closes after the bytes, so what waits is shown too.
    for (int mode : { int(NewlineWrap), int(FrameTimeWrap) }) {
        StageDriver stage;
        stage.mode = mode;
        stage.codec = codec;
        stage.feed(bytes);
        stage.stage.portClosed();
        for (int i = 0; i < 10; ++i)
            stage.tick();
        QCOMPARE(linesOf(stage.out()).join('\n').remove(rxMarker()), view);
    }
}

// Spans as text, neighbours of one format joined: the same runs however the input was split.
static QString describeSpans(const QVector<AnsiDecoder::Span>& spans)
{
    QVector<AnsiDecoder::Span> joined;
    for (const AnsiDecoder::Span& span : spans) {
        if (!joined.isEmpty() && joined.last().format == span.format
            && joined.last().start + joined.last().length == span.start)
            joined.last().length += span.length;
        else
            joined.append(span);
    }
    QStringList out;
    for (const AnsiDecoder::Span& span : joined) {
        QString text = QString("%1+%2").arg(span.start).arg(span.length);
        if (AnsiDecoder::foreground(span.format) >= 0)
            text += QString(" fg%1").arg(AnsiDecoder::foreground(span.format));
        if (AnsiDecoder::background(span.format) >= 0)
            text += QString(" bg%1").arg(AnsiDecoder::background(span.format));
        if (AnsiDecoder::bold(span.format))
            text += " bold";
        out += text;
    }
    return out.join("; ");
}

void TestRxFormat::ansiDecoder_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("clean");
    QTest::addColumn<QString>("spans");
    row("ESP-IDF log line", "\x1b[0;32mI (31) boot: ready\x1b[0m", "I (31) boot: ready",
        "0+18 fg2");
    row("bold, bright, partial resets", "a\x1b[1;91mb\x1b[22mc\x1b[39md", "abcd",
        "1+1 fg9 bold; 2+1 fg9");
    row("256 colours", "\x1b[38;5;208mx\x1b[m", "x", "0+1 fg208");
    row("true colour mapped", "\x1b[38;2;255;0;0mx", "x", "0+1 fg196");
    row("background", "\x1b[44mx\x1b[49my", "xy", "0+1 bg4");
    row("OSC ended by BEL",
        "a\x1b]0;title\x07"
        "b",
        "ab", "");
    row("OSC ended by ST", "a\x1b]8;;http://x\x1b\\b", "ab", "");
    row("lone pairs", "a\x1b(Bb\x1b=c", "aBbc", "");
    row("other CSI", "\x1b[2K\x1b[1Gtext", "text", "");
    row("broken CSI",
        "a\x1b[12\x01"
        "b",
        "a\x01"
        "b",
        "");
    row("no codes", "plain °C ✓", "plain °C ✓", "");
}

void TestRxFormat::ansiDecoder()
{
    QFETCH(QString, input);
    QFETCH(QString, clean);
    QFETCH(QString, spans);
    // Two pieces, split at every offset: the sequence and the colour carry over.
    for (int at = 0; at <= input.size(); ++at) {
        AnsiDecoder decoder;
        QVector<AnsiDecoder::Span> first, second;
        const QString head = decoder.decode(input.left(at), &first);
        const QString rest = decoder.decode(input.mid(at), &second);
        for (AnsiDecoder::Span span : second)
            first.append({ span.start + head.size(), span.length, span.format });
        QCOMPARE(head + rest, clean);
        QCOMPARE(describeSpans(first), spans);
    }
}

void TestRxFormat::textThroughTheStage_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<bool>("ansi");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown"); // the lines' text joined, markers left out
    QTest::addColumn<QString>("green");
    const QString han(3000, QChar(0x6e29)); // 温: past one line of 8192 bytes in GBK and UTF-8
    const QString utf8 = QString::fromUtf8("温度 23.5°C ✓") + han;
    const QString gbk = QString::fromUtf8("温度 23.5°C") + han;
    const QString latin1 = QString::fromUtf8("23.5°C ÿ") + QString(9000, QChar(0xe9));
    const QByteArray log = "\x1b[0;32mI (31) boot: ready\x1b[0m\nplain\n";
    const QByteArray run(NewlineFlushBytes - 3, 'a');
    for (int mode : { int(NewlineWrap), int(FrameTimeWrap) }) {
        const QByteArray name = mode == NewlineWrap ? "newline, " : "frame, ";
        const auto row
            = [&](const char* what) { return &QTest::newRow((name + what).constData()); };
        *row("UTF-8") << mode << QByteArray("UTF-8") << true << (utf8 + '\n').toUtf8() << utf8
                      << QString();
        *row("GBK") << mode << QByteArray("GBK") << true
                    << QTextCodec::codecForName("GBK")->fromUnicode(gbk + '\n') << gbk << QString();
        *row("Latin-1") << mode << QByteArray("ISO-8859-1") << true << (latin1 + '\n').toLatin1()
                        << latin1 << QString();
        *row("colours") << mode << defaultCodec() << true << log << "I (31) boot: readyplain"
                        << "I (31) boot: ready";
        *row("colours off") << mode << defaultCodec() << false << log
                            << "\x1b[0;32mI (31) boot: ready\x1b[0mplain" << QString();
        *row("sequence across the line cut")
            << mode << defaultCodec() << true << run + "\x1b[32mgreen\x1b[m\n"
            << QString(run + "green") << "green";
    }
}

void TestRxFormat::textThroughTheStage()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, codec);
    QFETCH(bool, ansi);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, green);
    // Two reads split at every offset of the head and around the line cut, then a read a byte;
    // in frame wrap each read is a frame of its own.
    for (int at = 0; at <= bytes.size(); at += at == 64 ? NewlineFlushBytes - 72 : 1) {
        StageDriver stage;
        stage.mode = mode;
        stage.codec = codec;
        stage.ansi = ansi;
        if (at > NewlineFlushBytes + 8) {
            feedInChunks(stage, bytes, 1);
        } else {
            stage.feed(bytes.left(at));
            for (int i = 0; i < 5; ++i)
                stage.tick();
            stage.feed(bytes.mid(at));
        }
        for (int i = 0; i < 10; ++i)
            stage.tick();
        QCOMPARE(linesOf(stage.out()).join(QString()).remove(rxMarker()), shown);
        QCOMPARE(stage.green, green);
        if (at > NewlineFlushBytes + 8)
            break;
    }
}

QTEST_GUILESS_MAIN(TestRxFormat)
#include "tst_rxformat.moc"
