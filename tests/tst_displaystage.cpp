// The display stage driven tick by tick, with a view of its own and a clock the test turns.
#include "serial/core/displaystage.h"
#include "testdata.h"

#include <QTextCodec>
#include <QtTest>

using namespace RxFormat;

namespace {

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

// The numbered lines as the view shows them.
QStringList numberedLineList(int from, int count)
{
    return rx(QString::fromLatin1(numberedLines(from, count)).split("\r\n", Qt::SkipEmptyParts));
}

// View, line counter with a limit, record, clocks; nested steps wait behind the rest, as in use.
struct Bench {
    QStringList view;
    QStringList everDrawn;
    QString recorded; // every Format step's text
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

    explicit Bench(int mode = NewlineWrap, bool hex = false)
    {
        settings.wrapMode = RxFormat::WrapMode(mode);
        settings.hex = hex;
        settings.showTime = false;
        stage.setClock([this] { return now += msPerClockRead; },
            [this] {
                ++wallReads;
                return QTime(12, 0).addMSecs(int(now));
            });
        // A fresh stage takes nothing from the settings or the limit when opened.
        open();
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
    void line(const QString& text) { apply(stage.queueLine(text)); }
    void inlineText(const QString& text) { apply(stage.queueInline(text)); }

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
    // Bytes received, then a tick.
    void feed(const QByteArray& bytes)
    {
        stage.receive(bytes);
        tick();
    }
    // As much of the bytes as there is room for.
    void receiveWithinRoom(const QByteArray& bytes)
    {
        stage.receive(bytes.left(int(qMin<qint64>(bytes.size(), stage.room()))));
    }
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

} // namespace

Q_DECLARE_METATYPE(Scenario)

class tst_DisplayStage : public QObject {
    Q_OBJECT

private slots:
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
        Bench b(mode, hex);
        b.settings.backText = QStringLiteral("0D 0A");
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
        if (mode == FrameTimeWrap) {
            // Frames are joined lines here; every byte is still there, once, in order.
            QVERIFY(b.everDrawn.join('\n').contains(numberedLineList(total - 1, 1).constFirst()));
            return;
        }
        QCOMPARE(b.everDrawn.size(), total);
        if (!hex)
            QCOMPARE(b.everDrawn, numberedLineList(0, total));
        for (const QString& line : b.everDrawn)
            QVERIFY2(
                !hex || line.startsWith(rxMarker() + "6C 69 6E 65 "), qPrintable(line.left(40)));
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
        Bench b(mode, true);
        b.settings.frontText = QStringLiteral("AA 55");
        b.settings.backText = QStringLiteral("0D 0A");
        b.stage.fixSlice(slice);
        // 22-byte frames ending in CR LF, line feeds inside: a slice cut at a line feed splits
        // them.
        QByteArray stream;
        QStringList frames;
        for (int i = 0; i < 300; ++i) {
            QByteArray frame
                = QByteArray::fromHex("0A 01 0A 02 0A 03 0A 04 0A 05 0A 06 0A 07 0A 08");
            frame[1] = char(0x10 + i % 32);
            frame = (mode == FrontDelimiterWrap ? QByteArray::fromHex("AA55")
                                                : QByteArray("\x0b\x0c"))
                + frame + "\r\n";
            stream += frame;
            frames << rxMarker() + QString::fromLatin1(frame.toHex(' ').toUpper()) + ' ';
        }
        // Arriving whole frames at a time, as a board sends them.
        for (int at = 0; at < stream.size(); at += 22 * 25)
            b.feed(stream.mid(at, 22 * 25));
        b.tick(100);
        QCOMPARE(b.everDrawn, frames);
    }

    void drainEndsInEveryMode_data()
    {
        // lines: without their marker
        const auto add
            = columns<int, bool, QByteArray, QStringList>("mode", "hex", "bytes", "lines");
        add("newline text, prompt", NewlineWrap, false, "boot\r\nlogin: ", { "boot", "login: " });
        add("newline hex", NewlineWrap, true, "A\nB", { "41 0A ", "42 " });
        add("frame-time text", FrameTimeWrap, false, "ab\ncd", { "ab", "cd" });
        add("front hex, last frame", FrontDelimiterWrap, true, "\xAA\x01\xAA\x02",
            { "AA 01 ", "AA 02 " });
        add("back hex, unfinished", BackDelimiterWrap, true, "\x01\r\n\x03",
            { "01 0D 0A ", "03 " });
        add("front text", FrontDelimiterWrap, false, "#a#b", { "#a#b" });
    }

    void drainEndsInEveryMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, hex);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        Bench b(mode, hex);
        b.settings.frontText = mode == FrontDelimiterWrap && !hex ? "23" : "AA";
        b.settings.backText = QStringLiteral("0D 0A");
        b.feed(bytes);
        b.stage.portClosed();
        QVERIFY(b.settle(100));
        QCOMPARE(b.view, rx(lines));
        QCOMPARE(b.stage.waitingBytes(), qint64(0));

        // The next session starts on a line of its own.
        b.open();
        b.stage.receive(hex ? QByteArray("\x31\n") : QByteArray("1\n"));
        b.settle(10);
        b.stage.portClosed();
        b.settle(10);
        QCOMPARE(b.view.size(), lines.size() + 1);
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
        Bench b(mode, hex);
        b.settings.frontText = b.settings.backText = QStringLiteral("7F"); // never received
        if (path == QLatin1String("live")) {
            for (int at = 0; at < stream.size(); at += 1500)
                b.feed(stream.mid(at, 1500));
            b.stage.portClosed();
        } else {
            b.stage.receive(stream);
            if (path == QLatin1String("drain"))
                b.stage.portClosed();
            b.tick();
            b.stage.portClosed();
        }
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
            b.line(QStringLiteral("TX→◇echo"));
            QCOMPARE(b.view, rx({ "rx zero", "rx one", "rx two" }) << "TX→◇echo");
            // Held: the own line waits with the received ones and keeps its place.
            b.stage.setHeld(true);
            b.feed("rx three\n");
            b.line(QStringLiteral("notice"));
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
            // The new view holds what came after the last clear, and the counter counts exactly
            // that.
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
            QStringList stamps;
            for (const QString& line : b.view)
                stamps << line.mid(1, 12);
            stamps.removeDuplicates();
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
            b.inlineText(QStringLiteral("1"));
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
                b.receiveWithinRoom(chunk);
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
            // Bytes come faster than a redraw takes them: the tail is drawn in slices while it
            // grows.
            const QByteArray chunk = numberedLines(0, 8000);
            int most = 0;
            for (int i = 0; i < 120; ++i) {
                b.receiveWithinRoom(chunk);
                b.tick();
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
                b.receiveWithinRoom(chunk);
                b.tick();
                mostQueued = qMax(mostQueued, b.stage.queuedChars());
            }
            // A redraw takes 4 slices here; formatting stays within a few redraws of it.
            QVERIFY2(mostQueued < 8 * 3 * 4096, qPrintable(QString::number(mostQueued)));
        });

        // Paused bytes take room until taken back; a big backlog, all shown, asks once to free
        // memory.
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
};

QTEST_GUILESS_MAIN(tst_DisplayStage)
#include "tst_displaystage.moc"
