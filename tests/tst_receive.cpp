// The receive pipeline and record files through a pty and the real window, whatever a board emits.
#include "app/mainwindow.h"
#include "serial/core/ansidecoder.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QRadioButton>
#include <QRandomGenerator>

#include <algorithm>
#include <csignal>
#include <numeric>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

// The end of a record file's name: the time, and a number when one was written in the same second.
static const QRegularExpression timeInName(
    "_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(?:_(\\d+))?\\.txt$");

// The record files of this kind in the order written: by the time in the name, then none, _2, ...
static QStringList recordFiles(const QString& kind)
{
    QStringList files
        = QDir("Record").entryList({ QString("Orv_%1_Rec_*.txt").arg(kind) }, QDir::Files);
    const auto key = [&](const QString& name) {
        const auto m = timeInName.match(name);
        return m.captured(1) + m.captured(2).rightJustified(6, '0');
    };
    std::sort(files.begin(), files.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
    return files;
}

static QString recordText(const QString& file)
{
    return QString::fromUtf8(fileBytes("Record/" + file));
}

// The texts of the record files of this kind, in the order they were written.
static QStringList recordTexts(const QString& kind)
{
    QStringList texts;
    for (const QString& file : recordFiles(kind))
        texts << recordText(file);
    return texts;
}

static QStringList recordLines(const QString& kind)
{
    return recordTexts(kind).join('\n').split('\n');
}

static QVariant setting(const QString& key)
{
    return QSettings("Settings.ini", QSettings::IniFormat).value(key);
}

// A file where the record folder should be: every save fails until it is gone.
static bool blockRecordFolder()
{
    QFile blocker("Record");
    return QDir("Record").removeRecursively() && blocker.open(QIODevice::WriteOnly);
}

static bool unblockRecordFolder() { return QFile::remove("Record") && QDir().mkdir("Record"); }

static QString seqLine(int i)
{
    return QString("RX←◆seq=%1 payload-payload").arg(i, 7, 10, QChar('0'));
}

static QStringList seqLineList(int from, int count)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << seqLine(i);
    return lines;
}

// What the board sends to show those lines.
static QByteArray seqLines(int from, int count)
{
    return seqLineList(from, count).join('\n').remove("RX←◆").append('\n').toLatin1();
}

// The longest gap between the rounds of the event loop while it runs.
struct LoopGaps {
    LoopGaps()
    {
        QObject::connect(&beat, &QTimer::timeout, [this] {
            longest = qMax(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        beat.setTimerType(Qt::PreciseTimer);
        clock.start();
        beat.start(1);
    }
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer beat;
};

// Files of this process limited to a few KiB, as on a nearly full disk: a write past the limit
// fails with EFBIG (SIGXFSZ ignored) after the file was opened fine.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
        : previousHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit low { bytes, saved.rlim_max };
        active = ::setrlimit(RLIMIT_FSIZE, &low) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    void (*previousHandler)(int);
    rlimit saved {};
    bool active = false;
};

static QByteArray randomBytes(int n, quint32 seedValue)
{
    QRandomGenerator random(seedValue);
    QByteArray out(n, Qt::Uninitialized);
    for (char& c : out)
        c = char(random.bounded(256));
    return out;
}

class tst_Receive : public PtyWindowTest {
    Q_OBJECT

public:
    tst_Receive()
        : PtyWindowTest("USB-SERIAL CH340")
    {
    }

private slots:
    void garbageText_data()
    {
        const auto add = columns<QByteArray>("bytes");
        add("invalid UTF-8 and GBK",
            "\xc3\x28\xa0\xa1\xe2\x28\xa1\xf0\x90\x28\xbc\x81\x80\xfe\xff\n");
        add("NUL bytes everywhere", QByteArray("\0\0a\0b\0\0\n\0\n\0\0\0", 13) + "\n");
        add("lone GBK lead bytes", "\x81\n\xfe\n\x81\x81\x81\n");
        // A lone CR starts a new paragraph in the view, as in any text view: left out here.
        add("random 64 KB", randomBytes(65536, 7).replace('\r', 'r') + "\n");
    }

    void garbageText()
    {
        QFETCH(QByteArray, bytes);
        MainWindow w;
        openPort(w, NoTime);
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE(w.received(), bytes.size());
        QTRY_COMPARE(w.pendingBytes(), qint64(0));
        QTRY_VERIFY(w.displayedLines() > 0);
        for (const QString& line : viewLines(w))
            QVERIFY2(line.startsWith("RX←◆") || line.isEmpty(), qPrintable(line.left(40)));
        QVERIFY(boxes->calls.isEmpty());
    }

    void megabyteLine()
    {
        MainWindow w;
        openPort(w, NoTime);
        const QByteArray line(1 << 20, 'x');
        QVERIFY(pty->write(line + "\n"));
        QTRY_COMPARE_WITH_TIMEOUT(w.received(), line.size() + 1, 20000);
        // Until its end comes, it is shown in flushes of at least 8192 bytes; every byte once.
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(0), 20000);
        // Formatted text reaches the view a redraw slice at a time.
        QTRY_COMPARE_WITH_TIMEOUT(w.displayStage()->queuedChars(), qint64(0), 20000);
        QString text = viewText(w);
        const QString state = QString::asprintf("%d chars, %d blocks, %lld lines counted, %d boxes",
            text.size(), viewLineCount(w), w.displayedLines(), boxes->calls.size());
        QVERIFY2(text.endsWith("xxxx"),
            qPrintable(state + ", ends with \"" + text.right(40).toHtmlEscaped() + '"'));
        QCOMPARE(text.remove("RX←◆").remove('\n').size(), line.size());
    }

    void garbageHex_data()
    {
        const auto add = columns<QByteArray, bool>("stream", "delimited");
        // The very end carries the delimiter, so nothing is left waiting for it.
        add("delimiterThatNeverComes",
            randomBytes(200000, 11).replace('\n', 'n').replace('\r', 'r') + "\r\n", true);
        add("garbageHexIsShownByteExact", randomBytes(30000, 5) + "\n", false);
    }

    void garbageHex()
    {
        QFETCH(QByteArray, stream);
        QFETCH(bool, delimited);
        MainWindow w;
        w.form()->showHexCheckBox->click();
        if (delimited) {
            w.extraSettings()->findChild<QLineEdit*>("backWrapLineEdit")->setText("0D 0A");
            w.extraSettings()->findChild<QRadioButton*>("backWrapRadioButton")->click();
        }
        openPort(w, NoTime);
        qint64 mostWaiting = 0;
        for (int i = 0; i < stream.size(); i += 20000) {
            QVERIFY(pty->write(stream.mid(i, 20000)));
            QTest::qWait(20); // a device's pace: the display ticks between the pieces
            mostWaiting = qMax(mostWaiting, w.pendingBytes());
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.received(), stream.size(), 20000);
        // Held back bytes stay bounded instead of growing with the stream.
        QVERIFY2(mostWaiting < 64 * 1024, qPrintable(QString::number(mostWaiting)));
        // Everything is shown in the end, as lines of at least one flush each, byte-exact.
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(0), 20000);
        // Formatted lines reach the view at its next redraw.
        if (delimited)
            QTRY_VERIFY(viewLineCount(w) >= int(w.displayedLines()));
        else
            QTRY_COMPARE(qint64(viewLineCount(w)), w.displayedLines());
        QByteArray shown; // the bytes the view shows, its markers left out
        for (const QString& line : viewLines(w))
            shown += QByteArray::fromHex(line.mid(4).toLatin1());
        const auto diff = std::mismatch(shown.begin(), shown.end(), stream.begin(), stream.end());
        QVERIFY2(shown == stream,
            qPrintable(QString::asprintf("sizes %d/%d, first difference at %d", shown.size(),
                stream.size(), int(diff.first - shown.begin()))));
    }

