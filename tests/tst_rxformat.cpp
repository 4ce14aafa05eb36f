#include "serial/core/ansidecoder.h"
#include "serial/core/rxformat.h"
#include "testdata.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

using namespace RxFormat;

namespace {

QByteArray hexBytes(const QString& text) { return QByteArray::fromHex(text.toLatin1()); }

// The given lines, each behind the prefix and ended by a newline.
QString prefixed(const QString& prefix, const QString& lines)
{
    return lines.isEmpty() ? lines : prefix + QString(lines).replace('\n', '\n' + prefix) + '\n';
}

using Call = std::function<QVariant()>;

} // namespace

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
};

QTEST_GUILESS_MAIN(TestRxFormat)
#include "tst_rxformat.moc"
