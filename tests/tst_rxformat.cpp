#include "serial/core/ansidecoder.h"
#include "serial/core/displaystage.h"
#include "serial/core/rxformat.h"
#include "testdata.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextCodec>
#include <QtTest>

using namespace RxFormat;

namespace {

QByteArray hexBytes(const char* text) { return QByteArray::fromHex(QByteArray(text)); }

// Reference hex rendering of non-empty bytes, built independently of the lookup table.
QString hexText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper()) + QLatin1Char(' ');
}

QStringList linesOf(const QString& out)
{
    QStringList lines = out.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// The given lines, each behind the prefix and ended by a newline.
QString prefixed(const QString& prefix, const QString& lines)
{
    QString out;
    for (const QString& line : linesOf(lines))
        out += prefix + line + QLatin1Char('\n');
    return out;
}

// Parses hex lines back into bytes; false on any malformed line.
bool bytesFromHexLines(const QString& text, const QString& prefix, QByteArray& bytes)
{
    const QRegularExpression valid(
        "^" + QRegularExpression::escape(prefix) + "((?:[0-9A-F]{2} )+)$");
    for (const QString& line : linesOf(text)) {
        const QRegularExpressionMatch match = valid.match(line);
        if (!match.hasMatch())
            return false;
        bytes += QByteArray::fromHex(match.captured(1).toLatin1());
    }
    return true;
}

// The display stage ticked every 10 ms of its own clock; its output: what it drew and queues.
struct StageDriver {
    DisplayStage::Settings settings;
    int maxBytes = INT_MAX; // the slice
    int lines = 0;
    qint64 now = 0;
    QString drawn;
    QString green; // drawn text in green runs
    DisplayStage stage;

    // The delimiter is the front field in front-delimiter wrap, the back field in back wrap.
    explicit StageDriver(int mode = NewlineWrap, bool hex = false, const QString& delimiter = {})
    {
        settings.wrapMode = RxFormat::WrapMode(mode);
        settings.hex = hex;
        settings.showTime = false;
        settings.frontText = settings.backText = delimiter;
        stage.setClock([this] { return now; }, [] { return QTime(12, 0); });
        // The stage's clock starts at 0: an idle tick there, as the window's timer would run.
        now = -10;
        tick();
    }
    // Bytes received, then a tick.
    void feed(const QByteArray& bytes)
    {
        stage.receive(bytes);
        tick();
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            now += 10;
            stage.fixSlice(maxBytes);
            for (const DisplayStage::Step& step : stage.tick(settings).steps) {
                if (step.kind == DisplayStage::Step::Draw) {
                    for (const AnsiDecoder::Span& span : step.spans)
                        if (AnsiDecoder::foreground(span.format) == 2)
                            green += step.text.mid(span.start, span.length);
                    drawn += step.text + QLatin1Char('\n');
                } else if (step.kind == DisplayStage::Step::Format)
                    lines += step.counted;
            }
        }
    }
    void feedInChunks(const QByteArray& stream, int chunk)
    {
        for (int at = 0; at < stream.size(); at += chunk)
            feed(stream.mid(at, chunk));
    }
    QString out() const { return drawn + stage.displayText(); }
    const QByteArray& pending() const { return stage.pendingDisplay(); }
    const QByteArray& recvBuffer() const { return stage.recvBuffer(); }
    QByteArray leftover() const { return pending() + recvBuffer(); }
};

// Deterministic streams for the chunking tests, from random runs of the alphabet's characters.
QByteArray run(
    QRandomGenerator& random, int length, const char* alphabet = "abcdefghijklmnopqrstuvwxyz")
{
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes += alphabet[random.bounded(int(strlen(alphabet)))];
    return bytes;
}

QByteArray textStream(quint32 variant, int size)
{
    QRandomGenerator random(variant);
    const QByteArray pieces[]
        = { "\r\n", "\n\n", {}, "\xD6\xD0\xCE\xC4" /* GBK text */, hexBytes("AA 0D 0A") };
    QByteArray stream;
    while (stream.size() < size) {
        const int kind = random.bounded(10);
        if (kind == 2)
            stream += QByteArray(random.bounded(1, 4), '\0');
        else
            stream += kind < 5 ? pieces[kind] : run(random, random.bounded(1, 300)) + '\n';
    }
    return stream.endsWith('\n') ? stream : stream + '\n';
}

QByteArray binaryStream(quint32 variant, int size)
{
    QRandomGenerator random(variant);
    QByteArray stream(size, Qt::Uninitialized);
    for (char& c : stream)
        c = char(random.bounded(256));
    return stream + '\n';
}

// Lines of letters with '#' among them, then a run past the flush size without either end.
QByteArray lettersStream(quint32 variant)
{
    QRandomGenerator random(variant);
    QByteArray stream;
    while (stream.size() < 12000)
        stream += run(random, random.bounded(0, 200), "abcdefgh#xyz") + '\n';
    return stream + QByteArray(9000, 'q') + '\n';
}

const char* const modeNames[] = { "newline", "frame", "front", "back" };

using Call = std::function<QVariant()>;

} // namespace

