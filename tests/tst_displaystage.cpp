// Received bytes to text: the pure conversions, then the display stage driven tick by tick,
// with a view of its own and a clock the test turns.
#include "serial/core/ansidecoder.h"
#include "serial/core/displaystage.h"
#include "serial/core/rxformat.h"
#include "testdata.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextCodec>

using namespace RxFormat;

namespace {

// Reference hex rendering of non-empty bytes, built independently of the lookup table.
QString hexText(const QByteArray& bytes) { return QString(bytes.toHex(' ').toUpper() + ' '); }

QStringList linesOf(const QString& out)
{
    QStringList lines = out.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

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
        = { "\r\n", "\n\n", {}, "\xD6\xD0\xCE\xC4" /* GBK text */, "\xAA\r\n" };
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

const char* const modeNames[] = { "newline", "frame", "front", "back" };

// Numbered lines as a board sends them, CR LF ended.
QByteArray numberedLines(int from, int count)
{
    QByteArray bytes;
    for (int i = from; i < from + count; ++i)
        bytes += "line " + QByteArray::number(i).rightJustified(7, '0') + ' '
            + QByteArray(30, char('a' + i % 26)) + "\r\n";
    return bytes;
}

// The lines behind the received marker.
QStringList rx(QStringList lines)
{
    for (QString& line : lines)
        line.prepend(rxMarker());
    return lines;
}

// The numbered lines as the view shows them, as text or in hex.
QStringList numberedLineList(int from, int count, bool hex = false)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << (hex ? hexText(numberedLines(i, 1)) : QString(numberedLines(i, 1).chopped(2)));
    return rx(lines);
}

// View, line counter with a limit, record, clocks; nested steps wait behind the rest, as in use.
struct Bench {
    QStringList view;
    QStringList everDrawn;
    QString recorded; // every Format step's text
    QString green; // drawn text in green runs
    int lines = 0;
    int maxLines = INT_MAX;
    int clears = 0;
    qint64 now = 0;
    int msPerClockRead = 0;
    int wallReads = 0;
    std::function<void()> onFormat;
    DisplayStage stage;
    DisplayStage::Settings settings;
    QByteArray upgradeBytes;
    QList<DisplayStage::Step> queued;
    bool applying = false;

    // The delimiter is the front field in front-delimiter wrap, the back field in back wrap.
    explicit Bench(int mode = NewlineWrap, bool hex = false, const QString& delimiter = {})
    {
        settings.wrapMode = RxFormat::WrapMode(mode);
        settings.hex = hex;
        settings.showTime = false;
        settings.frontText = settings.backText = delimiter;
        stage.setClock([this] { return now += msPerClockRead; },
            [this] {
                ++wallReads;
                return QTime(12, 0).addMSecs(int(now));
            });
        // A fresh stage takes nothing from the settings or the limit when opened.
        open();
        // The stage's clock starts at 0: an idle tick there, as the window's timer would run.
        now = -10;
        tick();
    }
    DisplayStage::Limit limit() const { return { maxLines - lines, maxLines }; }
    void apply(const DisplayStage::Steps& steps)
    {
        queued += steps.toList();
        if (applying)
            return;
        applying = true;
        while (!queued.isEmpty()) {
            const DisplayStage::Step step = queued.takeFirst();
            if (step.kind == DisplayStage::Step::Format) {
                recorded += step.text;
                lines += step.counted;
                if (onFormat)
                    onFormat();
            } else if (step.kind == DisplayStage::Step::Draw && step.inlineText
                && !view.isEmpty()) {
                view.last() += step.text;
            } else if (step.kind == DisplayStage::Step::Draw) {
                for (const AnsiDecoder::Span& span : step.spans)
                    if (AnsiDecoder::foreground(span.format) == 2)
                        green += step.text.mid(span.start, span.length);
                view += step.text.split(QLatin1Char('\n'));
                everDrawn += step.text.split(QLatin1Char('\n'));
            } else if (step.kind == DisplayStage::Step::Clear) {
                lines = 0;
                ++clears;
                view.clear();
            } else {
                upgradeBytes += step.bytes;
            }
        }
        applying = false;
    }
    void open() { apply(stage.portOpened(settings, limit())); }

    // Ticks 10 ms apart; the last one's result.
    DisplayStage::TickResult tick(int count = 1)
    {
        DisplayStage::TickResult result;
        for (int i = 0; i < count; ++i) {
            now += 10;
            result = stage.tick(settings, limit());
            apply(result.steps);
        }
        return result;
    }
    // Bytes received in reads of at most chunk bytes, a tick after each; no bytes, one tick.
    void feed(const QByteArray& bytes, int chunk = INT_MAX)
    {
        for (int at = 0; at == 0 || at < bytes.size(); at += chunk) {
            stage.receive(bytes.mid(at, chunk));
            tick();
        }
    }
    // What was drawn, then what waits for a redraw.
    QString out() const
    {
        return (everDrawn.isEmpty() ? QString() : everDrawn.join('\n') + '\n')
            + stage.displayText();
    }
    QByteArray leftover() const { return stage.pendingDisplay() + stage.recvBuffer(); }
    // Ticks until the stage may rest (true) or the ticks run out.
    bool settle(int maxTicks = 2000)
    {
        for (int i = 0; i < maxTicks; ++i)
            if (tick().mayStop)
                return true;
        return false;
    }
};

using Scenario = std::function<void(Bench&)>;

QByteArray hexBytes(const QString& text) { return QByteArray::fromHex(text.toLatin1()); }

// The given lines, each behind the prefix and ended by a newline.
QString prefixed(const QString& prefix, const QString& lines)
{
    return lines.isEmpty() ? lines : prefix + QString(lines).replace('\n', '\n' + prefix) + '\n';
}

using Call = std::function<QVariant()>;

} // namespace

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(Call)

