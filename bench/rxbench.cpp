// quillon-rxbench: what the receive pipeline of the real main window sustains — shown bytes and
// lines per second, CPU, event-loop stalls, peak memory, and lines lost or shown twice — fed
// through a pseudo-terminal by a writer thread. Each case runs in a fresh child process.
#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "bench/paintcounter.h"
#include "bench/ptywriter.h"
#include "bench/rxstream.h"
#include "benchutil.h"
#include "serial/core/liverecord.h"
#include "ui_mainwindow.h"
#include "views/logfilterdialog.h"
#include "views/textbrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPair>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using BenchUtil::quietHandler;
using BenchUtil::statusMb;

namespace {

struct Case {
    const char* name;
    bool hex;
    qint64 rate; // bytes per second; 0 as fast as the window drains the pty; < 0 nothing
    int maxRows; // the view's line limit
    qint64 lineCount; // > 0: send this many lines and stop, instead of running for a time
    bool inAll; // run when no case is named
    bool highlight = false; // 16 highlighted keywords and 4 log-filter keywords
    bool floor = false; // the same lines at the same pace into a bare view, no pipeline
    bool live = false; // "实时保存到文件" on: every line also goes to the live record file
    bool timeStamps = true;
};

const Case kCases[] = {
    { "text-ts-200k", false, 200000, 100000, 0, true },
    // What drawing those lines costs at all: the floor under text-ts-200k.
    { "floor-200k", false, 200000, 100000, 0, true, false, true },
    { "text-ts-max", false, 0, 100000, 0, true },
    { "text-max", false, 0, 100000, 0, true, false, false, false, false },
    { "hex-max", true, 0, 100000, 0, true },
    { "text-limit", false, 0, 20000, 0, true },
    // The 100000th line clears the view: one less is the fullest it ever gets.
    { "text-100k-lines", false, 0, 100000, 99999, true },
    // The same full view with keywords highlighted: what closing the program then costs.
    { "text-100k-lines-hl", false, 0, 100000, 99999, true, true },
    // What a user watching for something does: keywords highlighted and the log filter fed.
    { "text-ts-200k-hl", false, 200000, 100000, 0, true, true },
    { "text-ts-max-hl", false, 0, 100000, 0, true, true },
    // The live record's cost, and whether it keeps up: its file is checked like the view.
    { "text-ts-200k-live", false, 200000, 100000, 0, true, false, false, true },
    { "text-ts-max-live", false, 0, 100000, 0, true, false, false, true },
    // Long views: a line limit of a million, and what memory, clearing and closing then cost.
    { "text-1m-lines", false, 0, 1000000, 999999, false },
    { "text-1m-lines-hl", false, 0, 1000000, 999999, false, true },
    // The open, idle window with the stall probe: the floor under every CPU figure.
    { "idle", false, -1, 100000, 0, false },
};

struct Options {
    const Case* only = nullptr;
    double seconds = 10;
    bool header = true;
    bool autoSave = true;
    bool paintStats = false;
    bool probe = true; // the 1 ms stall probe; it costs ~3 % of a core itself
    QStringList tries;
};

struct Result {
    double bytesPerSecond = 0;
    double linesPerSecond = 0;
    double cpuPercent = 0;
    double maxStallMs = 0;
    double peakRssMb = 0;
    RxStream::Outcome outcome;
    qint64 bad = 0;
};

void printHeader()
{
    std::printf("%-16s %12s %10s %7s %13s %12s %8s %8s %6s\n", "case", "B/s shown", "lines/s",
        "CPU %", "max stall ms", "peak RSS MB", "lost", "dup", "bad");
    std::fflush(stdout);
}

void printRow(const char* name, const Result& r)
{
    std::printf("%-16s %12.0f %10.0f %7.1f %13.1f %12.1f %8lld %8lld %6lld\n", name,
        r.bytesPerSecond, r.linesPerSecond, r.cpuPercent, r.maxStallMs, r.peakRssMb,
        static_cast<long long>(r.outcome.lost), static_cast<long long>(r.outcome.duplicated),
        static_cast<long long>(r.bad));
    std::fflush(stdout);
}

double processCpuSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The busy and total jiffies of the whole machine, from the first line of /proc/stat.
QPair<qint64, qint64> machineJiffies()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return { 0, 0 };
    const QList<QByteArray> f = stat.readLine().simplified().split(' ');
    qint64 total = 0;
    qint64 idle = 0;
    for (int i = 1; i < f.size(); ++i) {
        total += f.at(i).toLongLong();
        if (i == 4 || i == 5) // idle, iowait
            idle += f.at(i).toLongLong();
    }
    return { total - idle, total };
}