    void nonHexSendField()
    {
        MainWindow w;
        openPort(w);
        w.form()->sendHexCheckBox->setChecked(true);
        w.form()->sendDataTextEdit->setPlainText("zz 中文 !@#$%^&*() 0x12");
        w.form()->sendDataButton->click();
        QCOMPARE(boxes->calls.size(), 1);
        QCOMPARE(pty->read(200), QByteArray());
        QCOMPARE(w.sent(), 0);
    }

    void cleanup()
    {
        window.reset();
        PtyWindowTest::cleanup();
    }

    void receivedLines_data()
    {
        // The view without time stamps; hexWrap -1: text.
        const auto add = columns<QByteArray, QString, int, bool, int, QString>(
            "bytes", "view", "lines", "stamps", "hexWrap", "delimiter");
        add("CR LF folded", "A\r\nB\r\n", "RX←◆A\nRX←◆B", 2, false, -1, {});
        add("blank lines skipped", "\n\n\nA\n", "RX←◆A", 1, false, -1, {});
        add("leading zeros become blanks", QByteArray("\0\0x\0y\n", 6),
            QString("RX←◆  x") + QChar(0) + "y", 1, false, -1, {});
        add("GBK text", "\xce\xc2\xb6\xc8 25\n", "RX←◆温度 25", 1, false, -1, {});
        const char* markup = "<b>bold</b> &lt; <img src=\"http://127.0.0.1:1/x.png\">";
        add("markup shown literally", QByteArray(markup) + "\n", "RX←◆" + QString(markup), 1, false,
            -1, {});
        add("time stamp prefix", "hello\r\n", "RX←◆hello", 1, true, -1, {});
        add("counters and labels", "12345\n6789\n", "RX←◆12345\nRX←◆6789", 2, true, -1, {});
        add("hex, newline", "\x41\x0d\x0a\x42\x0a", "RX←◆41 0D 0A \nRX←◆42 0A ", 2, false, 0, {});
        add("hex, back delimiter keeps the tail", "\x01\x02\x0d\x0a\x03", "RX←◆01 02 0D 0A ", 1,
            false, 3, "0D 0A");
        add("hex, front delimiter keeps the last frame", "\xaa\x01\xaa\x02", "RX←◆AA 01 ", 1, false,
            2, "AA");
        // Sent twice: shown literally, each time in a line of its own.
        const auto literal = [&](const char* tag, const QString& text) {
            add(tag, QTextCodec::codecForName("GBK")->fromUnicode(text + '\n').repeated(2),
                "RX←◆" + text + "\nRX←◆" + text, 2, false, -1, {});
        };
        literal("bold tag", "<b>x</b>");
        literal("image tag", "<img src=\"missing.png\">");
        literal("entity", "&lt;");
        literal("whole document", "<html><body><p>hi</p></body></html>");
        literal("line break tag", "a<br>b");
        literal("plain text", "[12:00:00.000]RX←◆41 0D 0A ");
    }