// Spans as text: start+length, then the colours and weight.
static QString describeSpans(const QVector<AnsiDecoder::Span>& spans)
{
    QStringList out;
    for (const AnsiDecoder::Span& span : spans) {
        const int fg = AnsiDecoder::foreground(span.format),
                  bg = AnsiDecoder::background(span.format);
        out += QString("%1+%2").arg(span.start).arg(span.length)
            + (fg >= 0 ? QString(" fg%1").arg(fg) : QString())
            + (bg >= 0 ? QString(" bg%1").arg(bg) : QString())
            + (AnsiDecoder::bold(span.format) ? " bold" : "");
    }
    return out.join("; ");
}

class tst_DisplayStage : public QObject {
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

        const QByteArray bytesBelow(NewlineFlushBytes - 1, 'x');
        const QByteArray bytesAt(NewlineFlushBytes, 'x');

        gate("newline: empty waits", 0, QByteArray(), 0, false, false);
        gate("newline: ends with newline", 0, QByteArray("a\n"), 0, false, true);
        gate("newline: newline inside only", 0, QByteArray("a\nb"), 0, false, false);
        gate("newline: ends with CR waits", 0, QByteArray("a\r"), 0, false, false);
        gate("newline: 10 bytes wait", 0, QByteArray(10, 'x'), 0, false, false);
        gate("newline: 8191 wait", 0, bytesBelow, 0, false, false);
        gate("newline: 8192 flush", 0, bytesAt, 0, false, true);
        gate("newline: found is no concern", 0, QByteArray("ab"), 99, true, false);

        gate("frame: before the interval", 1, QByteArray("a"), 9, false, false);
        gate("frame: at the interval", 1, QByteArray("a"), 10, false, true);
        gate("frame: after the interval", 1, QByteArray("a"), 11, false, true);
        gate("frame: empty pending passes", 1, QByteArray(), 10, false, true);
        gate("frame: size is no concern", 1, bytesAt, 0, false, false);