// Seconds the calling thread has spent waiting for a CPU while runnable (/proc schedstat).
double runQueueWaitSeconds()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    return stat.readAll().simplified().split(' ').value(1).toDouble() / 1e9;
}

// Candidate changes to the window, applied from outside so that their gain can be measured
// before anyone changes the program.
const QStringList kTries = { QStringLiteral("fixed-labels"), QStringLiteral("no-shaping"),
    QStringLiteral("paint-25hz") };

void applyTry(MainWindow& w, const QString& change)
{
    if (change == QLatin1String("fixed-labels")) {
        // A label of fixed size does not ask its layout to re-run when its text changes, so the
        // status bar is not re-laid out and repainted whole on every counter update.
        for (QLabel* label : w.statusBar()->findChildren<QLabel*>()) {
            const QSize hint = label->sizeHint().expandedTo(label->minimumSize());
            label->setFixedSize(
                hint.width() + label->fontMetrics().averageCharWidth() * 2, hint.height());
        }
    } else if (change == QLatin1String("no-shaping")) {
        // Lines without complex scripts are laid out without the shaping engine.
        TextBrowser* view = w.form()->recvShowText;
        QFont font = view->font();
        font.setStyleStrategy(QFont::PreferNoShaping);
        view->setFont(font);
    } else if (change == QLatin1String("paint-25hz")) {
        // The view keeps taking lines every tick but is drawn at most every 40 ms.
        TextBrowser* view = w.form()->recvShowText;
        auto* timer = new QTimer(&w);
        QObject::connect(timer, &QTimer::timeout, view, [view] {
            view->setUpdatesEnabled(true);
            view->repaint();
            view->setUpdatesEnabled(false);
        });
        view->setUpdatesEnabled(false);
        timer->start(40);
    }
}

// Highlighted keywords as a user would pick them for this stream: "seq" is on every line, a
// letter run on one line in 26, two numbers on one line each; the rest never occur. The
// highlighter matches whole words, case-sensitively.
const char* const kHighlightWords[] = { "seq", "ABCDEFGHIJKLMNOPQRSTUVWXY",
    "NOPQRSTUVWXYZABCDEFGHIJKL", "00012345", "00100000", "ERROR", "error", "WARN", "FAIL",
    "timeout", "CRC", "overrun", "reset", "panic", "assert", "NACK" };
static_assert(sizeof kHighlightWords / sizeof *kHighlightWords == 16, "one word per row");

// The log filter's four keywords (substrings, any case): one line, one line in 26, never, never.
const char* const kFilterWords[]
    = { "seq=00054321", "XYZABCDEFGHIJKLMNOPQRSTUV", "ERROR", "timeout" };

// The keyword dialog reads its rows from Settings.ini when the window is built.
void writeHighlightSettings()
{
    QSettings settings(QStringLiteral("./Settings.ini"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("KeyHighlightConfig"));
    const QColor colors[] = { Qt::red, Qt::blue, Qt::darkGreen, Qt::magenta };
    for (int i = 0; i < 16; ++i) {
        settings.setValue(QStringLiteral("KHCEnable%1").arg(i), true);
        settings.setValue(QStringLiteral("KHCColor%1").arg(i), colors[i % 4]);
        settings.setValue(QStringLiteral("KHCText%1").arg(i), QLatin1String(kHighlightWords[i]));
    }
    settings.endGroup();
}

bool setFilterWords(MainWindow& w)
{
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("key%1LineEdit").arg(i + 1);
        auto* edit = w.logFilter()->findChild<QLineEdit*>(name);
        if (!edit)
            return false;
        edit->setText(QLatin1String(kFilterWords[i]));
    }
    return true;
}