    void receivedLines()
    {
        QFETCH(int, hexWrap);
        QFETCH(QString, delimiter);
        QFETCH(bool, stamps);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, view);
        QFETCH(int, lines);
        MainWindow& w = openWindow(stamps ? 0 : NoTime);
        if (hexWrap >= 0)
            w.form()->showHexCheckBox->click(); // as the user does: the delimiter rows come free
        auto* dialog = w.extraSettings();
        if (hexWrap > 0) {
            const QString side = hexWrap == 2 ? "front" : "back";
            dialog->findChild<QLineEdit*>(side + "WrapLineEdit")->setText(delimiter);
            dialog->findChild<QRadioButton*>(side + "WrapRadioButton")->click();
        }
        QCOMPARE(dialog->wrapMode(), qMax(hexWrap, 0));
        QVERIFY(pty->write(bytes));
        const QRegularExpression stamp(
            "^\\[\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\]", QRegularExpression::MultilineOption);
        QTRY_COMPARE(viewText(w).remove(stamp), view);
        QTest::qWait(100); // and nothing more comes of what is left
        QCOMPARE(viewText(w).remove(stamp), view);
        // Stamps, lines and bytes counted, and the counters' labels.
        QCOMPARE(QList<int>({ int(viewText(w).count(stamp)), w.lines(), w.received() }),
            QList<int>({ stamps ? lines : 0, lines, int(bytes.size()) }));
        const auto label = [&](const char* name) { return w.findChild<QLabel*>(name)->text(); };
        QTRY_COMPARE(QStringList({ label("linesLabel"), label("recvLabel"), label("sendLabel") }),
            QStringList({ QString("Lines: %1").arg(lines, 6, 10, QChar('0')),
                QString("Recv: %1").arg(bytes.size(), 7, 10, QChar('0')), "Send: 0000000" }));
        if (!stamps) // nothing in the text turns into formatting
            QVERIFY(w.form()->recvShowText->lineFormats(0).isEmpty());
    }

    void lineLimitClearsAndResets()
    {
        MainWindow& w = openWindow(NoTime, 100);
        QVERIFY(pty->write(seqLines(1, 50)));
        QTRY_VERIFY(viewText(w).endsWith(seqLine(50)));
        QVERIFY(pty->write(seqLines(51, 80)));
        QTRY_VERIFY(viewText(w).endsWith(seqLine(130)));
        // Lines shown, then the counters the clear reset: the bytes had all been counted before it.
        QCOMPARE(QList<qint64>({ w.displayedLines(), w.lines(), w.received() }),
            QList<qint64>({ 130, 30, 0 }));
        // What was on screen before the clear is gone; lines formatted in the clearing tick stay.
        QVERIFY(!viewLines(w).contains(seqLine(50)));
    }

    void byteCounterRunsOver_data()
    {
        const auto add = columns<int, bool>("maxRows", "viewKept");
        add("default limit: the view goes", 100000, false);
        add("long view: the counter starts again", 200000, true);
    }

    void byteCounterRunsOver()
    {
        QFETCH(int, maxRows);
        MainWindow& w = openWindow(NoTime, maxRows);
        const int n = 10001; // of 1,000 bytes: just over what the Recv counter holds
        QVERIFY(pty->write(QByteArray(999, 'x').append('\n').repeated(n)));
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), 30000);
        QTRY_COMPARE(w.displayStage()->queuedChars(), qint64(0));
        QTEST(w.form()->recvShowText->lineCount() == n, "viewKept");
        QVERIFY(w.received() < 1000 * n - 9999999);
    }

    void autoSaveBeforeClearEqualsView()
    {
        MainWindow& w = openWindow(NoTime | AutoSave, 100);
        QStringList expected;
        for (int i = 1; i <= 250; ++i)
            expected << QString("RX←◆第%1行 data").arg(i);
        // The board speaks GBK.
        const QString burst = expected.join("\r\n").remove("RX←◆") + "\r\n";
        QVERIFY(pty->write(QTextCodec::codecForName("GBK")->fromUnicode(burst)));
        QTRY_VERIFY(viewText(w).endsWith("RX←◆第250行 data"));
        QTRY_COMPARE(w.recordsInHand(), 0); // written off the GUI thread
        const QString name
            = "Orv_Auto_Rec_" + pty->slavePath().replace('/', '_') + " USB-SERIAL CH340";
        QCOMPARE(recordFiles("Auto").replaceInStrings(timeInName, ""), QStringList({ name, name }));
        QCOMPARE(recordLines("Auto") + viewLines(w), expected);
    }

    void emptyView_data()
    {
        const auto add = columns<bool>("automatic");
        add("clearButtonWithAutoSaveOnEmptyView", true);
        add("manualSaveEmptyView", false);
    }

    void emptyView()
    {
        QFETCH(bool, automatic);
        MainWindow w;
        // Automatic saves check the automatic clear and grey it; unchecked, it is free again.
        auto* autoClear = w.form()->recvAutoClearCheckBox;
        const auto checkedEnabled = [&] {
            return QList<bool> { autoClear->isChecked(), autoClear->isEnabled() };
        };
        QCOMPARE(checkedEnabled(), QList<bool>({ false, true }));
        w.form()->autoSlaveLogToFileCheckBox->setChecked(automatic);
        QCOMPARE(checkedEnabled(), QList<bool>({ automatic, !automatic }));
        // The clear saves an empty file silently; a save by hand says there is nothing to save.
        (automatic ? w.form()->clearWindowButton : w.form()->saveDataButton)->click();
        QTRY_COMPARE(w.recordsInHand(), 0);
        QCOMPARE(recordTexts("Auto"), automatic ? QStringList { "" } : QStringList());
        QCOMPARE(recordFiles("All"), QStringList());
        QCOMPARE(boxes->texts(),
            automatic ? QStringList() : QStringList { "尚无任何数据，无需保存！\t" });
        w.form()->autoSlaveLogToFileCheckBox->setChecked(false);
        QCOMPARE(checkedEnabled(), QList<bool>({ automatic, true }));
    }

    void manualSave()
    {
        MainWindow& w = openWindow(NoTime);
        QVERIFY(pty->write("a\nb\n"));
        QTRY_COMPARE(viewText(w), QString("RX←◆a\nRX←◆b"));
        w.form()->saveDataButton->click();
        QTRY_COMPARE(w.recordsInHand(), 0); // written off the GUI thread, then the box
        QCOMPARE(recordTexts("All"), QStringList { "RX←◆a\nRX←◆b" });
        const QString path = QFileInfo("Record/" + recordFiles("All").first()).absoluteFilePath();
        QCOMPARE(boxes->texts(), QStringList { "窗口数据已成功保存至指定文件！\n" + path + "\t" });
        QCOMPARE(boxes->calls.first().title, QString("通知"));
        // The view's menu entry saves the same way.
        emit w.form()->recvShowText->signalSaveLog();
        QTRY_COMPARE(recordFiles("All").size(), 2);
        // Saves within a second keep every file: after a new line, and twice the same view.
        QVERIFY(pty->write("c\n"));
        QTRY_COMPARE(viewLineCount(w), 3);
        w.form()->saveDataButton->click();
        w.form()->saveDataButton->click();
        QTRY_COMPARE(w.recordsInHand(), 0);
        QCOMPARE(recordFiles("All").size(), 4);
    }

    void pressOnTheView_data()
    {
        const auto add = columns<QString, QString>("use", "view");
        add("holdRuleKeepsLinesBack", "hold", "RX←◆held\nRX←◆next");
        // Here the menu opens on the press and takes the release: the view never sees it.
        add("rightButtonIsNoHold", "right", "RX←◆next");
        add("contextMenuEndsHold", "menu in hold", "RX←◆next");
        // Held for 3 s while some 300 KB arrive: many display slices, shown after the release.
        add("long hold, release", "long hold", {});
        add("long hold, release, then send at once", "long hold, then send", {});
    }

    void pressOnTheView()
    {
        QFETCH(QString, use);
        QFETCH(QString, view);
        MainWindow& w = openWindow(NoTime | Shown);
        QWidget* viewport = w.form()->recvShowText->viewport();
        const QPoint at(5, 5);
        QTest::mousePress(viewport, use == "right" ? Qt::RightButton : Qt::LeftButton, {}, at);
        QCOMPARE(w.displayEnabled(), use == "right");
        if (use == "hold") {
            QVERIFY(pty->write("held\n"));
            QTRY_COMPARE(w.displayedLines(), qint64(1));
            QTest::qWait(100); // still held a while later
            QCOMPARE(viewText(w), QString());
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        } else if (use == "menu in hold") {
            // The menu, answered with Escape as a user would.
            QTimer::singleShot(200, [] {
                if (QWidget* menu = QApplication::activePopupWidget())
                    QTest::keyClick(menu, Qt::Key_Escape);
            });
            QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &menuEvent);
            QVERIFY(w.displayEnabled());
        } else if (use.startsWith("long hold")) {
            int sent = 0;
            QElapsedTimer held;
            held.start();
            while (held.elapsed() < 3000) {
                QVERIFY(pty->write(seqLines(sent, 100)));
                sent += 100;
                QTest::qWait(10); // the device's pace
            }
            QCOMPARE(viewText(w), QString());
            QTRY_COMPARE(w.displayedLines(), qint64(sent));
            // The event loop's longest gap while the held lines come out.
            LoopGaps gaps;
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
            // An echo right after the release joins the backlog's end: it is drawn in slices too.
            QStringList expected = seqLineList(0, sent);
            if (use.endsWith("send")) {
                w.form()->sendDataTextEdit->setPlainText("ping");
                w.form()->sendDataButton->click();
                expected << "TX→◇ping";
            }
            QTest::qWait(50); // the beat measures the release and the send too
            // The device is quiet now: everything held comes out, in order, once.
            QTRY_COMPARE_WITH_TIMEOUT(viewLineCount(w), expected.size(), 20000);
            gaps.beat.stop();
#ifndef __SANITIZE_ADDRESS__ // the sanitizers slow every slice down several times
            QVERIFY2(gaps.longest < 250, qPrintable(QString::number(gaps.longest)));
#endif
            QCOMPARE(viewLines(w), expected);
            view = (expected << "RX←◆next").join('\n'); // all held, then the next line
        }
        // Shown with the next line that passes the newline gate.
        QVERIFY(pty->write("next\n"));
        QTRY_COMPARE(viewText(w), view);
    }

    void linesArriveInOrder_data()
    {
        const auto add = columns<QString, int>("pace", "n");
        add("largeBurstArrivesInOrder", "burst", 20000);
        // More than the port's own buffer (1 MiB) and the tty's, while paused.
        add("pauseLosesNothing", "paused", 60000);
        // 40-byte lines 2,000 times a second: a wake-up each, taken in once per display tick.
        add("trickleIsReadOncePerTick", "trickle", 2000);
    }

    void linesArriveInOrder()
    {
        QFETCH(QString, pace);
        QFETCH(int, n);
        const bool paused = pace == "paused";
        MainWindow& w = openWindow(NoTime);
        qint64 reads = 0;
        QObject::connect(w.port(), &QSerialPort::readyRead, [&reads] { ++reads; });
        const QByteArray bytes = seqLines(0, n);
        if (paused) {
            w.form()->pauseRecvButton->click();
            QVERIFY(bytes.size() > 3 << 19);
        }
        if (pace == "trickle") {
            // A real event loop, as the program runs in: QTest's waits sleep between their rounds.
            QEventLoop loop;
            std::thread writer([fd = pty->masterFd(), n, &loop] {
                for (int i = 0; i < n; ++i) {
                    const QByteArray line = seqLines(i, 1);
                    if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                        break;
                    ::usleep(500);
                }
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
            loop.exec();
            writer.join();
        } else {
            QVERIFY(pty->write(bytes));
        }
        if (paused) {
            QTest::qWait(200); // nothing is taken in while paused
            QCOMPARE(w.received(), 0);
            QCOMPARE(viewText(w), QString());
            w.form()->pauseRecvButton->click();
        }
        const int formatMs = paused ? 60000 : 20000, drawMs = paused ? 20000 : 5000;
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), formatMs);
        QTRY_COMPARE_WITH_TIMEOUT(viewLineCount(w), n, drawMs);
        QCOMPARE(viewLines(w), seqLineList(0, n));
        QCOMPARE(w.received(), int(bytes.size()));
        if (pace == "trickle")
            QVERIFY2(reads < n / 4, qPrintable(QString("%1 reads for %2 lines").arg(reads).arg(n)));
    }

    void closeStillShowsTheBacklog()
    {
        MainWindow& w = openWindow(NoTime | AutoSave, 5000);
        const int n = 40000;
        // A backlog that no display tick has touched yet, then the close.
        w.slotRecvFromData(seqLines(0, n));
        QVERIFY(w.pendingBytes() > 0);
        w.form()->openSerialButton->click();
        QVERIFY(!w.port()->isOpen());
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(0), 20000);
        QTRY_VERIFY(!w.displayTimer()->isActive());
        QTRY_COMPARE(w.recordsInHand(), 0);
        // Everything received before the close reached a record file or the view, in order.
        QStringList all = recordLines("Auto");
        if (!viewText(w).isEmpty())
            all += viewLines(w);
        QCOMPARE(all, seqLineList(0, n));
    }

    void pausedRunWithoutLineEndsIsCut_data()
    {
        const auto add = columns<bool, bool>("hex", "closeAtOnce");
        add("text, resumed", false, false);
        add("text, closed as it resumes", false, true);
        add("hex, resumed", true, false);
    }

    // 2 MB of CR-ended lines while paused: the view gets every byte, in lines of 8192 at most.
    void pausedRunWithoutLineEndsIsCut()
    {
        QFETCH(bool, hex);
        QFETCH(bool, closeAtOnce);
        MainWindow& w = openWindow(NoTime | Shown | (hex ? Hex : 0));
        w.form()->pauseRecvButton->click();
        QByteArray bytes;
        for (int i = 0; bytes.size() < (2 << 20); ++i)
            bytes += "boot step " + QByteArray::number(i) + " ok\r";
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(bytes.size()), 20000);
        w.form()->pauseRecvButton->click();
        if (!closeAtOnce) // the backlog is shown; a run shorter than a line waits for more
            QTRY_VERIFY_WITH_TIMEOUT(w.pendingBytes() < RxFormat::NewlineFlushBytes, 20000);
        w.form()->openSerialButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            w.pendingBytes() + w.displayStage()->queuedChars(), qint64(0), 20000);
        // The view starts a block at each CR: a line is a block with the marker and those after it.
        const QString blocks = '\r' + viewText(w).replace('\n', '\r');
        QByteArray shown;
        for (const QString& line : blocks.split('\r' + RxFormat::rxMarker()).mid(1)) {
            const QByteArray piece = hex ? QByteArray::fromHex(line.toLatin1()) : line.toLatin1();
            QVERIFY2(piece.size() <= RxFormat::NewlineFlushBytes,
                qPrintable(QString::number(piece.size())));
            shown += piece;
        }
        // A CR that ends a drawn line leaves no empty block behind: compare without them.
        QVERIFY(shown.replace('\r', "") == bytes.replace('\r', ""));
    }

    void echoStaysBehindEarlierLines()
    {
        MainWindow& w = openWindow(NoTime);
        QStringList expected;
        for (int round = 0; round < 20; ++round) {
            QVERIFY(pty->write(seqLines(round, 1)));
            QTRY_COMPARE(w.displayedLines(), qint64(round + 1));
            // Formatted, maybe not drawn yet: the echo still comes after it.
            w.slotSerialSendData(QString("cmd %1").arg(round), false, 0);
            expected << seqLine(round) << QString("TX→◇cmd %1").arg(round);
        }
        QTRY_COMPARE(viewLines(w), expected);
    }

    void fullDiskSaveFails_data()
    {
        const auto add = columns<bool>("automatic");
        add("automatic save before the clear", true);
        add("save by hand", false);
    }

    void fullDiskSaveFails()
    {
        QFETCH(bool, automatic);
        MainWindow& w = openWindow(NoTime | (automatic ? AutoSave : 0));
        const QString lines = seqLineList(0, 200).join('\n'); // more than the disk takes
        w.slotRecvFromData(seqLines(0, 200));
        QTRY_COMPARE(w.store().lines(), qint64(200));
        QTRY_COMPARE(viewLineCount(w), 200);
        {
            FileSizeLimit limit(4096);
            QVERIFY(limit.active);
            (automatic ? w.form()->clearWindowButton : w.form()->saveDataButton)->click();
            // The automatic save is written by a thread of its own, under the same limit.
            QTRY_COMPARE(w.recordsInHand(), 0);
        }
        QCOMPARE(boxes->texts(), QStringList { "文件保存失败！\t" });
        QCOMPARE(boxes->calls.first().kind, MsgBox::Warning);
        QCOMPARE(boxes->calls.first().title, QString("警告"));
        // A save by hand leaves the view, the automatic one keeps its text; no truncated record.
        QCOMPARE(viewText(w), automatic ? QString() : lines);
        QCOMPARE(QDir("Record").entryList(QDir::Files | QDir::Hidden), QStringList());

        // With room again the same view is saved whole: by hand, or by itself.
        boxes->clear();
        if (!automatic)
            w.form()->saveDataButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.recordsInHand() + w.keptRecords().count(), 0, 10000);
        QCOMPARE(recordTexts(automatic ? "Auto" : "All"), QStringList { lines });
    }

    // A flood on a full disk while the warning is read: one box, no freeze, bounded memory; with
    // room again every kept line reaches the disk by itself, in order, and each drop is noted.
    void fullDiskUnderAFlood()
    {
        MainWindow& w = openWindow(NoTime | AutoSave, 100);
        const int bound = 12000; // about four views
        w.keptRecords().setMaxChars(bound);
        boxes->readMs = 1500;
        // What the debug log is told of each drop.
        static QList<int> logged;
        logged.clear();
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                const auto m = QRegularExpression("^disk full: (\\d+) unsaved lines").match(text);
                if (m.hasMatch())
                    logged << m.captured(1).toInt();
                previous(type, context, text);
            });
        const int n = 2000;
        {
            FileSizeLimit limit(1024);
            QVERIFY(limit.active);
            LoopGaps gaps;
            for (int i = 0; i < n; i += 20) {
                QVERIFY(pty->write(seqLines(i, 20)));
                QTest::qWait(40); // the device's pace
                QVERIFY(w.keptRecords().chars() <= bound);
            }
            QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), 20000);
            QTRY_COMPARE(w.recordsInHand(), 0);
            gaps.beat.stop();
            QCOMPARE(boxes->deepest, 1);
            QCOMPARE(boxes->count(MsgBox::Warning), 1);
            QVERIFY(w.findChild<QLabel*>("diskStateLabel")->text().startsWith("文件保存失败 "));
            QVERIFY2(gaps.longest < 500, qPrintable(QString::number(gaps.longest)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(w.keptRecords().isEmpty() && w.recordsInHand() == 0, 10000);
        qInstallMessageHandler(previous);
        const QRegularExpression dropNote("^⚠ 磁盘已满，丢弃了 (\\d+) 行未保存的数据$");
        int next = 0, missing = 0, notes = 0;
        for (const QString& line : recordLines("Auto") + viewLines(w)) {
            if (dropNote.match(line).hasMatch()) {
                QVERIFY(logged.contains(dropNote.match(line).captured(1).toInt()));
                ++notes;
                continue;
            }
            const int seq = line.mid(line.indexOf("seq=") + 4, 7).toInt();
            QVERIFY2(seq >= next && line == seqLine(seq), qPrintable(line));
            missing += seq - next;
            next = seq + 1;
        }
        // Every drop was logged and noted in the view; a later drop may take earlier notes along.
        QCOMPARE(next, n);
        QVERIFY(notes > 0);
        QCOMPARE(missing + logged.size() - notes, std::accumulate(logged.begin(), logged.end(), 0));
    }

    void failedSavesGoBackInOrder_data()
    {
        // limit 0: the view is cleared by hand
        const auto add = columns<int, int, bool>("limit", "n", "oneTick");
        // The view is cleared as asked; its text waits for the disk and goes there by itself.
        add("failedAutoSaveKeepsView", 0, 1, false);
        add("small views, written at once", 100, 250, false);
        // Each view is over the size that goes to the writer's thread.
        add("full views, written by a thread", 20000, 50000, false);
        // Frame-time wrap formats a whole backlog in one tick: both files in hand at the failure.
        add("two full views in one tick", 20000, 50000, true);
    }

    void liveRecordHasEveryLine_data()
    {
        const auto add = columns<bool, bool>("timeStamps", "hex");
        add("text", false, false);
        add("text with time stamps", true, false);
        add("hex", false, true);
        add("hex with time stamps", true, true);
    }

    void liveRecordHasEveryLine()
    {
        QFETCH(bool, timeStamps);
        QFETCH(bool, hex);
        MainWindow& w
            = openWindow((timeStamps ? 0 : NoTime) | (hex ? Hex : 0) | AutoSave | LiveRecord, 100);
        // Three clears of the view: the live file goes on through them.
        const int n = 350;
        for (int i = 0; i < n; i += 50) {
            QVERIFY(pty->write(seqLines(i, 50)));
            QTRY_COMPARE(w.displayedLines(), qint64(i + 50));
        }
        QTRY_COMPARE(w.pendingBytes(), qint64(0));
        QTRY_COMPARE(w.displayStage()->queuedChars(), qint64(0));
        QTRY_COMPARE(w.recordsInHand(), 0);
        // What the view showed, through its record files and what it holds now.
        const QStringList shown = recordLines("Auto") + viewLines(w);
        QVERIFY(recordFiles("Auto").size() >= 3);
        const QString name
            = "Orv_Live_Rec_" + pty->slavePath().replace('/', '_') + " USB-SERIAL CH340";
        QCOMPARE(recordFiles("Live").replaceInStrings(timeInName, ""), QStringList { name });
        // Handed to the system at every tick: no close is needed to see it.
        const QString text = recordText(recordFiles("Live").first());
        QVERIFY(text.endsWith('\n'));
        QCOMPARE(text.split('\n', Qt::SkipEmptyParts), shown);
        if (!timeStamps && !hex)
            QCOMPARE(shown, seqLineList(0, n));
    }

    void liveRecordFilePerOpen()
    {
        MainWindow& w = openWindow(NoTime | LiveRecord);
        // A prompt without its line end is shown as its own line at the close, in the first file.
        QVERIFY(pty->write(seqLines(0, 10) + "login: "));
        QTRY_COMPARE(w.displayedLines(), qint64(10));
        w.form()->openSerialButton->click();
        QTRY_COMPARE(viewLines(w).last(), QString("RX←◆login: "));
        // An open that fails at once, while the close is still drained.
        w.form()->serialNumComboBox->addItem("/nonexistent/ttyX");
        w.form()->serialNumComboBox->setCurrentIndex(w.form()->serialNumComboBox->count() - 1);
        w.form()->openSerialButton->click();
        QVERIFY(!w.port()->isOpen());
        QTRY_VERIFY(!w.displayTimer()->isActive());
        QCOMPARE(w.displayedLines(), qint64(11));
        // The next session starts on a line of its own.
        openPort(w);
        QVERIFY(pty->write(seqLines(10, 10)));
        QTRY_COMPARE(viewLines(w), seqLineList(0, 10) << "RX←◆login: " << seqLineList(10, 10));
        QCOMPARE(w.displayedLines(), qint64(21));
        QTRY_VERIFY(w.form()->liveRecordCheckBox->toolTip().contains("Orv_Live_Rec_"));
        const QStringList files = recordFiles("Live");
        QCOMPARE(files.size(), 2);
        QCOMPARE(recordText(files.at(0)).split('\n', Qt::SkipEmptyParts),
            seqLineList(0, 10) << "RX←◆login: ");
        QTRY_COMPARE(recordText(files.at(1)), seqLineList(10, 10).join('\n') + '\n');
        QCOMPARE(setting("CustomConfig/LiveRecord").toBool(), true); // the box's state is kept
        // The view's own clear does not touch the live file.
        w.form()->clearWindowButton->click();
        QCOMPARE(recordText(files.at(1)).count('\n'), 10);
    }

    void liveRecordRotatesAtItsLimit()
    {
        MainWindow w;
        w.form()->maxRowsSpinBox->setValue(2000);
        auto* limit = w.findChild<QSpinBox*>("liveRecordMaxSpinBox");
        QVERIFY(limit);
        QCOMPARE(limit->minimum(), 1);
        limit->setValue(1);
        QCOMPARE(setting("CustomConfig/LiveRecordMaxMB").toInt(), 1);
        openPort(w, NoTime | LiveRecord);
        // 1.4 MB through a 1 MiB limit, while the view clears itself every 2,000 lines.
        const int n = 45000;
        QVERIFY(pty->write(seqLines(0, n)));
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), 60000);
        QTRY_COMPARE(w.displayStage()->queuedChars(), qint64(0));
        w.form()->openSerialButton->click();
        QTRY_VERIFY(!w.displayTimer()->isActive());
        const QStringList texts = recordTexts("Live");
        QCOMPARE(texts.size(), 2);
        for (const QString& text : texts)
            QVERIFY(text.endsWith('\n')); // a new file starts at a line end only
        QVERIFY(texts.first().toUtf8().size() >= (1 << 20));
        QCOMPARE(texts.join(""), seqLineList(0, n).join('\n') + '\n');
    }

    void liveRecordFailureWarnsOnce()
    {
        MainWindow& w = openWindow(NoTime);
        QVERIFY(blockRecordFolder());
        w.form()->liveRecordCheckBox->setChecked(true);
        QVERIFY(pty->write(seqLines(0, 500)));
        QTRY_COMPARE(w.displayedLines(), qint64(500));
        QCOMPARE(boxes->calls.size(), 1);
        QCOMPARE(boxes->calls.first().title, QString("警告"));
        QVERIFY2(boxes->lastText().contains("Orv_Live_Rec_"), qPrintable(boxes->lastText()));
        QVERIFY(!w.form()->liveRecordCheckBox->isChecked());
        // The view goes on as before.
        QTRY_COMPARE(viewLineCount(w), 500);
    }

    void failedSavesGoBackInOrder()
    {
        QFETCH(int, limit);
        QFETCH(int, n);
        QFETCH(bool, oneTick);
        MainWindow& w = openWindow(NoTime | AutoSave, limit);
        if (oneTick)
            w.extraSettings()->findChild<QRadioButton*>("timeWrapRadioButton")->click();
        QVERIFY(blockRecordFolder());
        // Two clears in one burst, each save failing later: one box, the files wait in order.
        if (oneTick)
            w.slotRecvFromData(seqLines(0, n));
        else
            QVERIFY(pty->write(seqLines(0, n)));
        if (!limit) {
            QTRY_COMPARE(viewText(w), seqLine(0));
            w.form()->clearWindowButton->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.keptRecords().count(), limit ? 2 : 1, 20000);
        QTRY_COMPARE(w.recordsInHand(), 0);
        QCOMPARE(boxes->texts(), QStringList { "文件保存失败！\t" });
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), 20000);
        if (!limit)
            QCOMPARE(QList<int>({ int(viewText(w).size()), w.lines() }), QList<int>({ 0, 0 }));
        auto* diskState = w.findChild<QLabel*>("diskStateLabel");
        QVERIFY(diskState->isVisibleTo(&w));
        // Once the folder is back they are written by themselves; with the view, every line once.
        QVERIFY(unblockRecordFolder());
        QTRY_VERIFY_WITH_TIMEOUT(w.keptRecords().isEmpty() && w.recordsInHand() == 0, 10000);
        QVERIFY(!diskState->isVisibleTo(&w));
        QCOMPARE(recordLines("Auto") + (limit ? viewLines(w) : QStringList()), seqLineList(0, n));
    }

    void fullViewGoesToTheWriterWhole()
    {
        MainWindow& w = openWindow(NoTime | Shown | AutoSave, 20000);
        TextBrowser* view = w.form()->recvShowText;
        QFont font = view->font();
        font.setPointSize(font.pointSize() + 3);
        view->setFont(font);
        QVERIFY(pty->write(seqLines(0, 100)));
        QTRY_COMPARE(int(view->lineCount()), 100);
        // A word chosen, the full view saved, then a drag: the selection goes with its lines.
        QWidget* viewport = view->viewport();
        const QPoint word = view->positionRect(view->lineStart(99) + 6).center();
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, word);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, word);
        QCOMPARE(view->selectedText(), QString("seq"));
        const int n = 45000;
        QVERIFY(pty->write(seqLines(100, n - 100)));
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(n), 30000);
        QTRY_COMPARE(w.displayStage()->queuedChars(), qint64(0));
        QTRY_COMPARE(w.recordsInHand(), 0);
        QVERIFY(!view->hasSelection());
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(20, 8));
        QMouseEvent drag(QEvent::MouseMove, QPoint(60, 30), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drag);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(60, 30));
        QVERIFY(view->hasSelection());
        QVERIFY(view->toPlainText().contains(view->selectedText()));
        QCOMPARE(view->font(), font);
        expectEveryLineOnce(w, 2, n);
    }

    void mouseOnAFullViewHandedOver_data()
    {
        const auto add = columns<QString>("use");
        add("left hold across the limit", "hold");
        add("menu opened in a hold", "menu in hold");
        add("right button held", "right");
    }

    void mouseOnAFullViewHandedOver()
    {
        // The view goes to the writer whole while a button is held on it or its menu is open.
        QFETCH(QString, use);
        MainWindow& w = openWindow(NoTime | Shown | AutoSave, 20000);
        TextBrowser* view = w.form()->recvShowText;
        QWidget* viewport = view->viewport();
        // The full view was saved (its file queued or written) and cleared.
        const auto handedOver = [&] { return w.recordsInHand() + recordFiles("Auto").size() > 0; };
        const int before = 19900, sent = before + 2000; // the second part goes across the limit
        QVERIFY(pty->write(seqLines(0, before)));
        QTRY_COMPARE_WITH_TIMEOUT(int(view->lineCount()), before, 20000);
        const QPoint at(20, 10);
        const auto drag = [&](int steps) {
            for (int step = 0; step < steps; ++step) {
                QMouseEvent move(QEvent::MouseMove, at + QPoint(step * 3, step * 2), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(viewport, &move);
                QTest::qWait(50); // a hand's pace
            }
        };
        if (use == "hold") {
            // A selection begun on the full view.
            QTest::mousePress(viewport, Qt::LeftButton, {}, at);
            drag(5);
            QVERIFY(view->hasSelection());
            QVERIFY(pty->write(seqLines(before, sent - before)));
            QTRY_COMPARE(w.displayedLines(), qint64(sent));
            // The full view goes with what was held for it; the rest waits for the release. A drag
            // of a second and a half goes on over the new, empty view.
            QTRY_VERIFY(handedOver());
            drag(30);
            QVERIFY(!w.displayEnabled());
            QCOMPARE(view->toPlainText(), QString());
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at + QPoint(87, 58));
        } else {
            QTest::mousePress(viewport, use == "right" ? Qt::RightButton : Qt::LeftButton, {}, at);
            // The lines arrive while the menu is open; it is closed once the view was handed over.
            bool handedOverInMenu = false;
            QTimer::singleShot(0, [&] { QVERIFY(pty->write(seqLines(before, sent - before))); });
            QElapsedTimer open;
            open.start();
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                QWidget* menu = QApplication::activePopupWidget();
                if (!menu || (!handedOver() && open.elapsed() < 20000))
                    return;
                handedOverInMenu = handedOver();
                poll.stop();
                QTest::keyClick(menu, Qt::Key_Escape);
            });
            poll.start(20);
            QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &menuEvent);
            QVERIFY(handedOverInMenu);
            // The menu took the release; a late one reaches the view all the same.
            QTest::mouseRelease(
                viewport, use == "right" ? Qt::RightButton : Qt::LeftButton, {}, at);
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(view->lineCount()), sent - 20000, 20000);
        QVERIFY(w.displayEnabled());
        // The new view takes a hold and a release as the first one did.
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QVERIFY(pty->write(seqLines(sent, 1)));
        QTRY_COMPARE(w.displayedLines(), qint64(sent + 1));
        QTest::qWait(100); // still held a while later
        QCOMPARE(int(view->lineCount()), sent - 20000);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QVERIFY(pty->write(seqLines(sent + 1, 1)));
        QTRY_COMPARE(int(view->lineCount()), sent + 2 - 20000);
        expectEveryLineOnce(w, 1, sent + 2);
    }

    // Characters of the chosen encoding and colour codes, each byte a read of its own.
    void encodingAndColourByteByByte()
    {
        // A hand-written alias is read as the codec it names and written back by its name.
        QSettings("Settings.ini", QSettings::IniFormat).setValue("LineConfig/Encoding", "utf8");
        MainWindow& w = openWindow(NoTime | LiveRecord);
        auto* combo = w.extraSettings()->findChild<QComboBox*>("encodingComboBox");
        QCOMPARE(combo->currentData().toByteArray(), QByteArray("UTF-8"));
        const QString line = "RX←◆温度 23.5°C ✓";
        const QByteArray utf8 = ("\x1b[0;32m" + line.mid(4) + "\x1b[0m\n").toUtf8();
        for (int i = 0; i < utf8.size(); ++i) {
            QVERIFY(pty->write(utf8.mid(i, 1)));
            QTRY_COMPARE(w.received(), i + 1);
        }
        QTRY_COMPARE(viewText(w), line);
        QString green;
        for (const QTextLayout::FormatRange& r : w.form()->recvShowText->lineFormats(0))
            if (r.format.foreground().color().rgb() == AnsiDecoder::paletteColor(2))
                green += line.mid(r.start, r.length);
        QCOMPARE(green, line.mid(4));
        // The next line, drawn on its own, takes no colour from the one before.
        QVERIFY(pty->write("plain\n"));
        QTRY_COMPARE(viewLineCount(w), 2);
        QVERIFY(w.form()->recvShowText->lineFormats(1).isEmpty());
        QTRY_COMPARE(w.recordsInHand(), 0);
        QTRY_COMPARE(recordTexts("Live"), QStringList { line + "\nRX←◆plain\n" });

        // Switched off, the codes show as they came (and the choice is kept).
        w.extraSettings()->findChild<QCheckBox*>("ansiColorCheckBox")->setChecked(false);
        QCOMPARE(setting("LineConfig/AnsiColor").toBool(), false);
        QVERIFY(pty->write("\x1b[31mred\n"));
        QTRY_COMPARE(viewText(w), line + "\nRX←◆plain\nRX←◆\x1b[31mred");
        combo->setCurrentIndex(combo->findData(QByteArray("ISO-8859-1")));
        QCOMPARE(setting("LineConfig/Encoding").toString(), QString("ISO-8859-1"));
    }

private:
    enum { Hex = 16 }; // besides the opening flags: the view shows hex

    // A new window, its view holding this many lines (0: as set), opened on the pty as asked.
    MainWindow& openWindow(int flags, int maxRows = 0)
    {
        window.reset(new MainWindow);
        if (maxRows)
            window->form()->maxRowsSpinBox->setValue(maxRows);
        window->form()->showHexCheckBox->setChecked(flags & Hex);
        openPort(*window, flags);
        return *window;
    }

    // The full views (20,000 lines each) in the record files, then the view: every line sent once.
    void expectEveryLineOnce(MainWindow& w, int files, int sent)
    {
        QTRY_COMPARE(w.recordsInHand(), 0);
        QCOMPARE(recordFiles("Auto").size(), files);
        QStringList shown;
        for (const QString& text : recordTexts("Auto")) {
            QCOMPARE(text.count('\n') + 1, 20000);
            shown += text.split('\n');
        }
        QCOMPARE(shown + viewLines(w), seqLineList(0, sent));
        QCOMPARE(boxes->calls.size(), 0);
    }

    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(tst_Receive)
#include "tst_receive.moc"