        for (int mode : { 2, 3 }) {
            const QByteArray name = mode == FrontDelimiterWrap ? "front" : "back";
            gate(name + ": delimiter found", mode, "a", 0, true, true);
            gate(name + ": not found waits", mode, "a\n", 99, false, false);
            gate(name + ": empty waits", mode, {}, 99, false, false);
            gate(name + ": 8191 wait", mode, bytesBelow, 0, false, false);
            gate(name + ": 8192 bound", mode, bytesAt, 0, false, true);
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

        // The lines without their prefix; each call finds its line written whole ('+').
        const auto text
            = [&](const QByteArray& tag, const QByteArray& received, const QString& lines) {
                  const int count = prefixed(rxMarker(), lines).count('\n');
                  row("formatTextLines: " + tag,
                      "kept\n" + prefixed(rxMarker(), lines) + '|' + QString::number(count) + '|'
                          + QString(count, '+'),
                      [=] {
                          QString out = QStringLiteral("kept\n");
                          QString calls;
                          const int count = formatTextLines(foldCrLf(received), rxMarker(), out,
                              [&] { calls += out.endsWith('\n') ? '+' : '-'; });
                          return QVariant(out + '|' + QString::number(count) + '|' + calls);
                      });
              };
        const QChar nul(0);
        const QChar bad(QChar::ReplacementCharacter);

        text("empty", QByteArray(), QString());
        text("CR LF lines", "A\r\nB\r\n", "A\nB");
        text("blank lines skipped", "\n\n\nA\n", "A");
        text("only newlines", "\n\n", QString());
        text("piece after last newline shown", "A\nB", "A\nB");
        text("leading zeros become blanks", QByteArray("\0\0AB\n", 5), "  AB");
        text("later zeros stay", QByteArray("A\0B\0\n", 5), QString("A") + nul + "B" + nul);
        text("zeros after a blank stay", QByteArray(" \0A\n", 4), QString(" ") + nul + "A");
        text("only zeros", QByteArray("\0\0\0\n", 4), "   ");
        text("zero rule per line", QByteArray("\0a\n\0b\n", 6), " a\n b");
        text("bare CR kept", "a\rb\n", "a\rb");
        text("CR CR LF keeps one CR", "a\r\r\nb", "a\r\nb");
        text("GBK text", "\xD6\xD0\xCE\xC4\n", "中文");
        text("GBK without newline", "abc\xD6\xD0", "abc中");
        text("GBK after leading zeros", QByteArray("\0\0\xD6\xD0\n", 5), "  中");
        text("GBK and ASCII lines", "ok\r\n\xCE\xC4\xBC\xFE\r\nend\r\n", "ok\n文件\nend");
        text("unpaired lead byte before newline", "a\xD6\nb\n", QString("a") + bad + "\nb");
        text("unpaired lead byte at the end", "a\xD6", QString("a") + bad);
        // Pieces are decoded afresh: a lead byte ending one shows as a replacement character.
        text("GBK character split over two pieces: first", "ab\xD6", QString("ab") + bad);
        text("GBK character split over two pieces: second", "\xD0\xCE\xC4", QString("形") + bad);
        text("GBK character split over two pieces: whole", "ab\xD6\xD0\xCE\xC4", "ab中文");

        // Every ASCII character but the newline takes the fast path; it must match the codec.
        QByteArray ascii;
        for (int c = 1; c < 128; ++c)
            if (c != '\n')
                ascii += char(c);
        ascii += QByteArray("\0x\0", 3);
        text("ASCII fast path matches the codec", ascii,
            QTextCodec::codecForName("GBK")->toUnicode(ascii));

        // The text after what the output held, then the calls.
        const auto hexLine = [&](const QByteArray& tag, const QByteArray& bytes, bool showTime,
                                 const QString& expected) {
            row("formatHexLine: " + tag, "before\n" + expected + (expected.isEmpty() ? "|0" : "|1"),
                [=] {
                    QString out = QStringLiteral("before\n");
                    int calls = 0;
                    formatHexLine(bytes, linePrefix(showTime, rxMarker(), QTime(12, 0)), out,
                        [&] { ++calls; });
                    return QVariant(out + '|' + QString::number(calls));
                });
        };
        QByteArray allBytes;
        for (int i = 0; i < 256; ++i)
            allBytes += char(i);
        hexLine("with time", hexBytes("41 0D 0A"), true, "[12:00:00.000]RX←◆41 0D 0A \n");
        hexLine("without time", hexBytes("41 0D 0A"), false, "RX←◆41 0D 0A \n");
        hexLine("upper-case digits", hexBytes("ab cd ef"), false, "RX←◆AB CD EF \n");
        hexLine("extreme values", hexBytes("00 7F 80 FF"), false, "RX←◆00 7F 80 FF \n");
        hexLine("one byte", hexBytes("0A"), false, "RX←◆0A \n");
        hexLine("empty gives nothing", QByteArray(), true, QString());
        hexLine(
            "all byte values", allBytes, false, rxMarker() + allBytes.toHex(' ').toUpper() + " \n");

        // Bytes as hex text; the lines without their prefix, their count, the bytes put back.
        const auto cut
            = [&](const QByteArray& tag, const QString& data, int mode, const QString& delimiter,
                  const QString& lines, const QString& remainder) {
                  const QString prefix = QStringLiteral("[12:00:00.000]RX←◆");
                  const QString shown = prefixed(prefix, lines);
                  row("splitHexFrames: " + tag,
                      shown + '|' + QString::number(shown.count('\n')) + '|'
                          + hexBytes(remainder).toHex(),
                      [=] {
                          // The delimiter of the other kind must not matter.
                          const bool front = mode == FrontDelimiterWrap;
                          QString out;
                          int calls = 0;
                          const QByteArray rest = splitHexFrames(hexBytes(data), WrapMode(mode),
                              hexBytes(front ? delimiter : "0A"),
                              hexBytes(front ? "0A" : delimiter), prefix, out, [&] { ++calls; });
                          return QVariant(out + '|' + QString::number(calls) + '|' + rest.toHex());
                      });
              };
        const QString below = QString("78 ").repeated(NewlineFlushBytes - 1); // 'x' in hex
        const QString at = QString("78 ").repeated(NewlineFlushBytes);
        const QString atLine = at + '\n';

        cut("newline: two lines", "01 0A 02 0A", 0, "", "01 0A \n02 0A ", "");
        cut("newline: short tail put back", "01 0A 02 03", 0, "", "01 0A ", "02 03");
        cut("newline: only newlines", "0A 0A", 0, "", "0A \n0A ", "");
        cut("newline: 8191 tail put back", below, 0, "", "", below);
        cut("newline: 8192 tail shown", at, 0, "", at, "");
        cut("newline: a long run is cut into lines, the rest waits", at + at + "61 62", 0, "",
            atLine + at, "61 62");
        cut("newline: line then 8191 tail", "61 0A " + below, 0, "", "61 0A ", below);
        cut("newline: line then 8192 tail", "61 0A " + at, 0, "", "61 0A \n" + at, "");
        cut("newline: delimiters ignored", "AA 01 0A", 0, "AA", "AA 01 0A ", "");

        cut("frame: all in one line", "01 0A 02", 1, "", "01 0A 02 ", "");
        cut("frame: long data cut into lines", at + "61 62", 1, "", atLine + "61 62 ", "");

        cut("back: frames", "AA 01 BB AA 02 BB", 3, "BB", "AA 01 BB \nAA 02 BB ", "");
        cut("back: tail ending with newline shown", "01 BB 02 0A", 3, "BB", "01 BB \n02 0A ", "");
        cut("back: no delimiter, newline at the end", "01 0A", 3, "BB", "01 0A ", "");
        cut("back: partial delimiter put back", "01 0D 0A 02 0D", 3, "0D 0A", "01 0D 0A ", "02 0D");
        cut("back: delimiter longer than data", "0D", 3, "0D 0A", "", "0D");
        cut("back: 8191 tail put back", "0D 0A " + below, 3, "0D 0A", "0D 0A ", below);
        cut("back: 8192 tail shown", "0D 0A " + at, 3, "0D 0A", "0D 0A \n" + at, "");
        cut("back: empty delimiter, 8191", below, 3, "", "", below);
        cut("back: empty delimiter, 8192", at, 3, "", at, "");
        cut("back: empty delimiter, newline at the end", "01 0A 02 0A", 3, "", "01 0A 02 0A ", "");

        const QString frameBelow = "AA " + QString("78 ").repeated(NewlineFlushBytes - 2);
        cut("front: bytes before the first", "01 02 AA 03 AA 04", 2, "AA", "01 02 \nAA 03 ",
            "AA 04");
        cut("front: delimiter alone", "AA", 2, "AA", "", "AA");
        cut("front: adjacent delimiters", "AA AA 01", 2, "AA", "AA ", "AA 01");
        cut("front: two-byte delimiter", "55 AA 01 55 AA 02", 2, "55 AA", "55 AA 01 ", "55 AA 02");
        cut("front: overlapping occurrences count once", "AA AA AA 01", 2, "AA AA", "",
            "AA AA AA 01");
        cut("front: last frame ending with newline shown", "AA 01 AA 02 0A", 2, "AA",
            "AA 01 \nAA 02 0A ", "");
        cut("front: no delimiter, short", "01 02", 2, "AA", "", "01 02");
        cut("front: no delimiter, newline at the end", "01 0A", 2, "AA", "01 0A ", "");
        cut("front: no delimiter, 8192", at, 2, "AA", at, "");
        cut("front: 8191 frame put back", "01 " + frameBelow, 2, "AA", "01 ", frameBelow);
        cut("front: 8192 frame shown", "01 AA " + below, 2, "AA", "01 \nAA " + below, "");
        cut("front: empty delimiter, short", "AA 01", 2, "", "", "AA 01");
        cut("front: empty delimiter, 8192", at, 2, "", at, "");
        cut("front: empty delimiter, newline at the end", "01 0A", 2, "", "01 0A ", "");

        cut("other mode formats nothing", "01 0A", 4, "AA", "", "");
        cut("empty data", "", 0, "", "", "");
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
        const QString rx = rxMarker(), tx = txMarker();
        const QTime noon(12, 0), one = noon.addMSecs(1), two = noon.addMSecs(2);
        // One input changed a call; midnight and an invalid time are not taken for one another.
        const QStringList got { cache.prefix(true, rx, noon), cache.prefix(true, rx, noon),
            cache.prefix(true, rx, one), cache.prefix(true, tx, one), cache.prefix(false, tx, one),
            cache.prefix(false, rx, two), cache.prefix(true, rx, two),
            cache.prefix(true, rx, QTime(0, 0)), cache.prefix(true, rx, QTime()) };
        QCOMPARE(got,
            QStringList({ "[12:00:00.000]RX←◆", "[12:00:00.000]RX←◆", "[12:00:00.001]RX←◆",
                "[12:00:00.001]TX→◇", "TX→◇", "RX←◆", "[12:00:00.002]RX←◆", "[00:00:00.000]RX←◆",
                RxFormat::linePrefix(true, rx, QTime()) }));
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
            QByteArray chunk;
            for (int length = random.bounded(0, 40); length > 0; --length)
                chunk += "abcde\n"[random.bounded(6)];
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
        // Two pieces, split at every offset: the sequence and colour carry over, cut runs rejoin.
        for (int at = 0; at <= input.size(); ++at) {
            AnsiDecoder decoder;
            QVector<AnsiDecoder::Span> spans, second;
            const QString head = decoder.decode(input.left(at), &spans);
            const QString rest = decoder.decode(input.mid(at), &second);
            for (AnsiDecoder::Span span : second) {
                span.start += head.size();
                if (!spans.isEmpty() && spans.last().format == span.format
                    && spans.last().start + spans.last().length == span.start)
                    spans.last().length += span.length;
                else
                    spans.append(span);
            }
            QTEST(head + rest, "clean");
            QTEST(describeSpans(spans), "spans");
        }
    }