// Hands a case's CPU figure to the parent run, which reports the ratio to the floor.
void recordCpu(const char* name, double cpuPercent)
{
    const QByteArray path = qgetenv("QUILLON_RXBENCH_CPU");
    if (path.isEmpty())
        return;
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write(QByteArray(name) + ' ' + QByteArray::number(cpuPercent, 'f', 2) + '\n');
}

// The floor: time-stamped lines appended to a bare TextBrowser every 40 ms (the window's redraw
// pace), at the case's byte rate, with the window's font and line limit.
int runFloor(const Case& c, const Options& opt)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    static int argc = 1;
    static char arg0[] = "quillon-rxbench";
    static char* argv[] = { arg0, nullptr };
    QApplication app(argc, argv);
    TextBrowser view;
    QFont font(QStringLiteral("新宋体"), 10);
    font.setStyleHint(QFont::TypeWriter, QFont::PreferNoShaping);
    font.setFixedPitch(true);
    view.setFont(font);
    view.resize(760, 420);
    view.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    QElapsedTimer clock;
    qint64 sent = 0;
    int inView = 0;
    qint64 lastProbe = 0;
    qint64 maxGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGap = std::max(maxGap, now - lastProbe);
        lastProbe = now;
    });
    QTimer pace;
    pace.setInterval(40);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const qint64 due = clock.elapsed() * c.rate / 1000 / RxStream::LineBytes;
        if (due <= sent)
            return;
        const QString prefix
            = QStringLiteral("[%1]RX←◆")
                  .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")));
        QString block;
        for (; sent < due; ++sent) {
            if (!block.isEmpty())
                block += QLatin1Char('\n');
            block += prefix + QString::fromLatin1(RxStream::line(quint32(sent), false).chopped(2));
            if (++inView >= c.maxRows) {
                view.appendPlainText(block);
                block.clear();
                view.clear();
                inView = 0;
            }
        }
        if (!block.isEmpty())
            view.appendPlainText(block);
    });
    const double cpuStart = processCpuSeconds();
    clock.start();
    if (opt.probe)
        probe.start();
    pace.start();
    QTimer::singleShot(int(opt.seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    Result r;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    r.cpuPercent = 100.0 * (processCpuSeconds() - cpuStart) / seconds;
    r.linesPerSecond = double(sent) / seconds;
    r.bytesPerSecond = r.linesPerSecond * RxStream::LineBytes;
    r.maxStallMs = double(maxGap) / 1e6;
    r.peakRssMb = statusMb("VmHWM");
    if (opt.header)
        printHeader();
    printRow(c.name, r);
    recordCpu(c.name, r.cpuPercent);
    return 0;
}

int runCase(const Case& c, const Options& opt)
{
    if (c.floor)
        return runFloor(c, opt);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A fresh working folder: Settings.ini and the Record files of this run only.
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "%s: cannot make a working folder\n", c.name);
        return 2;
    }
    PtyWriter pty;
    if (!pty.isOpen()) {
        std::fprintf(stderr, "%s: openpty failed\n", c.name);
        return 2;
    }
    qputenv("QUILLON_EXTRA_PORTS", (pty.slavePath() + QStringLiteral("=rxbench")).toLocal8Bit());

    qInstallMessageHandler(quietHandler);
    static int argc = 1;
    static char arg0[] = "quillon-rxbench";
    static char* argv[] = { arg0, nullptr };
    QApplication app(argc, argv);

    QStringList boxes;
    MsgBox::setHandler([&boxes](const MsgBox::Call& call) {
        boxes.append(call.text.trimmed());
        return QMessageBox::Ok;
    });

    if (c.highlight)
        writeHighlightSettings();
    // On the heap, so that closing it can be timed after the run.
    auto window = std::make_unique<MainWindow>();
    MainWindow& w = *window;
    w.show();
    Ui::MainWindow* f = w.form();
    f->showTimeCheckBox->setChecked(c.timeStamps);
    if (f->showHexCheckBox->isChecked() != c.hex)
        f->showHexCheckBox->click();
    f->maxRowsSpinBox->setValue(c.maxRows);
    f->autoSlaveLogToFileCheckBox->setChecked(opt.autoSave);
    f->liveRecordCheckBox->setChecked(c.live);
    w.liveRecorder()->setMetered(true);
    if (c.highlight) {
        f->keyHighlightCheckBox->setChecked(true);
        if (!setFilterWords(w)) {
            std::fprintf(stderr, "%s: the log filter has no keyword fields\n", c.name);
            return 2;
        }
    }
    const int index
        = f->serialNumComboBox->findText(pty.slavePath() + QLatin1Char(' '), Qt::MatchStartsWith);
    if (index < 0) {
        std::fprintf(stderr, "%s: the pty is not in the port list\n", c.name);
        return 2;
    }
    f->serialNumComboBox->setCurrentIndex(index);
    f->openSerialButton->click();
    if (!w.port()->isOpen()) {
        std::fprintf(stderr, "%s: the port did not open\n", c.name);
        return 2;
    }
    // Let the window settle (first paint, start-up boxes) before the clock starts.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int startupBoxes = boxes.size();

    QElapsedTimer clock;
    qint64 lastProbe = 0;
    qint64 maxGap = 0;
    int stalls50 = 0;
    int lastLineCount = w.lines();
    // The longest gaps, and whether the view was cleared (line limit, byte counter) within them.
    struct Gap {
        qint64 ns;
        qint64 endNs;
        bool clear;
        int added; // lines that entered the view within the gap
    };
    int lastBlocks = 0;
    std::vector<Gap> gaps;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - lastProbe;
        const bool cleared = w.lines() < lastLineCount;
        lastLineCount = w.lines();
        const int blocks = int(f->recvShowText->lineCount());
        const int added = blocks - lastBlocks;
        lastBlocks = blocks;
        maxGap = std::max(maxGap, gap);
        stalls50 += gap > 50000000;
        if (gap > 20000000) {
            gaps.push_back({ gap, now, cleared, added });
            std::sort(
                gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.ns > b.ns; });
            if (gaps.size() > 5)
                gaps.pop_back();
        }
        lastProbe = now;
    });

    for (const QString& change : opt.tries)
        applyTry(w, change);

    PaintCounter paints;
    if (opt.paintStats)
        paints.start();
    qint64 readyReads = 0;
    QObject::connect(w.port(), &QSerialPort::readyRead, [&readyReads] { ++readyReads; });

    const double cpuStart = processCpuSeconds();
    const auto machineStart = machineJiffies();
    const double waitStart = runQueueWaitSeconds();
    clock.start();
    if (opt.probe)
        probe.start();
    const bool sending = c.rate >= 0;
    if (sending)
        pty.start(c.hex, c.rate, c.lineCount);

    // The measured window: until the deadline for timed cases, until everything is shown for
    // counted ones. Draining what is still buffered afterwards only serves the line check.
    qint64 windowNs = 0;
    qint64 windowLines = 0;
    double windowCpu = 0;
    double windowOthers = 0;
    double windowWait = 0;
    qint64 windowReads = 0;
    qint64 windowLiveNs = 0;
    const qint64 liveStartNs = w.liveRecorder()->cpuNanoseconds();
    const auto endWindow = [&] {
        windowNs = clock.nsecsElapsed();
        windowLiveNs = w.liveRecorder()->cpuNanoseconds() - liveStartNs;
        windowLines = w.displayedLines();
        windowReads = readyReads;
        const double processCpu = processCpuSeconds() - cpuStart;
        windowCpu = processCpu - pty.cpuSeconds();
        windowWait = runQueueWaitSeconds() - waitStart;
        const auto machine = machineJiffies();
        const double ticks = double(::sysconf(_SC_CLK_TCK));
        windowOthers = double(machine.first - machineStart.first) / ticks - processCpu;
        paints.stop();
    };

    qint64 lastLines = -1;
    qint64 lastProgressNs = 0;
    bool drained = false;
    qint64 allShownNs = 0;
    QTimer monitor;
    monitor.setInterval(20);
    QObject::connect(&monitor, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 shown = w.displayedLines();
        if (shown != lastLines) {
            lastLines = shown;
            lastProgressNs = now;
        }
        const bool allShown = !sending || (pty.finished() && shown >= pty.linesSent());
        const bool stuck = now - lastProgressNs > 5000000000LL;
        // Counted lines reach the view on its next redraw (every 40 ms at most): the line check
        // waits for that, but the measured window ends when the last line is counted.
        if (allShown && allShownNs == 0) {
            allShownNs = now;
            if (windowNs == 0)
                endWindow();
        }
        const bool settled = allShown && now - allShownNs > 300000000LL;
        if (settled || stuck || pty.failed()) {
            drained = allShown;
            if (windowNs == 0)
                endWindow();
            monitor.stop();
            app.quit();
        }
    });

    if (c.lineCount > 0) {
        monitor.start();
    } else {
        QTimer::singleShot(int(opt.seconds * 1000), Qt::PreciseTimer, [&] {
            endWindow();
            pty.stop();
            monitor.start();
        });
    }
    app.exec();
    probe.stop();
    const qint64 drainNs = clock.nsecsElapsed() - windowNs;

    Result r;
    r.peakRssMb = statusMb("VmHWM");
    const double windowSeconds = double(windowNs) / 1e9;
    r.linesPerSecond = double(windowLines) / windowSeconds;
    r.bytesPerSecond = r.linesPerSecond * RxStream::LineBytes;
    r.cpuPercent = 100.0 * windowCpu / windowSeconds;
    r.maxStallMs = double(maxGap) / 1e6;
    pty.join();

    // Every line sent must be in the view or in a record file written before a clear, once.
    RxStream::Tally tally;
    tally.seen.assign(size_t(pty.linesSent()), 0);
    RxStream::tallyText(f->recvShowText->toPlainText().toUtf8(), c.hex, tally);
    const QStringList files = QDir(QStringLiteral("Record"))
                                  .entryList({ QStringLiteral("Orv_Auto_Rec_*.txt") }, QDir::Files);
    for (const QString& name : files) {
        QFile file(QStringLiteral("Record/") + name);
        if (file.open(QIODevice::ReadOnly))
            RxStream::tallyText(file.readAll(), c.hex, tally);
    }
    r.outcome = RxStream::outcome(tally, opt.autoSave);
    r.bad = tally.bad;
    if (c.live) {
        // The live files alone must hold every line sent, once.
        RxStream::Tally liveTally;
        liveTally.seen.assign(size_t(pty.linesSent()), 0);
        const QStringList liveFiles
            = QDir(QStringLiteral("Record"))
                  .entryList({ QStringLiteral("Orv_Live_Rec_*.txt") }, QDir::Files);
        for (const QString& name : liveFiles) {
            QFile file(QStringLiteral("Record/") + name);
            if (file.open(QIODevice::ReadOnly))
                RxStream::tallyText(file.readAll(), c.hex, liveTally);
        }
        const RxStream::Outcome live = RxStream::outcome(liveTally, true);
        std::fprintf(stderr, "# %s: live record: %d file(s), %lld lost, %lld twice, %lld bad\n",
            c.name, int(liveFiles.size()), static_cast<long long>(live.lost),
            static_cast<long long>(live.duplicated), static_cast<long long>(liveTally.bad));
        // Its own time, measured on the GUI thread around every append and write, so the
        // figure does not drown in the run-to-run spread of the whole process.
        std::fprintf(stderr, "# %s: live record's own CPU: %.0f ms in %.1f s = %.2f %% of a core\n",
            c.name, double(windowLiveNs) / 1e6, windowSeconds,
            100.0 * double(windowLiveNs) / 1e9 / windowSeconds);
    }

    if (opt.header)
        printHeader();
    printRow(c.name, r);
    recordCpu(c.name, r.cpuPercent);
    const int cores = int(::sysconf(_SC_NPROCESSORS_ONLN));
    std::fprintf(stderr,
        "# %s: %lld reads of the port (~%.0f B each); GUI thread waited %.2f s for a CPU; "
        "other processes kept %.0f%% of the %d cores busy\n",
        c.name, static_cast<long long>(windowReads),
        windowReads ? double(windowLines) * RxStream::LineBytes / double(windowReads) : 0.0,
        windowWait, 100.0 * windowOthers / windowSeconds / cores, cores);
    QString cleared;
    if (r.outcome.cleared)
        cleared = QStringLiteral("; %1 line(s) cleared unsaved").arg(r.outcome.cleared);
    std::fprintf(stderr,
        "# %s: %.1f s, sent %lld lines, shown %lld; %s after %.1f s more; %d record "
        "file(s); %d probe gap(s) > 50 ms; RSS now %.1f MB%s\n",
        c.name, windowSeconds, static_cast<long long>(pty.linesSent()),
        static_cast<long long>(w.displayedLines()), drained ? "drained" : "NOT drained",
        double(drainNs) / 1e9, int(files.size()), stalls50, statusMb("VmRSS"), qPrintable(cleared));
    QString gapText;
    for (const Gap& g : gaps)
        gapText += QStringLiteral(" %1 ms at %2 s%3")
                       .arg(double(g.ns) / 1e6, 0, 'f', 1)
                       .arg(double(g.endNs) / 1e9, 0, 'f', 2)
                       .arg(g.clear ? QStringLiteral(" (view cleared)")
                                    : QStringLiteral(" (%1 lines added)").arg(g.added));
    if (!gapText.isEmpty())
        std::fprintf(stderr, "# %s: longest gaps:%s\n", c.name, qPrintable(gapText));
    if (opt.paintStats)
        std::fprintf(stderr, "# %s: paint and layout-request events in the window:\n%s", c.name,
            qPrintable(paints.report()));
    if (c.highlight) {
        // Every line sent that holds a filter word must be shown by the filter, once.
        const auto matches = [](const QString& line) {
            for (const char* word : kFilterWords)
                if (line.contains(QLatin1String(word), Qt::CaseInsensitive))
                    return true;
            return false;
        };
        qint64 sentMatches = 0;
        for (qint64 seq = 0; seq < pty.linesSent(); ++seq)
            sentMatches += matches(QString::fromLatin1(RxStream::line(quint32(seq), false)));
        const auto* filtered
            = w.logFilter()->findChild<QTextBrowser*>(QStringLiteral("textBrowser"));
        qint64 shownMatches = 0;
        if (filtered) {
            const QStringList shownLines = filtered->toPlainText().split(QLatin1Char('\n'));
            for (const QString& line : shownLines)
                shownMatches += matches(line);
        }
        const LogFilterCore& core = w.logFilter()->filter();
        std::fprintf(stderr,
            "# %s: the log filter shows %lld of the %lld matching line(s) sent (%s); its cache "
            "holds %d line(s), %lld character(s); %lld line(s) dropped unexamined\n",
            c.name, static_cast<long long>(shownMatches), static_cast<long long>(sentMatches),
            shownMatches == sentMatches ? "all" : "MISSING SOME", int(core.lines().size()),
            static_cast<long long>(core.cachedChars()),
            static_cast<long long>(core.droppedTotal()));
    }
    for (int i = startupBoxes; i < boxes.size(); ++i)
        std::fprintf(stderr, "# %s: message box: %s\n", c.name, qPrintable(boxes.at(i)));
    // Clearing a full view by hand (its lines go to the writer) is a pause the user sees; the
    // highlighted cases keep their view for the close below.
    if (c.lineCount > 0 && !c.highlight) {
        QElapsedTimer clearing;
        clearing.start();
        w.form()->clearWindowButton->click();
        std::fprintf(stderr, "# %s: clearing the full view took %.2f ms\n", c.name,
            double(clearing.nsecsElapsed()) / 1e6);
    }
    // Closing the window with a full view is a pause the user sees too.
    QElapsedTimer closing;
    closing.start();
    window.reset();
    std::fprintf(stderr, "# %s: deleting the window took %.2f s\n", c.name,
        double(closing.nsecsElapsed()) / 1e9);
    MsgBox::setHandler({});
    return pty.failed() ? 1 : 0;
}