Q_DECLARE_METATYPE(Call)

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
        const int fg = AnsiDecoder::foreground(span.format),
                  bg = AnsiDecoder::background(span.format);
        out += QString("%1+%2").arg(span.start).arg(span.length)
            + (fg >= 0 ? QString(" fg%1").arg(fg) : QString())
            + (bg >= 0 ? QString(" bg%1").arg(bg) : QString())
            + (AnsiDecoder::bold(span.format) ? " bold" : "");
    }
    return out.join("; ");
}

class TestRxFormat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QTextCodec::codecForName("GBK"), "the GBK codec is needed for received text");
    }

    // What the pure conversions return: a table each, its rows the arguments and the result.
    void conversions_data()
    {
        const auto row = columns<QVariant, Call>("expected", "call");

        const auto prefix = [&](const QByteArray& tag, bool showTime, const QString& marker,
                                QTime time, const QString& expected) {
            row("linePrefix: " + tag, expected,
                [=] { return QVariant(linePrefix(showTime, marker, time)); });
        };
        prefix("markers", false, rxMarker() + txMarker(), QTime(), "RX←◆TX→◇");
        prefix("rx with time", true, rxMarker(), QTime(12, 0), "[12:00:00.000]RX←◆");
        prefix("tx with time", true, txMarker(), QTime(9, 5, 7, 42), "[09:05:07.042]TX→◇");
        prefix("24-hour clock", true, rxMarker(), QTime(23, 59, 59, 999), "[23:59:59.999]RX←◆");
        prefix("rx without time", false, rxMarker(), QTime(12, 0), "RX←◆");
        prefix("without time ignores the clock", false, txMarker(), QTime(), "TX→◇");

        const auto fold
            = [&](const QByteArray& tag, const QByteArray& bytes, const QByteArray& expected) {
                  row("foldCrLf: " + tag, expected, [=] { return QVariant(foldCrLf(bytes)); });
              };
        fold("empty", QByteArray(), QByteArray());
        fold("no CR", "a\nb", "a\nb");
        fold("CR LF pairs", "A\r\nB\r\n", "A\nB\n");
        fold("bare CR kept", "a\rb\r", "a\rb\r");
        fold("LF CR not a pair", "a\n\rb", "a\n\rb");
        fold("CR CR LF", "a\r\r\nb", "a\r\nb");
        fold("CR LF CR LF", "\r\n\r\n", "\n\n");
        fold("zero bytes kept", QByteArray("\0\r\n\0", 4), QByteArray("\0\n\0", 3));
        fold("bare CR after a pair", "A\r\nB\rC\r", "A\nB\rC\r");
        fold("final CR alone", "ab\r", "ab\r");

        const auto delimiter
            = [&](const QByteArray& tag, const QString& typed, const QByteArray& expected) {
                  row("delimiterBytes: " + tag, expected,
                      [=] { return QVariant(delimiterBytes(typed)); });
              };
        delimiter("CR LF", "0D 0A", QByteArray("\r\n"));
        delimiter("lower case without blanks", "0d0a", QByteArray("\r\n"));
        delimiter("mask blanks of an empty field", "         ", QByteArray());
        delimiter("empty", QString(), QByteArray());
        delimiter("one byte with trailing blanks", "AA       ", QByteArray("\xAA"));
        delimiter("ten bytes", "01 02 03 04 05 06 07 08 09 0A",
            hexBytes("01 02 03 04 05 06 07 08 09 0A"));
        delimiter("single digit is a byte", "A", QByteArray("\n"));

        const auto present = [&](const QByteArray& tag, const QByteArray& bytes,
                                 const QString& typed, bool expected) {
            row("delimiterPresent: " + tag, expected,
                [=] { return QVariant(delimiterPresent(bytes, typed)); });
        };
        present("empty pattern", QByteArray("\r\n"), QString(), false);
        present("blank pattern", QByteArray("\r\n"), "   ", false);
        present("empty bytes", QByteArray(), "0D 0A", false);
        present("upper-case typed CR LF", hexBytes("01 0D 0A 02"), "0D 0A", true);
        present("lower-case typed", hexBytes("01 0D 0A"), "0d 0a", true);
        present("absent", hexBytes("01 02 03"), "0D 0A", false);
        present("match starts mid-byte", hexBytes("0D 0A"), "d0", true);
        present("mid-byte across bytes", hexBytes("1A A1"), "AA", true);
        present("pattern longer than data", hexBytes("0D"), "0D 0A", false);
        present("single digit", hexBytes("A0"), "a", true);
        present("mask blanks around", hexBytes("AA"), " AA        ", true);
        present("non-hex pattern", hexBytes("AA"), "zz", false);

        // elapsed: of a frame interval of 10 ms
        const auto gate = [&](const QByteArray& tag, int mode, const QByteArray& pending,
                              qint64 elapsed, bool found, bool expected) {
            row("gatePasses: " + tag, expected,
                [=] { return QVariant(gatePasses(WrapMode(mode), pending, elapsed, 10, found)); });
        };

        const QByteArray below(NewlineFlushBytes - 1, 'x');
        const QByteArray at(NewlineFlushBytes, 'x');

        gate("newline: empty waits", 0, QByteArray(), 0, false, false);
        gate("newline: ends with newline", 0, QByteArray("a\n"), 0, false, true);
        gate("newline: newline inside only", 0, QByteArray("a\nb"), 0, false, false);
        gate("newline: ends with CR waits", 0, QByteArray("a\r"), 0, false, false);
        gate("newline: 10 bytes wait", 0, QByteArray(10, 'x'), 0, false, false);
        gate("newline: 8191 wait", 0, below, 0, false, false);
        gate("newline: 8192 flush", 0, at, 0, false, true);
        gate("newline: found is no concern", 0, QByteArray("ab"), 99, true, false);

        gate("frame: before the interval", 1, QByteArray("a"), 9, false, false);
        gate("frame: at the interval", 1, QByteArray("a"), 10, false, true);
        gate("frame: after the interval", 1, QByteArray("a"), 11, false, true);
        gate("frame: empty pending passes", 1, QByteArray(), 10, false, true);
        gate("frame: size is no concern", 1, at, 0, false, false);

        for (int mode : { 2, 3 }) {
            const QByteArray name = modeNames[mode];
            gate(name + ": delimiter found", mode, "a", 0, true, true);
            gate(name + ": not found waits", mode, "a\n", 99, false, false);
            gate(name + ": empty waits", mode, {}, 99, false, false);
            gate(name + ": 8191 wait", mode, below, 0, false, false);
            gate(name + ": 8192 bound", mode, at, 0, false, true);
        }

        gate("other mode passes", 4, QByteArray(), 0, false, true);
        gate("negative mode passes", -1, QByteArray("a"), 0, false, true);

        // The bytes left in the receive buffer | the pending ones.
        const auto move = [&](const QByteArray& tag, QByteArray recv, QByteArray pending,
                              int maxBytes, const QByteArray& expectedRecv,
                              const QByteArray& expectedPending) {
            row("moveCompleteLines: " + tag, expectedRecv + '|' + expectedPending, [=]() mutable {
                moveCompleteLines(recv, pending, maxBytes);
                return QVariant(recv + '|' + pending);
            });
        };
        const int none = INT_MAX;
        move("empty buffer", "", "p", none, "", "p");
        move("no newline: all moves", "abc", "", none, "", "abc");
        move("appends to pending", "abc", "xy", none, "", "xyabc");
        move("ends with newline", "a\nb\n", "", none, "", "a\nb\n");
        move("tail waits", "a\nb\nc", "", none, "c", "a\nb\n");
        move("lone newline", "\n", "", none, "", "\n");
        move("slice: first line only", "aa\nbb\ncc\n", "", 4, "bb\ncc\n", "aa\n");
        move("slice: last newline within", "a\nb\ncccc\n", "", 5, "cccc\n", "a\nb\n");
        move("slice: newline on the last byte allowed", "abc\ndef\n", "", 4, "def\n", "abc\n");
        move("slice: newline one past the limit moves the slice", "abcd\nef\n", "", 4, "\nef\n",
            "abcd");
        move("slice: newline past the limit", "abcd\nef", "", 4, "\nef", "abcd");
        move("slice: buffer not longer than the limit", "ab\ncd\n", "", 6, "", "ab\ncd\n");
        move("slice: no newline at all", "abcdefgh", "", 4, "efgh", "abcd");
        move("slice: tail waits", "ab\ncdefg", "p", 4, "cdefg", "pab\n");
        move("zero limit is no limit", "a\nb\n", "", 0, "", "a\nb\n");
    }

    void conversions()
    {
        QFETCH(Call, call);
        QFETCH(QVariant, expected);
        const QVariant actual = call();
        QCOMPARE(actual.userType(), expected.userType());
        QCOMPARE(actual.toByteArray(), expected.toByteArray()); // as bytes: printed escaped
    }

    void prefixCacheFollowsItsInputs()
    {
        PrefixCache cache;
        const auto prefix = [&](bool showTime, const QString& marker, QTime time) {
            return cache.prefix(showTime, marker, time);
        };
        const QString rx = rxMarker(), tx = txMarker();
        const QTime noon(12, 0), one = noon.addMSecs(1), two = noon.addMSecs(2);
        // One input changed a call; midnight and an invalid time are not taken for one another.
        const QStringList got { prefix(true, rx, noon), prefix(true, rx, noon),
            prefix(true, rx, one), prefix(true, tx, one), prefix(false, tx, one),
            prefix(false, rx, two), prefix(true, rx, two), prefix(true, rx, QTime(0, 0)),
            prefix(true, rx, QTime()) };
        QCOMPARE(got,
            QStringList({ "[12:00:00.000]RX←◆", "[12:00:00.000]RX←◆", "[12:00:00.001]RX←◆",
                "[12:00:00.001]TX→◇", "TX→◇", "RX←◆", "[12:00:00.002]RX←◆", "[00:00:00.000]RX←◆",
                RxFormat::linePrefix(true, rx, QTime()) }));
    }

    void formatTextLines_data()
    {
        // expected: the lines without their prefix
        const auto row = columns<QByteArray, QString>("received", "expected");
        const QChar nul(0);
        const QChar bad(QChar::ReplacementCharacter);

        row("empty", QByteArray(), QString());
        row("CR LF lines", "A\r\nB\r\n", "A\nB");
        row("blank lines skipped", "\n\n\nA\n", "A");
        row("only newlines", "\n\n", QString());
        row("piece after last newline shown", "A\nB", "A\nB");
        row("leading zeros become blanks", QByteArray("\0\0AB\n", 5), "  AB");
        row("later zeros stay", QByteArray("A\0B\0\n", 5), QString("A") + nul + "B" + nul);
        row("zeros after a blank stay", QByteArray(" \0A\n", 4), QString(" ") + nul + "A");
        row("only zeros", QByteArray("\0\0\0\n", 4), "   ");
        row("zero rule per line", QByteArray("\0a\n\0b\n", 6), " a\n b");
        row("bare CR kept", "a\rb\n", "a\rb");
        row("CR CR LF keeps one CR", "a\r\r\nb", "a\r\nb");
        row("GBK text", "\xD6\xD0\xCE\xC4\n", "中文");
        row("GBK without newline", "abc\xD6\xD0", "abc中");
        row("GBK after leading zeros", QByteArray("\0\0\xD6\xD0\n", 5), "  中");
        row("GBK and ASCII lines", "ok\r\n\xCE\xC4\xBC\xFE\r\nend\r\n", "ok\n文件\nend");
        row("unpaired lead byte before newline", "a\xD6\nb\n", QString("a") + bad + "\nb");
        row("unpaired lead byte at the end", "a\xD6", QString("a") + bad);
        // Pieces are decoded afresh: a lead byte at the end of one shows as a replacement
        // character.
        row("GBK character split over two pieces: first", "ab\xD6", QString("ab") + bad);
        row("GBK character split over two pieces: second", "\xD0\xCE\xC4", QString("形") + bad);
        row("GBK character split over two pieces: whole", "ab\xD6\xD0\xCE\xC4", "ab中文");

        // Every ASCII character but the newline takes the fast path; it must match the codec.
        QByteArray ascii;
        for (int c = 1; c < 128; ++c) {
            if (c != '\n')
                ascii += char(c);
        }
        ascii += QByteArray("\0x\0", 3);
        row("ASCII fast path matches the codec", ascii,
            QTextCodec::codecForName("GBK")->toUnicode(ascii));
    }

    void formatTextLines()
    {
        QFETCH(QByteArray, received);
        QFETCH(QString, expected);

        QString out = QStringLiteral("kept\n");
        int calls = 0;
        const int count
            = RxFormat::formatTextLines(RxFormat::foldCrLf(received), rxMarker(), out, [&] {
                  ++calls;
                  QVERIFY(out.endsWith(QLatin1Char('\n')));
              });
        QCOMPARE(out, QStringLiteral("kept\n") + prefixed(rxMarker(), expected));
        QCOMPARE(QVector<int>({ count, calls }), QVector<int>(2, linesOf(expected).size()));
    }

    void lineSinkMayEmptyTheOutput()
    {
        // The line limit clears the view from inside the callback: lines after it start afresh.
        QString text, hex;
        int textLines = 0, hexLines = 0;
        RxFormat::formatTextLines("a\nb\nc\n", QStringLiteral(">"), text, [&] {
            if (++textLines == 2)
                text.clear();
        });
        const QByteArray rest = RxFormat::splitHexFrames(
            hexBytes("01 0A 02 0A 03 0A"), NewlineWrap, {}, {}, QStringLiteral(">"), hex, [&] {
                if (++hexLines == 2)
                    hex.clear();
            });
        QCOMPARE(QStringList({ text, hex, rest }), QStringList({ ">c\n", ">03 0A \n", "" }));
    }

    void formatHexLine_data()
    {
        const auto row = columns<QByteArray, bool, QString>("bytes", "showTime", "expected");

        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        row("with time", hexBytes("41 0D 0A"), true, "[12:00:00.000]RX←◆41 0D 0A \n");
        row("without time", hexBytes("41 0D 0A"), false, "RX←◆41 0D 0A \n");
        row("upper-case digits", hexBytes("ab cd ef"), false, "RX←◆AB CD EF \n");
        row("extreme values", hexBytes("00 7F 80 FF"), false, "RX←◆00 7F 80 FF \n");
        row("one byte", hexBytes("0A"), false, "RX←◆0A \n");
        row("empty gives nothing", QByteArray(), true, QString());
        row("all byte values", all, false, rxMarker() + hexText(all) + '\n');
    }

    void formatHexLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, showTime);
        QFETCH(QString, expected);

        QString out = QStringLiteral("before\n");
        int calls = 0;
        RxFormat::formatHexLine(
            bytes, RxFormat::linePrefix(showTime, rxMarker(), QTime(12, 0)), out, [&] { ++calls; });
        QCOMPARE(out, QStringLiteral("before\n") + expected);
        QCOMPARE(calls, expected.isEmpty() ? 0 : 1);
    }

    void moveCompleteLinesKeepsEveryByte_data()
    {
        const auto row = columns<int>("maxBytes");
        row("no limit", INT_MAX);
        for (int limit : { 1, 3, 16, 100 })
            row("limit " + QByteArray::number(limit), limit);
    }

    void moveCompleteLinesKeepsEveryByte()
    {
        QFETCH(int, maxBytes);
        QRandomGenerator random { quint32(maxBytes) };
        QByteArray fed, taken, recv, pending;
        for (int round = 0; round < 3000; ++round) {
            const QByteArray chunk = run(random, random.bounded(0, 40), "abcde\n");
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

    void splitHexFrames_data()
    {
        // Bytes as hex text; the lines are shown without their prefix.
        const auto row = columns<QString, int, QString, QString, QString>(
            "data", "mode", "delimiter", "lines", "remainder");

        const QString below = hexText(QByteArray(NewlineFlushBytes - 1, 'x'));
        const QString at = hexText(QByteArray(NewlineFlushBytes, 'x'));
        const QString atLine = at + '\n';

        row("newline: two lines", "01 0A 02 0A", 0, "", "01 0A \n02 0A ", "");
        row("newline: short tail put back", "01 0A 02 03", 0, "", "01 0A ", "02 03");
        row("newline: only newlines", "0A 0A", 0, "", "0A \n0A ", "");
        row("newline: 8191 tail put back", below, 0, "", "", below);
        row("newline: 8192 tail shown", at, 0, "", at, "");
        row("newline: a long run is cut into lines, the rest waits", at + at + "61 62", 0, "",
            atLine + at, "61 62");
        row("newline: line then 8191 tail", "61 0A " + below, 0, "", "61 0A ", below);
        row("newline: line then 8192 tail", "61 0A " + at, 0, "", "61 0A \n" + at, "");
        row("newline: delimiters ignored", "AA 01 0A", 0, "AA", "AA 01 0A ", "");

        row("frame: all in one line", "01 0A 02", 1, "", "01 0A 02 ", "");
        row("frame: long data cut into lines", at + "61 62", 1, "", atLine + "61 62 ", "");

        row("back: CR LF keeps 03", "01 02 0D 0A 03", 3, "0D 0A", "01 02 0D 0A ", "03");
        row("back: frames", "AA 01 BB AA 02 BB", 3, "BB", "AA 01 BB \nAA 02 BB ", "");
        row("back: tail ending with newline shown", "01 BB 02 0A", 3, "BB", "01 BB \n02 0A ", "");
        row("back: no delimiter, newline at the end", "01 0A", 3, "BB", "01 0A ", "");
        row("back: partial delimiter put back", "01 0D 0A 02 0D", 3, "0D 0A", "01 0D 0A ", "02 0D");
        row("back: delimiter longer than data", "0D", 3, "0D 0A", "", "0D");
        row("back: 8191 tail put back", "0D 0A " + below, 3, "0D 0A", "0D 0A ", below);
        row("back: 8192 tail shown", "0D 0A " + at, 3, "0D 0A", "0D 0A \n" + at, "");
        row("back: empty delimiter, short", "01 02", 3, "", "", "01 02");
        row("back: empty delimiter, 8191", below, 3, "", "", below);
        row("back: empty delimiter, 8192", at, 3, "", at, "");
        row("back: empty delimiter, newline at the end", "01 0A 02 0A", 3, "", "01 0A 02 0A ", "");

        const QString frameBelow = "AA " + hexText(QByteArray(NewlineFlushBytes - 2, 'x'));
        row("front: AA 02 goes back", "AA 01 AA 02", 2, "AA", "AA 01 ", "AA 02");
        row("front: bytes before the first", "01 02 AA 03 AA 04", 2, "AA", "01 02 \nAA 03 ",
            "AA 04");
        row("front: delimiter alone", "AA", 2, "AA", "", "AA");
        row("front: adjacent delimiters", "AA AA 01", 2, "AA", "AA ", "AA 01");
        row("front: two-byte delimiter", "55 AA 01 55 AA 02", 2, "55 AA", "55 AA 01 ", "55 AA 02");
        row("front: overlapping occurrences count once", "AA AA AA 01", 2, "AA AA", "",
            "AA AA AA 01");
        row("front: last frame ending with newline shown", "AA 01 AA 02 0A", 2, "AA",
            "AA 01 \nAA 02 0A ", "");
        row("front: no delimiter, short", "01 02", 2, "AA", "", "01 02");
        row("front: no delimiter, newline at the end", "01 0A", 2, "AA", "01 0A ", "");
        row("front: no delimiter, 8192", at, 2, "AA", at, "");
        row("front: 8191 frame put back", "01 " + frameBelow, 2, "AA", "01 ", frameBelow);
        row("front: 8192 frame shown", "01 AA " + below, 2, "AA", "01 \nAA " + below, "");
        row("front: empty delimiter, short", "AA 01", 2, "", "", "AA 01");
        row("front: empty delimiter, 8192", at, 2, "", at, "");
        row("front: empty delimiter, newline at the end", "01 0A", 2, "", "01 0A ", "");

        row("other mode formats nothing", "01 0A", 4, "AA", "", "");
        row("empty data", "", 0, "", "", "");
    }

    void splitHexFrames()
    {
        QFETCH(QString, data);
        QFETCH(int, mode);
        QFETCH(QString, delimiter);
        QFETCH(QString, lines);
        QFETCH(QString, remainder);

        // The delimiter of the other kind must not matter.
        const QByteArray bytes = hexBytes(qPrintable(delimiter));
        const QByteArray front = mode == FrontDelimiterWrap ? bytes : hexBytes("0A");
        const QByteArray back = mode == FrontDelimiterWrap ? hexBytes("0A") : bytes;

        QString out;
        int calls = 0;
        const QString prefix = QStringLiteral("[12:00:00.000]RX←◆");
        const QByteArray rest = RxFormat::splitHexFrames(hexBytes(qPrintable(data)),
            RxFormat::WrapMode(mode), front, back, prefix, out, [&] { ++calls; });
        QCOMPARE(out, prefixed(prefix, lines));
        QCOMPARE(calls, linesOf(lines).size());
        QCOMPARE(rest, hexBytes(qPrintable(remainder)));
    }

    void displayStage_data()
    {
        // ticks: received before each tick; lines: shown, without their marker; bytes as hex text
        // in hex rows
        const auto row = columns<int, bool, QString, QStringList, QString, QString>(
            "mode", "hex", "delimiter", "ticks", "lines", "leftover");

        const QString below(NewlineFlushBytes - 1, 'x');
        const QString at(NewlineFlushBytes, 'x');
        const QString hexBelow = hexText(below.toLatin1());
        const QString hexAt = hexText(QByteArray(NewlineFlushBytes, '\x01'));

        row("newline text: CR LF lines", 0, false, {}, { "A\r\nB\r\n" }, "A\nB", {});
        row("newline text: blank lines", 0, false, {}, { "\n\n\nA\n" }, "A", {});
        row("newline text: 10 bytes wait", 0, false, {}, { "0123456789", {}, {} }, {},
            "0123456789");
        row("newline text: line completed later", 0, false, {}, { "abc", "def\nxy" }, "abcdef",
            "xy");
        row("newline text: 8191 wait", 0, false, {}, { below }, {}, below);
        row("newline text: 8192 flushed", 0, false, {}, { at }, at, {});
        row("newline text: a run is cut at 8192, the rest waits", 0, false, {}, { below, "xy" }, at,
            "y");
        row("newline hex: tail waits", 0, true, {}, { "01 0A 02" }, "01 0A ", "02");
        row("newline hex: 8192 flushed", 0, true, {}, { hexAt }, hexAt, {});

        row("frame text: shown after the interval", 1, false, {}, { "ab", {}, {} }, "ab", {});
        row("frame text: waits within the interval", 1, false, {}, { "ab" }, {}, "ab");
        row("frame text: several lines at once", 1, false, {}, { "a\nb", "\nc" }, "a\nb", "c");
        row("frame text: tail shown one interval later", 1, false, {}, { "a\nb", "\nc", {}, {} },
            "a\nb\nc", {});
        row("frame hex: ticks joined", 1, true, {}, { "01", "0A 02" }, "01 0A ", "02");

        row("front hex: AA 02 waits", 2, true, "AA", { "AA 01 AA 02" }, "AA 01 ", "AA 02");
        row("front hex: next frame completes it", 2, true, "AA", { "AA 01 AA 02", "AA 03" },
            "AA 01 \nAA 02 ", "AA 03");
        row("front text: shown whole", 2, false, "23", { "#a#b" }, "#a#b", {});
        row("front hex: missing delimiter waits", 2, true, "AA", { hexBelow }, {}, hexBelow);
        row("front hex: 8192 without delimiter shown", 2, true, "AA", { hexAt }, hexAt, {});
        row("front hex: empty delimiter, 8192 shown", 2, true, {}, { hexAt }, hexAt, {});

        row("back hex: CR LF keeps 03", 3, true, "0D 0A", { "01 02 0D 0A 03" }, "01 02 0D 0A ",
            "03");
        row("back text: tail waits", 3, false, "0D 0A", { "ab\r\ncd" }, "ab", "cd");
        row("back hex: missing delimiter waits", 3, true, "0D 0A", { "01 02 03", {} }, {},
            "01 02 03");
        row("back hex: 8191 without delimiter waits", 3, true, "0D 0A", { hexBelow }, {}, hexBelow);
        row("back hex: 8192 without delimiter shown", 3, true, "0D 0A", { hexAt }, hexAt, {});
        row("back hex: empty delimiter waits", 3, true, {}, { "01 02", {} }, {}, "01 02");
        row("back hex: mid-byte match cuts nothing", 3, true, "D0", { "01 0D 02", {} }, {},
            "01 0D 02");
    }

    void displayStage()
    {
        QFETCH(int, mode);
        QFETCH(bool, hex);
        QFETCH(QString, delimiter);
        QFETCH(QStringList, ticks);
        QFETCH(QString, lines);
        QFETCH(QString, leftover);
        const auto bytes = [&](const QString& text) {
            return hex ? hexBytes(qPrintable(text)) : text.toLatin1();
        };

        StageDriver stage(mode, hex, delimiter);
        for (const QString& text : ticks)
            stage.feed(bytes(text));
        QCOMPARE(stage.out(), prefixed(rxMarker(), lines));
        QCOMPARE(stage.lines, linesOf(lines).size());
        QCOMPARE(stage.leftover(), bytes(leftover));
    }

    void chunkingKeepsNewlineLines_data()
    {
        columns<bool, int, int>("hex", "chunk", "maxBytes");
        for (bool hex : { false, true })
            for (int chunk : { 1, 7, 4096 })
                for (int maxBytes : { INT_MAX, 512 })
                    QTest::addRow("%s, chunks of %d, %s", hex ? "hex" : "text", chunk,
                        maxBytes == INT_MAX ? "whole" : "sliced")
                        << hex << chunk << maxBytes;
    }

    void chunkingKeepsNewlineLines()
    {
        QFETCH(bool, hex);
        QFETCH(int, chunk);
        QFETCH(int, maxBytes);

        const QByteArray stream = textStream(7, 30000);
        StageDriver whole(NewlineWrap, hex);
        whole.feed(stream);
        QVERIFY(whole.leftover().isEmpty());
        QVERIFY(whole.lines > 100);

        StageDriver chunked(NewlineWrap, hex);
        chunked.maxBytes = maxBytes;
        chunked.feedInChunks(stream, chunk);
        for (int i = 0; i < 1000 && !chunked.leftover().isEmpty(); ++i)
            chunked.tick(); // a sliced stage needs a few more ticks to catch up
        QVERIFY(chunked.leftover().isEmpty());
        QCOMPARE(chunked.lines, whole.lines);
        QCOMPARE(chunked.out(), whole.out());
    }

    void chunkingKeepsEveryHexByte_data()
    {
        columns<int, QByteArray, int, int>("mode", "stream", "chunk", "maxBytes");

        QRandomGenerator random(13);
        // The last: a long run without newline or delimiter, framed by short lines.
        const QList<QPair<const char*, QByteArray>> streams { { "lines", textStream(11, 12000) },
            { "binary", binaryStream(12, 12000) },
            { "unterminated", "head\n" + run(random, 20000) + "\ntail\n" } };
        for (int mode = 0; mode < 4; ++mode)
            for (const auto& stream : streams)
                for (int chunk : { 1, 7, 4096 })
                    for (int maxBytes : { INT_MAX, 300 })
                        QTest::addRow("%s, %s, chunks of %d%s", modeNames[mode], stream.first,
                            chunk, maxBytes == INT_MAX ? "" : ", sliced")
                            << mode << stream.second << chunk << maxBytes;
    }

    void chunkingKeepsEveryHexByte()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, stream);
        QFETCH(int, chunk);
        QFETCH(int, maxBytes);

        StageDriver stage(mode, true, mode == 2 ? "AA" : mode == 3 ? "0D 0A" : QString());
        stage.maxBytes = maxBytes;

        QByteArray shown;
        int parsedUpTo = 0;
        // Every byte shown so far must be the start of what was fed, in order; the rest still
        // waits.
        const auto check = [&](const QByteArray& fed, bool full) {
            QByteArray fresh;
            QVERIFY(bytesFromHexLines(stage.out().mid(parsedUpTo), rxMarker(), fresh));
            parsedUpTo = stage.out().size();
            QCOMPARE(fresh, fed.mid(shown.size(), fresh.size()));
            shown += fresh;
            QCOMPARE(shown.size() + stage.pending().size() + stage.recvBuffer().size(), fed.size());
            if (full)
                QCOMPARE(stage.leftover(), fed.mid(shown.size()));
            // Pending stays under the flush size; unsliced, the buffer keeps little past one line.
            if (mode != FrameTimeWrap)
                QVERIFY(stage.pending().size() < NewlineFlushBytes);
            if (maxBytes == INT_MAX)
                QVERIFY(stage.recvBuffer().size() <= NewlineFlushBytes + 2 * chunk);
        };
        for (int at = 0, round = 1; at < stream.size(); at += chunk, ++round) {
            stage.feed(stream.mid(at, chunk));
            check(stream.left(at + chunk), round % 64 == 0);
            if (QTest::currentTestFailed())
                return;
        }
        stage.tick(100);
        check(stream, true);

        // Newline and frame-time wrap show everything of a stream that ends with a newline.
        if (mode == NewlineWrap || mode == FrameTimeWrap)
            QCOMPARE(shown, stream);
    }

    void chunkingKeepsEveryTextByte_data()
    {
        columns<int, int>("mode", "chunk");
        for (int mode = 0; mode < 4; ++mode)
            for (int chunk : { 1, 7, 4096 })
                QTest::addRow("%s, chunks of %d", modeNames[mode], chunk) << mode << chunk;
    }

    void chunkingKeepsEveryTextByte()
    {
        QFETCH(int, mode);
        QFETCH(int, chunk);

        // Letters, '#' delimiters and newlines: what is shown is the stream without newlines.
        const QByteArray stream = lettersStream(quint32(mode * 10 + chunk));
        StageDriver stage(mode, false, QStringLiteral("23"));
        stage.feedInChunks(stream, chunk);
        stage.tick(100);

        QString shown;
        for (const QString& line : linesOf(stage.out())) {
            QVERIFY(line.startsWith(rxMarker()));
            QVERIFY(line.size() > rxMarker().size());
            shown += line.mid(rxMarker().size());
        }
        QCOMPARE(shown.toLatin1() + stage.leftover().replace('\n', ""),
            QByteArray(stream).replace('\n', ""));
        if (mode == NewlineWrap || mode == FrameTimeWrap)
            QVERIFY(stage.leftover().isEmpty());
    }

    void invalidBytesShowAsReplacement_data()
    {
        const auto row = columns<QByteArray, QByteArray, QString>("codec", "bytes", "view");
        const QChar bad = QChar::ReplacementCharacter;
        // Invalid, cut by a line end, a byte order mark (a character here), cut by the close.
        row("UTF-8", "UTF-8", "a\xff\n\xef\xbb\xbfx\xe6\xb8\nb\xe6",
            QString("a%1\n%2x%1%1\nb%1").arg(bad).arg(QChar(0xfeff)));
        row("GBK", "GBK", "a\x81\nb\x81", QString("a%1\nb%1").arg(bad));
        row("Latin-1", "ISO-8859-1", "\xb0\x43 \xff\x81\n", "°C ÿ\xc2\x81");
        row("not offered: GBK", "Shift_JIS", "\xce\xc2\n", "温");
    }

    void invalidBytesShowAsReplacement()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArray, bytes);
        // Newline and frame wrap; the port closes after the bytes, so what waits is shown too.
        for (int mode : { int(NewlineWrap), int(FrameTimeWrap) }) {
            StageDriver stage(mode);
            stage.settings.codec = codec;
            stage.stage.receive(bytes);
            stage.stage.portClosed();
            stage.tick(10);
            QTEST(linesOf(stage.out()).join('\n').remove(rxMarker()), "view");
        }
    }

    void ansiDecoder_data()
    {
        const auto row = columns<QString, QString, QString>("input", "clean", "spans");
        row("ESP-IDF log line", "\x1b[0;32mI (31) boot: ready\x1b[0m", "I (31) boot: ready",
            "0+18 fg2");
        row("bold, bright, partial resets", "a\x1b[1;91mb\x1b[22mc\x1b[39md", "abcd",
            "1+1 fg9 bold; 2+1 fg9");
        row("256 colours", "\x1b[38;5;208mx\x1b[m", "x", "0+1 fg208");
        row("true colour mapped", "\x1b[38;2;255;0;0mx", "x", "0+1 fg196");
        row("background", "\x1b[44mx\x1b[49my", "xy", "0+1 bg4");
        row("OSC ended by BEL", "a\x1b]0;title\ab", "ab", "");
        row("OSC ended by ST", "a\x1b]8;;http://x\x1b\\b", "ab", "");
        row("lone pairs", "a\x1b(Bb\x1b=c", "aBbc", "");
        row("other CSI", "\x1b[2K\x1b[1Gtext", "text", "");
        row("broken CSI", "a\x1b[12\001b", "a\001b", "");
        row("no codes", "plain °C ✓", "plain °C ✓", "");
    }

    void ansiDecoder()
    {
        QFETCH(QString, input);
        // Two pieces, split at every offset: the sequence and the colour carry over.
        for (int at = 0; at <= input.size(); ++at) {
            AnsiDecoder decoder;
            QVector<AnsiDecoder::Span> first, second;
            const QString head = decoder.decode(input.left(at), &first);
            const QString rest = decoder.decode(input.mid(at), &second);
            for (AnsiDecoder::Span span : second)
                first.append({ span.start + head.size(), span.length, span.format });
            QTEST(head + rest, "clean");
            QTEST(describeSpans(first), "spans");
        }
    }

    void textThroughTheStage_data()
    {
        // shown: the lines' text joined, markers left out
        const auto row = columns<int, QByteArray, bool, QByteArray, QString, QString>(
            "mode", "codec", "ansi", "bytes", "shown", "green");
        const QString han(3000, QChar(0x6e29)); // 温: past one line of 8192 bytes in GBK and UTF-8
        const QString utf8 = QString::fromUtf8("温度 23.5°C ✓") + han;
        const QString gbk = QString::fromUtf8("温度 23.5°C") + han;
        const QString latin1 = QString::fromUtf8("23.5°C ÿ") + QString(9000, QChar(0xe9));
        const QByteArray log = "\x1b[0;32mI (31) boot: ready\x1b[0m\nplain\n";
        const QByteArray run(NewlineFlushBytes - 3, 'a');
        for (int mode : { int(NewlineWrap), int(FrameTimeWrap) }) {
            const QByteArray name = mode == NewlineWrap ? "newline, " : "frame, ";
            const auto add
                = [&](const char* what, const QByteArray& codec, bool ansi, const QByteArray& bytes,
                      const QString& shown, const QString& green = {}) {
                      row(name + what, mode, codec, ansi, bytes, shown, green);
                  };
            add("UTF-8", "UTF-8", true, (utf8 + '\n').toUtf8(), utf8);
            add("GBK", "GBK", true, QTextCodec::codecForName("GBK")->fromUnicode(gbk + '\n'), gbk);
            add("Latin-1", "ISO-8859-1", true, (latin1 + '\n').toLatin1(), latin1);
            add("colours", defaultCodec(), true, log, "I (31) boot: readyplain",
                "I (31) boot: ready");
            add("colours off", defaultCodec(), false, log,
                "\x1b[0;32mI (31) boot: ready\x1b[0mplain");
            add("sequence across the line cut", defaultCodec(), true, run + "\x1b[32mgreen\x1b[m\n",
                QString(run + "green"), "green");
        }
    }

    void textThroughTheStage()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, codec);
        QFETCH(bool, ansi);
        QFETCH(QByteArray, bytes);
        // Split at each offset of the head and around the line cut, then a byte a read (frame
        // each).
        for (int at = 0; at <= bytes.size(); at += at == 64 ? NewlineFlushBytes - 72 : 1) {
            StageDriver stage(mode);
            stage.settings.codec = codec;
            stage.settings.ansiColor = ansi;
            if (at > NewlineFlushBytes + 8) {
                stage.feedInChunks(bytes, 1);
                stage.tick();
            } else {
                stage.feed(bytes.left(at));
                stage.tick(4);
                stage.feed(bytes.mid(at));
            }
            stage.tick(9);
            QTEST(linesOf(stage.out()).join(QString()).remove(rxMarker()), "shown");
            QTEST(stage.green, "green");
            if (at > NewlineFlushBytes + 8)
                break;
        }
    }
};

QTEST_GUILESS_MAIN(TestRxFormat)
#include "tst_rxformat.moc"