    void longHoldShowsEverythingOnRelease_data()
    {
        const auto row = columns<int, bool>("mode", "hex");
        row("newline text", NewlineWrap, false);
        row("newline hex", NewlineWrap, true);
        row("frame-time text", FrameTimeWrap, false);
        row("back delimiter hex", BackDelimiterWrap, true);
    }

    void longHoldShowsEverythingOnRelease()
    {
        QFETCH(int, mode);
        QFETCH(bool, hex);
        Bench b(mode, hex, QStringLiteral("0D 0A"));
        b.stage.receive(numberedLines(0, 10));
        b.settle(10);
        const int before = b.everDrawn.size();
        QVERIFY(before > 0);

        // An 8 s hold at ~30 KB/s: far more than four slices arrive.
        b.stage.setHeld(true);
        const int total = 10 + 800 * 8;
        for (int next = 10; next < total; next += 8)
            b.feed(numberedLines(next, 8));
        QCOMPARE(b.everDrawn.size(), before);
        QVERIFY(b.stage.queuedChars() > 4 * b.stage.sliceBytes());

        // Released while the device is quiet: shown without waiting for another line.
        b.stage.setHeld(false);
        b.tick();
        QVERIFY(b.everDrawn.size() > before);
        b.settle(200);
        // Frames are joined lines here; every byte is still there, once, in order.
        if (mode == FrameTimeWrap)
            QVERIFY(b.everDrawn.join('\n').contains(numberedLineList(total - 1, 1).constFirst()));
        else
            QCOMPARE(b.everDrawn, numberedLineList(0, total, hex));
    }

    void hexDelimiterFramesNeverCutAtSlice_data()
    {
        const auto row = columns<int, int>("mode", "slice");
        for (int slice : { 64, 100, 333 }) {
            row("front, slice " + QByteArray::number(slice), FrontDelimiterWrap, slice);
            row("back, slice " + QByteArray::number(slice), BackDelimiterWrap, slice);
        }
    }