const Case* findCase(const std::string& name)
{
    for (const Case& c : kCases)
        if (name == c.name)
            return &c;
    return nullptr;
}

// Each case in a child of its own, so that its peak RSS is its own.
int runAll(const Options& opt)
{
    QTemporaryDir results;
    const QString cpuFile = results.path() + QStringLiteral("/cpu");
    qputenv("QUILLON_RXBENCH_CPU", cpuFile.toLocal8Bit());
    printHeader();
    int failures = 0;
    for (const Case& c : kCases) {
        if (!c.inAll)
            continue;
        std::fflush(stdout);
        std::fflush(stderr);
        const std::string seconds = std::to_string(opt.seconds);
        std::vector<std::string> args
            = { "quillon-rxbench", "--case", c.name, "--seconds", seconds, "--no-header" };
        if (!opt.autoSave)
            args.push_back("--no-autosave");
        if (opt.paintStats)
            args.push_back("--paint-stats");
        if (!opt.probe)
            args.push_back("--no-probe");
        for (const QString& change : opt.tries) {
            args.push_back("--try");
            args.push_back(change.toStdString());
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execv("/proc/self/exe", argv.data());
            std::_Exit(127);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)
            || WEXITSTATUS(status) != 0) {
            std::printf("%-16s failed (status %d)\n", c.name, status);
            ++failures;
        }
    }
    // Quillon's CPU against the bare view's, at the same rate and pace.
    QFile file(cpuFile);
    QMap<QByteArray, double> cpu;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains(' '))
                cpu[line.left(line.indexOf(' '))] = line.mid(line.indexOf(' ') + 1).toDouble();
    if (cpu.value("floor-200k") > 0)
        for (const char* name : { "text-ts-200k", "text-ts-200k-hl" })
            if (cpu.contains(name))
                std::printf("# CPU of %s: %.2f x the floor (%.1f %% against %.1f %%)\n", name,
                    cpu.value(name) / cpu.value("floor-200k"), cpu.value(name),
                    cpu.value("floor-200k"));
    return failures ? 1 : 0;
}