    void hexDelimiterFramesNeverCutAtSlice()
    {
        QFETCH(int, mode);
        QFETCH(int, slice);
        Bench b(mode, true, mode == FrontDelimiterWrap ? "AA 55" : "0D 0A");
        b.stage.fixSlice(slice);
        // Frames ending in CR LF with line feeds inside: a slice cut at a line feed splits them.
        QByteArray stream;
        QStringList frames;
        for (int i = 0; i < 300; ++i) {
            QByteArray frame = (mode == FrontDelimiterWrap ? "\xAA\x55" : "\x0b\x0c")
                + QByteArray::fromHex("0A 01 0A 02 0A 03 0A 04 0A 05 0A 06 0A 07 0A 08 0D 0A");
            frame[3] = char(0x10 + i % 32);
            stream += frame;
            frames << rxMarker() + hexText(frame);
        }
        b.feed(stream, 22 * 25); // several frames a read, as a board sends them
        b.tick(100);
        QCOMPARE(b.everDrawn, frames);
    }

    void endlessRunsCutInEveryPath_data()
    {
        const auto row = columns<int, bool, QString>("mode", "hex", "path");
        const char* modes[] = { "newline", "frame time", "front", "back" };
        for (const char* path : { "live", "backlog", "drain" }) {
            for (int mode = NewlineWrap; mode <= BackDelimiterWrap; ++mode)
                row(path + QByteArray(", ") + modes[mode] + " hex", mode, true, path);
            for (int mode : { NewlineWrap, FrameTimeWrap })
                row(path + QByteArray(", ") + modes[mode] + " text", mode, false, path);
        }
    }

    // CR-ended lines live, after a pause or drained: 8192 bytes a line at most, none cut, all once.
    void endlessRunsCutInEveryPath()
    {
        QFETCH(int, mode);
        QFETCH(bool, hex);
        QFETCH(QString, path);
        QTextCodec* gbk = QTextCodec::codecForName("GBK");
        QByteArray stream;
        for (int i = 0; stream.size() < (1 << 20); ++i)
            stream += gbk->fromUnicode(QStringLiteral("温度 %1.5°C 状态\r").arg(i));
        Bench b(mode, hex, QStringLiteral("7F")); // a delimiter never received
        if (path == QLatin1String("drain")) {
            b.stage.receive(stream);
            b.stage.portClosed();
            b.tick();
        } else {
            b.feed(stream, path == QLatin1String("live") ? 1500 : INT_MAX);
        }
        b.stage.portClosed();
        b.settle(20000);
        QCOMPARE(b.stage.waitingBytes(), qint64(0));
        QByteArray shown;
        for (QString line : b.view) {
            QVERIFY(line.startsWith(rxMarker()));
            line.remove(0, rxMarker().size());
            const QByteArray bytes
                = hex ? QByteArray::fromHex(line.toLatin1()) : gbk->fromUnicode(line);
            QVERIFY2(bytes.size() <= NewlineFlushBytes, qPrintable(QString::number(bytes.size())));
            QVERIFY(!line.contains(QChar::ReplacementCharacter));
            shown += bytes;
        }
        QCOMPARE(shown.size(), stream.size());
        QVERIFY(shown == stream);
    }

    // One row a scenario, played on a fresh bench.
    void scenario_data()
    {
        const auto add = columns<Scenario>("play");

        add("own lines stay behind formatted lines", [](Bench& b) {
            b.feed("rx zero\n"); // drawn now: the next redraw waits 40 ms
            b.feed("rx one\nrx two\n");
            QVERIFY(b.stage.queuedChars() > 0); // formatted, waiting for the redraw
            b.apply(b.stage.queueLine(QStringLiteral("TX→◇echo")));
            QCOMPARE(b.view, rx({ "rx zero", "rx one", "rx two" }) << "TX→◇echo");
            // Held: the own line waits with the received ones and keeps its place.
            b.stage.setHeld(true);
            b.feed("rx three\n");
            b.apply(b.stage.queueLine(QStringLiteral("notice")));
            b.feed("rx four\n");
            QCOMPARE(b.view.size(), 4);
            b.stage.setHeld(false);
            b.tick();
            QCOMPARE(b.view.mid(4), rx({ "rx three" }) << "notice" << rx({ "rx four" }));
        });

        add("clear leaves no older lines", [](Bench& b) {
            b.maxLines = 100;
            // Held, so that lines of the old view still wait when the limit clears it.
            b.stage.setHeld(true);
            b.stage.receive(numberedLines(0, 250));
            b.settle(20);
            b.stage.setHeld(false);
            b.settle(50);
            QCOMPARE(b.clears, 2);
            // The new view holds what came after the last clear; the counter counts exactly that.
            QCOMPARE(b.view, numberedLineList(200, 50));
            QCOMPARE(b.lines, b.view.size());
            // Every line recorded once; a view cleared before its redraw is saved, not drawn.
            QCOMPARE(b.recorded.split('\n', Qt::SkipEmptyParts), numberedLineList(0, 250));
            for (int i = 1; i < b.everDrawn.size(); ++i)
                QVERIFY(b.everDrawn.at(i) > b.everDrawn.at(i - 1));
        });

        add("open during drain keeps sessions apart", [](Bench& b) {
            b.feed("first\nlogin: ");
            b.stage.portClosed();
            b.open(); // before any tick could drain the rest
            b.stage.receive("root\n");
            b.settle(10);
            QCOMPARE(b.view, rx({ "first", "login: ", "root" }));
            // Open, the stage does not ask the timer to stop; closed and drained, it does.
            QVERIFY(!b.tick().mayStop);
            b.stage.portClosed();
            QVERIFY(b.tick().mayStop);
        });

        add("time stamp per line", [](Bench& b) {
            b.settings.showTime = true;
            b.msPerClockRead = 1; // each line costs the clock 1 ms: every line gets its own stamp
            b.feed("a\nb\nc\n");
            b.settle(5);
            QCOMPARE(b.view.size(), 3);
            QSet<QString> stamps;
            for (const QString& line : b.view)
                stamps << line.mid(1, 12);
            QCOMPARE(stamps.size(), 3);
            // A burst within one millisecond reads the wall clock once.
            b.msPerClockRead = 0;
            const int reads = b.wallReads;
            b.feed(numberedLines(0, 500));
            QCOMPARE(b.wallReads - reads, 1);
            QVERIFY(b.view.last().startsWith(QStringLiteral("[12:00:00.")));
        });

        add("nested tick does nothing", [](Bench& b) {
            // A box shown while recording runs the event loop: its bytes and ticks wait their turn.
            int nested = 0;
            b.onFormat = [&] {
                if (nested++ < 3)
                    b.feed(numberedLines(100 + nested, 1));
            };
            b.feed(numberedLines(0, 5));
            b.onFormat = nullptr;
            b.settle(20);
            QCOMPARE(b.everDrawn, numberedLineList(0, 5) + numberedLineList(101, 3));
            QCOMPARE(b.recorded, b.everDrawn.join('\n') + '\n');
        });

        add("upgrade mode still draws and stops", [](Bench& b) {
            b.tick();
            b.feed("before\n"); // formatted, not yet drawn
            b.settings.upgrade = true;
            b.feed("menu\n");
            b.settle(10);
            QCOMPARE(b.view, rx({ "before" }));
            QCOMPARE(b.upgradeBytes, QByteArray("menu\n"));
            b.apply(b.stage.queueInline(QStringLiteral("1")));
            b.settle(10);
            QCOMPARE(b.view, rx({ "before1" }));
            b.stage.portClosed();
            b.stage.receive("late");
            QVERIFY(b.tick().mayStop);
            QCOMPARE(b.upgradeBytes, QByteArray("menu\nlate"));
        });

        add("waiting bytes bounded", [](Bench& b) {
            b.stage.setHeld(true);
            // Held: formatted text reaches its bound, then bytes wait, then reading stops.
            const QByteArray chunk = numberedLines(0, 20000);
            qint64 newlines = 0;
            for (int i = 0; i < 20000 && !b.stage.full(); ++i) {
                newlines += chunk.left(int(b.stage.room())).count('\n');
                b.stage.receive(chunk.left(int(b.stage.room())));
                const bool readPort = b.tick().readPort;
                QCOMPARE(readPort, !b.stage.full());
            }
            QVERIFY(b.stage.full());
            QVERIFY(b.stage.queuedChars()
                <= DisplayStage::MaxHeldChars + 4 * DisplayStage::MaxSliceBytes);
            QCOMPARE(b.stage.waitingBytes(), DisplayStage::MaxWaitingBytes);
            b.stage.setHeld(false);
            b.settle(20000);
            QCOMPARE(b.stage.waitingBytes(), qint64(0));
            // The stage was left held-full: the last unfinished line waits for its end.
            QCOMPARE(qint64(b.lines), newlines);
        });

        add("flood keeps no drawn text", [](Bench& b) {
            // Bytes come faster than a redraw takes them: the tail is drawn in slices as it grows.
            const QByteArray chunk = numberedLines(0, 8000);
            int most = 0;
            for (int i = 0; i < 120; ++i) {
                b.feed(chunk.left(int(b.stage.room())));
                most = qMax(most, b.stage.formattingChars());
            }
            b.settle(20000);
            QVERIFY2(most <= 4 * DisplayStage::DropDrawnChars, qPrintable(QString::number(most)));
            QCOMPARE(b.everDrawn.join('\n') + '\n', b.recorded);
        });

        add("frame time formats no faster than it draws", [](Bench& b) {
            b.settings.wrapMode = FrameTimeWrap;
            b.settings.hex = true;
            b.stage.fixSlice(4096);
            const QByteArray chunk(64 << 10, '\x55');
            qint64 mostQueued = 0;
            for (int i = 0; i < 200; ++i) {
                b.feed(chunk.left(int(b.stage.room())));
                mostQueued = qMax(mostQueued, b.stage.queuedChars());
            }
            // A redraw takes 4 slices here; formatting stays within a few redraws of it.
            QVERIFY2(mostQueued < 8 * 3 * 4096, qPrintable(QString::number(mostQueued)));
        });

        // Paused bytes take room till taken back; a big shown backlog asks once to free memory.
        add("parked bytes and backlog memory", [](Bench& b) {
            b.stage.park("a\n");
            b.stage.park("b\n");
            QCOMPARE(b.stage.room(), DisplayStage::MaxWaitingBytes - 4);
            QCOMPARE(b.stage.waitingBytes(), qint64(0));
            b.stage.receive(b.stage.unpark());
            QCOMPARE(b.stage.parkedBytes(), qint64(0));
            int releases = 0;
            b.stage.receive(numberedLines(0, 120000)); // over 5 MB
            for (int i = 0; i < 5000 && !(releases && b.stage.waitingBytes() == 0); ++i)
                releases += b.tick().releaseMemory;
            QCOMPARE(releases, 1);
            QCOMPARE(b.view.size(), 120002);
            QVERIFY(!b.tick().releaseMemory);
        });

        // The owner draws, so it tells what drawing cost: a slow view gets small redraws.
        add("redraws follow the reported cost", [](Bench& b) {
            b.stage.receive(numberedLines(0, 50000));
            int largest = 0;
            bool told = false; // the first redraw comes before any cost is known
            for (int i = 0; i < 3000 && b.stage.waitingBytes() + b.stage.queuedChars() > 0; ++i) {
                b.now += 10;
                qint64 chars = 0;
                for (const DisplayStage::Step& step : b.stage.tick(b.settings).steps) {
                    if (step.kind == DisplayStage::Step::Draw) {
                        chars += step.text.size();
                        if (told)
                            largest = qMax(largest, int(step.text.size()));
                    }
                }
                b.stage.drawCost(chars, chars / 100); // 100 characters a millisecond
                told = told || chars > (8 << 10);
            }
            QCOMPARE(b.stage.waitingBytes() + b.stage.queuedChars(), qint64(0));
            QVERIFY2(largest <= 16 << 10, qPrintable(QString::number(largest)));
        });
    }