void usage()
{
    std::printf("usage: quillon-rxbench [--case NAME] [--seconds N] [--no-autosave]"
                " [--paint-stats] [--no-probe] [--try CHANGE]...\n"
                "  --case NAME     run one case in this process (default: every case, each in a"
                " child)\n"
                "  --seconds N     length of the timed cases (default 10)\n"
                "  --no-autosave   leave \"auto save to file\" off; lines cleared from the view"
                " then go unchecked\n"
                "  --paint-stats   count paint and layout events per widget (on stderr)\n"
                "  --no-probe      no 1 ms stall probe (CPU figures without its ~3 %%; no stall"
                " figure)\n"
                "  --try CHANGE    apply a candidate change to the window from outside before"
                " the run,\n"
                "                  to measure what it would gain: fixed-labels, no-shaping,"
                " paint-25hz\n"
                "cases:");
    for (const Case& c : kCases)
        std::printf(" %s", c.name);
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--case" && i + 1 < argc) {
            opt.only = findCase(argv[++i]);
            if (!opt.only) {
                std::fprintf(stderr, "unknown case: %s\n", argv[i]);
                usage();
                return 2;
            }
        } else if (a == "--seconds" && i + 1 < argc) {
            opt.seconds = std::atof(argv[++i]);
            if (!(opt.seconds > 0)) {
                usage();
                return 2;
            }
        } else if (a == "--no-header") {
            opt.header = false;
        } else if (a == "--try" && i + 1 < argc) {
            const QString change = QString::fromLocal8Bit(argv[++i]);
            if (!kTries.contains(change)) {
                std::fprintf(stderr, "unknown change: %s\n", argv[i]);
                usage();
                return 2;
            }
            opt.tries.append(change);
        } else if (a == "--paint-stats") {
            opt.paintStats = true;
        } else if (a == "--no-probe") {
            opt.probe = false;
        } else if (a == "--no-autosave") {
            opt.autoSave = false;
        } else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }
    if (opt.only) {
        // A watchdog, so that a wedged window cannot hold a whole benchmark run.
        ::alarm(unsigned(opt.seconds * 3) + 180);
        return runCase(*opt.only, opt);
    }
    return runAll(opt);
}