    void scenario()
    {
        QFETCH(Scenario, play);
        Bench b;
        play(b);
    }

    void displayStage_data()
    {
        // ticks: received before each tick; lines: shown, without their marker; leftover: shown
        // too once the port closes; bytes as hex text in hex rows
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
        row("newline text, prompt", 0, false, {}, { "boot\r\nlogin: " }, "boot", "login: ");
        row("newline hex: tail waits", 0, true, {}, { "01 0A 02" }, "01 0A ", "02");
        row("newline hex", 0, true, {}, { "41 0A 42" }, "41 0A ", "42");
        row("newline hex: 8192 flushed", 0, true, {}, { hexAt }, hexAt, {});

        row("frame text: shown after the interval", 1, false, {}, { "ab", {}, {} }, "ab", {});
        row("frame text: waits within the interval", 1, false, {}, { "ab" }, {}, "ab");
        row("frame text: several lines at once", 1, false, {}, { "a\nb", "\nc" }, "a\nb", "c");
        row("frame text: tail shown one interval later", 1, false, {}, { "a\nb", "\nc", {}, {} },
            "a\nb\nc", {});
        row("frame-time text", 1, false, {}, { "ab\ncd" }, {}, "ab\ncd");
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
        row("back hex, unfinished", 3, true, "0D 0A", { "01 0D 0A 03" }, "01 0D 0A ", "03");
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
            return hex ? QByteArray::fromHex(text.toLatin1()) : text.toLatin1();
        };

        Bench b(mode, hex, delimiter);
        for (const QString& text : ticks)
            b.feed(bytes(text));
        const QStringList shown = rx(linesOf(lines));
        QCOMPARE(b.out(), shown.isEmpty() ? QString() : shown.join('\n') + '\n');
        QCOMPARE(b.lines, shown.size());
        QCOMPARE(b.leftover(), bytes(leftover));

        // Closed, what waits is shown as well; the next session starts on a line of its own.
        b.stage.portClosed();
        QVERIFY(b.settle(100));
        const QStringList drained
            = shown + rx(linesOf(hex && !leftover.isEmpty() ? hexText(bytes(leftover)) : leftover));
        QCOMPARE(b.view, drained);
        QCOMPARE(b.stage.waitingBytes(), qint64(0));
        b.open();
        b.stage.receive("1\n");
        b.settle(10);
        b.stage.portClosed();
        b.settle(10);
        QCOMPARE(b.view.size(), drained.size() + 1);
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
        Bench whole(NewlineWrap, hex);
        whole.stage.fixSlice(INT_MAX);
        whole.feed(stream);
        QVERIFY(whole.leftover().isEmpty());
        QVERIFY(whole.lines > 100);

        Bench chunked(NewlineWrap, hex);
        chunked.stage.fixSlice(maxBytes);
        chunked.feed(stream, chunk);
        for (int i = 0; i < 1000 && !chunked.leftover().isEmpty(); ++i)
            chunked.tick(); // a sliced stage needs a few more ticks to catch up
        QVERIFY(chunked.leftover().isEmpty());
        QCOMPARE(chunked.lines, whole.lines);
        QCOMPARE(chunked.out(), whole.out());
    }

    void chunkingKeepsEveryByte_data()
    {
        columns<int, bool, QByteArray, int, int>("mode", "hex", "stream", "chunk", "maxBytes");

        QRandomGenerator bits(12), random(13);
        QByteArray binary(12000, Qt::Uninitialized);
        for (char& c : binary)
            c = char(bits.bounded(256));
        // The last: a long run without newline or delimiter, framed by short lines.
        const QList<QPair<const char*, QByteArray>> streams { { "lines", textStream(11, 12000) },
            { "binary", binary + '\n' },
            { "unterminated", "head\n" + run(random, 20000) + "\ntail\n" } };
        for (int mode = 0; mode < 4; ++mode) {
            for (const auto& stream : streams)
                for (int chunk : { 1, 7, 4096 })
                    for (int maxBytes : { INT_MAX, 300 })
                        QTest::addRow("%s, %s, chunks of %d%s", modeNames[mode], stream.first,
                            chunk, maxBytes == INT_MAX ? "" : ", sliced")
                            << mode << true << stream.second << chunk << maxBytes;
            // Text: letter lines with '#' among them, then a run past the flush size.
            for (int chunk : { 1, 7, 4096 }) {
                QRandomGenerator letters(quint32(mode * 10 + chunk));
                QByteArray text;
                while (text.size() < 12000)
                    text += run(letters, letters.bounded(0, 200), "abcdefgh#xyz") + '\n';
                QTest::addRow("text, %s, chunks of %d", modeNames[mode], chunk)
                    << mode << false << text + QByteArray(9000, 'q') + '\n'
                    << chunk << INT_MAX;
            }
        }
    }

    void chunkingKeepsEveryByte()
    {
        QFETCH(int, mode);
        QFETCH(bool, hex);
        QFETCH(QByteArray, stream);
        QFETCH(int, chunk);
        QFETCH(int, maxBytes);

        Bench b(mode, hex, !hex ? "23" : mode == 2 ? "AA" : mode == 3 ? "0D 0A" : QString());
        b.stage.fixSlice(maxBytes);

        // Text lines show what came without its newlines.
        const auto shownOf
            = [&](QByteArray bytes) { return hex ? bytes : bytes.replace('\n', ""); };
        QByteArray shown;
        int parsedUpTo = 0;
        const QRegularExpression valid("^" + QRegularExpression::escape(rxMarker())
            + (hex ? "((?:[0-9A-F]{2} )+)$" : "(.+)$"));
        // Valid lines; the bytes shown so far start what was fed, in order; the rest waits.
        const auto check = [&](const QByteArray& fedBytes, bool full) {
            const QByteArray fed = shownOf(fedBytes), waiting = shownOf(b.leftover());
            QByteArray fresh;
            for (const QString& line : linesOf(b.out().mid(parsedUpTo))) {
                const QRegularExpressionMatch match = valid.match(line);
                QVERIFY2(match.hasMatch(), qPrintable(line.left(60)));
                const QByteArray body = match.captured(1).toLatin1();
                fresh += hex ? QByteArray::fromHex(body) : body;
            }
            parsedUpTo = b.out().size();
            QCOMPARE(fresh, fed.mid(shown.size(), fresh.size()));
            shown += fresh;
            QCOMPARE(shown.size() + waiting.size(), fed.size());
            if (full)
                QCOMPARE(waiting, fed.mid(shown.size()));
            // Pending stays under the flush size; unsliced, the buffer keeps little past one line.
            if (mode != FrameTimeWrap)
                QVERIFY(b.stage.pendingDisplay().size() < NewlineFlushBytes);
            if (maxBytes == INT_MAX)
                QVERIFY(b.stage.recvBuffer().size() <= NewlineFlushBytes + 2 * chunk);
        };
        for (int at = 0, round = 1; at < stream.size(); at += chunk, ++round) {
            b.feed(stream.mid(at, chunk));
            check(stream.left(at + chunk), round % 64 == 0);
            if (QTest::currentTestFailed())
                return;
        }
        b.tick(100);
        check(stream, true);

        // Newline and frame-time wrap show everything of a stream that ends with a newline.
        if (mode == NewlineWrap || mode == FrameTimeWrap)
            QCOMPARE(b.leftover(), QByteArray());
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
            Bench b(mode);
            b.settings.codec = codec;
            b.stage.receive(bytes);
            b.stage.portClosed();
            b.tick(10);
            QTEST(linesOf(b.out()).join('\n').remove(rxMarker()), "view");
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
            row(name + "UTF-8", mode, "UTF-8", true, (utf8 + '\n').toUtf8(), utf8, {});
            row(name + "GBK", mode, "GBK", true,
                QTextCodec::codecForName("GBK")->fromUnicode(gbk + '\n'), gbk, {});
            row(name + "Latin-1", mode, "ISO-8859-1", true, (latin1 + '\n').toLatin1(), latin1, {});
            row(name + "colours", mode, defaultCodec(), true, log, "I (31) boot: readyplain",
                "I (31) boot: ready");
            row(name + "colours off", mode, defaultCodec(), false, log,
                "\x1b[0;32mI (31) boot: ready\x1b[0mplain", {});
            row(name + "sequence across the line cut", mode, defaultCodec(), true,
                run + "\x1b[32mgreen\x1b[m\n", QString(run + "green"), "green");
        }
    }

    void textThroughTheStage()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, codec);
        QFETCH(bool, ansi);
        QFETCH(QByteArray, bytes);
        // Split at every head offset and around the line cut; then a byte a read, a frame each.
        for (int at = 0; at <= bytes.size(); at += at == 64 ? NewlineFlushBytes - 72 : 1) {
            Bench b(mode);
            b.settings.codec = codec;
            b.settings.ansiColor = ansi;
            if (at > NewlineFlushBytes + 8) {
                b.feed(bytes, 1);
                b.tick();
            } else {
                b.feed(bytes.left(at));
                b.tick(4);
                b.feed(bytes.mid(at));
            }
            b.tick(9);
            QTEST(b.out().remove('\n').remove(rxMarker()), "shown");
            QTEST(b.green, "green");
            if (at > NewlineFlushBytes + 8)
                break;
        }
    }
};

QTEST_GUILESS_MAIN(tst_DisplayStage)
#include "tst_displaystage.moc"
