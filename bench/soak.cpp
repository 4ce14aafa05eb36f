// quillon-soak: the device simulator streams its mixed log into the real main window for minutes,
// as fast as the window takes it, with a small line limit and auto-save on, so that the view is
// saved and cleared hundreds of times. At the end the record files plus the view must hold, line
// for line, what the simulator sent, and the resident memory must have stayed flat.
#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "benchutil.h"
#include "serial/core/displaystage.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSpinBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <csignal>
#include <malloc.h>
#include <sys/types.h>
#include <unistd.h>

using BenchUtil::quietHandler;
using BenchUtil::statusMb;

namespace {

struct Options {
    double minutes = 10;
    qint64 rate = 0; // 0: as fast as the pty takes the bytes
    int maxRows = 2000;
    QString devsim;
    bool keep = false;
};

const QString& marker()
{
    static const QString m = QStringLiteral("RX←◆");
    return m;
}

// The simulator's running number "#000123" right after the marker; -1 when there is none.
qint64 sequenceOf(const QString& line)
{
    int i = line.startsWith(marker()) ? marker().size() : 0;
    if (i >= line.size() || line.at(i) != QLatin1Char('#'))
        return -1;
    qint64 seq = 0;
    int digits = 0;
    for (++i; i < line.size() && line.at(i).isDigit() && digits < 18; ++i, ++digits)
        seq = seq * 10 + line.at(i).digitValue();
    return digits ? seq : -1;
}

// What the simulator recorded, as the view shows it with time stamps off: GBK, one line per LF
// with its CRs dropped, blank lines skipped, the RX marker in front. Read in chunks: a long run
// records hundreds of megabytes.
class SentLines {
public:
    explicit SentLines(const QString& path)
        : file(path)
        , gbk(QTextCodec::codecForName("GBK"))
    {
        file.open(QIODevice::ReadOnly);
    }
    bool isOpen() const { return file.isOpen() && gbk; }
    qint64 bytes() const { return file.size(); }

    bool next(QString& line)
    {
        for (;;) {
            int end = buffer.indexOf('\n', pos);
            if (end < 0) {
                buffer.remove(0, pos);
                pos = 0;
                const QByteArray more = file.read(1 << 20);
                if (!more.isEmpty()) {
                    buffer.append(more);
                    continue;
                }
                if (buffer.isEmpty())
                    return false;
                end = buffer.size(); // a last line without LF
                unterminated = true;
            }
            int n = end - pos;
            while (n > 0 && buffer.at(pos + n - 1) == '\r')
                --n;
            const QByteArray raw = buffer.mid(pos, n);
            if (end == buffer.size()) {
                buffer.clear();
                pos = 0;
            } else {
                pos = end + 1;
            }
            if (raw.isEmpty())
                continue;
            // The window shows a lead byte left unpaired by the cut as a replacement character.
            line = marker() + gbk->toUnicode(raw + '\n');
            line.chop(1);
            ++count;
            return true;
        }
    }
    qint64 lines() const { return count; }
    // The line just returned had no LF: the sending was cut inside it.
    bool lastWasUnterminated() const { return unterminated; }

private:
    bool unterminated = false;
    QFile file;
    QTextCodec* gbk;
    QByteArray buffer;
    int pos = 0;
    qint64 count = 0;
};

// The auto-save files in the order they were written: the time in the name to the second, then
// no suffix before "_2", "_3", … "_10".
QStringList recordFilesInOrder(const QString& folder)
{
    static const QRegularExpression kName(
        QStringLiteral(R"(_(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)(?:_(\d+))?\.txt$)"));
    struct Entry {
        QString when;
        int suffix;
        QString name;
    };
    std::vector<Entry> entries;
    const QStringList names
        = QDir(folder).entryList({ QStringLiteral("Orv_Auto_Rec_*.txt") }, QDir::Files);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = kName.match(name);
        entries.push_back({ m.hasMatch() ? m.captured(1) : QString(),
            m.hasMatch() && m.capturedLength(2) ? m.captured(2).toInt() : 1, name });
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.when != b.when ? a.when < b.when : a.suffix < b.suffix;
    });
    QStringList ordered;
    for (const Entry& e : entries)
        ordered.append(folder + QLatin1Char('/') + e.name);
    return ordered;
}

struct Comparison {
    qint64 matched = 0;
    qint64 lost = 0;
    qint64 extra = 0;
    QStringList examples;
};

void note(Comparison& c, const QString& what, const QString& where, const QString& line)
{
    if (c.examples.size() < 8)
        c.examples.append(QStringLiteral("%1 (%2): %3").arg(what, where, line.left(120)));
}

// Walks the shown lines against the sent ones; on a difference the running numbers tell a line
// that never came (lost) from one that should not be there (extra).
void compareText(const QString& text, const QString& where, SentLines& sent, QString& expected,
    bool& more, Comparison& c)
{
    for (const QStringRef& ref : text.splitRef(QLatin1Char('\n'))) {
        QString shown = ref.toString();
        while (shown.endsWith(QLatin1Char('\r')))
            shown.chop(1);
        if (shown.isEmpty())
            continue;
        if (more && shown == expected) {
            ++c.matched;
            more = sent.next(expected);
            continue;
        }
        const qint64 seq = sequenceOf(shown);
        if (more && seq >= 0 && sequenceOf(expected) >= 0 && seq > sequenceOf(expected)) {
            while (more && sequenceOf(expected) < seq) {
                ++c.lost;
                note(c, QStringLiteral("lost"), where, expected);
                more = sent.next(expected);
            }
            if (more && shown == expected) {
                ++c.matched;
                more = sent.next(expected);
                continue;
            }
        }
        ++c.extra;
        note(c, QStringLiteral("extra"), where, shown);
        // The same number with other text: the sent line did not arrive as it was.
        if (more && seq >= 0 && seq == sequenceOf(expected)) {
            ++c.lost;
            more = sent.next(expected);
        }
    }
}

int run(const Options& opt)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    work.setAutoRemove(!opt.keep);
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "soak: cannot make a working folder\n");
        return 2;
    }
    qInstallMessageHandler(quietHandler);
    static int argc = 1;
    static char arg0[] = "quillon-soak";
    static char* argv[] = { arg0, nullptr };
    QApplication app(argc, argv);

    QStringList boxes;
    MsgBox::setHandler([&boxes](const MsgBox::Call& call) {
        boxes.append(call.text.trimmed());
        return QMessageBox::Ok;
    });

    const QString link = work.filePath(QStringLiteral("soak-link"));
    const QString recordPath = work.filePath(QStringLiteral("sent.bin"));
    const double seconds = opt.minutes * 60;
    QProcess devsim;
    devsim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    devsim.start(opt.devsim,
        { QStringLiteral("--link"), link, QStringLiteral("--rate"), QString::number(opt.rate),
            QStringLiteral("--record"), recordPath });
    // The simulator announces its pty once the link is in place.
    QElapsedTimer wait;
    wait.start();
    while (
        !devsim.canReadLine() && wait.elapsed() < 10000 && devsim.state() != QProcess::NotRunning)
        devsim.waitForReadyRead(200);
    if (!devsim.canReadLine() || !QFileInfo::exists(link)) {
        std::fprintf(stderr, "soak: %s did not start\n", qPrintable(opt.devsim));
        return 2;
    }
    std::fprintf(stderr, "# soak: simulator %s", devsim.readLine().constData());
    qputenv("QUILLON_EXTRA_PORTS", (link + QStringLiteral("=soak")).toLocal8Bit());

    MainWindow w;
    w.show();
    Ui::MainWindow* f = w.form();
    f->showTimeCheckBox->setChecked(false);
    if (f->showHexCheckBox->isChecked())
        f->showHexCheckBox->click();
    f->maxRowsSpinBox->setValue(opt.maxRows);
    f->autoSlaveLogToFileCheckBox->setChecked(true);
    const int index = f->serialNumComboBox->findText(link + QLatin1Char(' '), Qt::MatchStartsWith);
    if (index < 0) {
        std::fprintf(stderr, "soak: the simulator's link is not in the port list\n");
        return 2;
    }
    f->serialNumComboBox->setCurrentIndex(index);
    f->openSerialButton->click();
    if (!w.port()->isOpen()) {
        std::fprintf(stderr, "soak: the port did not open\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();

    // The longest gaps between two ticks of a 1 ms timer: how long the event loop was held. The
    // soak's own sampling (it lists a folder of 100,000 files and more) is not the window's, and
    // is taken out of the gap it falls in.
    qint64 lastProbe = 0;
    qint64 maxGap = 0;
    int stalls50 = 0;
    struct Gap {
        qint64 ns;
        qint64 endNs;
    };
    std::vector<Gap> gaps;
    qint64 maxSampleNs = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - lastProbe;
        maxGap = std::max(maxGap, gap);
        stalls50 += gap > 50000000;
        if (gap > 20000000) {
            gaps.push_back({ gap, now });
            std::sort(
                gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.ns > b.ns; });
            if (gaps.size() > 5)
                gaps.pop_back();
        }
        lastProbe = now;
    });
    probe.start(1);

    struct Sample {
        double t;
        double rssMb;
        qint64 shown;
        int files;
    };
    std::vector<Sample> samples;
    // Counted one entry at a time: a list of every name per sample is a temporary that grows
    // with the files, and so grew the heap the soak measures.
    const auto recordFiles = [] {
        int n = 0;
        for (QDirIterator it(QStringLiteral("Record"), QDir::Files); it.hasNext(); it.next())
            ++n;
        return n;
    };
    const auto sample = [&] {
        const qint64 sampleStart = clock.nsecsElapsed();
        const Sample s { double(clock.elapsed()) / 1000, statusMb("VmRSS"), w.displayedLines(),
            recordFiles() };
        samples.push_back(s);
        // Heap in use against what malloc holds: tells a leak from fragmentation.
        const struct mallinfo2 mi = mallinfo2();
        std::fprintf(stderr,
            "# soak: %6.0f s  RSS %6.1f MB  lines shown %10lld  files %5d  heap in use %6.1f MB"
            " of %6.1f MB\n",
            s.t, s.rssMb, static_cast<long long>(s.shown), s.files,
            double(mi.uordblks + mi.hblkhd) / 1e6, double(mi.arena + mi.hblkhd) / 1e6);
        const qint64 spent = clock.nsecsElapsed() - sampleStart;
        maxSampleNs = std::max(maxSampleNs, spent);
        lastProbe += spent;
    };
    sample();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(10000);

    // The end: the simulator is paused and the window shows its backlog while the port is still
    // there (a port that vanishes takes its unshown backlog with it, up to 16 MiB); only then is
    // the simulator ended. Its record holds exactly the bytes the pty accepted.
    enum class Phase { Streaming, Draining, Ending } phase = Phase::Streaming;
    double streamSeconds = 0;
    double drainSeconds = 0;
    qint64 sentWhenPaused = 0;
    qint64 shownWhenPaused = 0;
    QTimer::singleShot(qint64(seconds * 1000), Qt::PreciseTimer, [&] {
        ::kill(pid_t(devsim.processId()), SIGSTOP);
        streamSeconds = double(clock.elapsed()) / 1000;
        sentWhenPaused = QFileInfo(recordPath).size();
        shownWhenPaused = w.displayedLines();
        phase = Phase::Draining;
        std::fprintf(
            stderr, "# soak: simulator paused after %.0f s; showing the backlog\n", streamSeconds);
    });
    bool devsimDone = false;
    QObject::connect(&devsim, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
        [&](int, QProcess::ExitStatus) { devsimDone = true; });
    qint64 lastShown = -1;
    qint64 quietSince = 0;
    QTimer monitor;
    QObject::connect(&monitor, &QTimer::timeout, [&] {
        const qint64 shown = w.displayedLines();
        if (shown != lastShown) {
            lastShown = shown;
            quietSince = clock.elapsed();
        }
        // The pause may cut a line in two: its first half then waits in the window for an LF.
        const bool idle = w.pendingBytes() < 4096
            && (!w.port()->isOpen() || w.port()->bytesAvailable() == 0)
            && clock.elapsed() - quietSince > 3000;
        if (phase == Phase::Draining && idle) {
            drainSeconds = double(clock.elapsed()) / 1000 - streamSeconds;
            phase = Phase::Ending;
            ::kill(pid_t(devsim.processId()), SIGTERM);
            ::kill(pid_t(devsim.processId()), SIGCONT);
        } else if (phase == Phase::Ending && devsimDone && idle) {
            app.quit();
        }
        if (devsimDone && phase == Phase::Streaming) {
            std::fprintf(stderr, "soak: the simulator ended early\n");
            app.exit(2);
        }
    });
    monitor.start(100);
    // A window that never catches up must not hold the run for ever.
    QTimer::singleShot(qint64(seconds * 1000) + 600000, &app, [&app] { app.exit(3); });
    app.exec();
    probe.stop();
    sampler.stop();
    sample();
    if (!devsimDone) {
        std::fprintf(stderr, "soak: stopped early\n");
        devsim.kill();
        devsim.waitForFinished(5000);
        return 2;
    }
    if (QFileInfo(recordPath).size() != sentWhenPaused)
        std::fprintf(stderr, "# soak: the record grew by %lld byte(s) after the pause\n",
            static_cast<long long>(QFileInfo(recordPath).size() - sentWhenPaused));

    // The record files in order, then what is still in the view.
    const QStringList files = recordFilesInOrder(QStringLiteral("Record"));
    SentLines sent(recordPath);
    if (!sent.isOpen()) {
        std::fprintf(stderr, "soak: cannot read %s\n", qPrintable(recordPath));
        return 2;
    }
    Comparison cmp;
    QString expected;
    bool more = sent.next(expected);
    QTextCodec* const saved = QTextCodec::codecForLocale(); // what QTextStream wrote them in
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "soak: cannot read %s\n", qPrintable(path));
            return 2;
        }
        compareText(saved->toUnicode(file.readAll()), QFileInfo(path).fileName(), sent, expected,
            more, cmp);
    }
    compareText(f->recvShowText->toPlainText(), QStringLiteral("view"), sent, expected, more, cmp);
    qint64 cut = 0;
    while (more) {
        if (sent.lastWasUnterminated()) {
            ++cut;
            more = false;
            break;
        }
        ++cmp.lost;
        note(cmp, QStringLiteral("lost"), QStringLiteral("end"), expected);
        more = sent.next(expected);
    }

    // Memory: the first minute is start-up; after it the RSS may not grow beyond 10 %. Growth is
    // what the window keeps: the median of the last five minutes of streaming and the RSS once
    // the final backlog is shown. While the window catches up it may hold up to its bound of
    // waiting bytes on top (a machine busy with other work keeps it there for minutes): that is
    // memory in use and given back, not growth, but a peak beyond it is.
    const double backlogMb = double(DisplayStage::MaxWaitingBytes) / 1e6;
    double base = -1;
    double peakAfter = 0;
    double peakAt = 0;
    double longestOver = 0;
    double overSince = -1;
    std::vector<double> lastMinutes;
    for (const Sample& s : samples) {
        if (s.t < 60)
            continue;
        if (base < 0)
            base = s.rssMb;
        if (s.rssMb > peakAfter) {
            peakAfter = s.rssMb;
            peakAt = s.t;
        }
        if (s.rssMb > base * 1.10) {
            if (overSince < 0)
                overSince = s.t;
            longestOver = std::max(longestOver, s.t - overSince + 10); // samples are 10 s apart
        } else {
            overSince = -1;
        }
        if (s.t <= streamSeconds && s.t >= streamSeconds - 300)
            lastMinutes.push_back(s.rssMb);
    }
    double lateMedian = 0;
    if (!lastMinutes.empty()) {
        std::nth_element(lastMinutes.begin(), lastMinutes.begin() + long(lastMinutes.size() / 2),
            lastMinutes.end());
        lateMedian = lastMinutes[lastMinutes.size() / 2];
    }
    const double finalMb = samples.back().rssMb;
    const double kept = std::max(lateMedian, finalMb);
    const double growth = base > 0 ? 100.0 * (kept / base - 1) : 0;
    const bool flat = base > 0 && growth <= 10.0 && peakAfter <= base * 1.10 + backlogMb;

    std::printf("soak: %.1f min streamed, %lld bytes and %lld lines sent, %lld lines shown; "
                "while streaming %.0f lines/s shown (%.0f B/s sent, the window's backlog "
                "included)\n",
        streamSeconds / 60, static_cast<long long>(sent.bytes()),
        static_cast<long long>(sent.lines()), static_cast<long long>(w.displayedLines()),
        streamSeconds > 0 ? double(shownWhenPaused) / streamSeconds : 0.0,
        streamSeconds > 0 ? double(sentWhenPaused) / streamSeconds : 0.0);
    std::printf("soak: %d record file(s) + the view (%d lines); matched %lld, lost %lld, "
                "extra %lld\n",
        int(files.size()), int(f->recvShowText->lineCount()), static_cast<long long>(cmp.matched),
        static_cast<long long>(cmp.lost), static_cast<long long>(cmp.extra));
    if (cut)
        std::printf("soak: the record ends inside a line (the pause cut it); not counted\n");
    for (const QString& e : cmp.examples)
        std::printf("soak:   %s\n", qPrintable(e));
    std::printf("soak: RSS MB over time:");
    for (const Sample& s : samples)
        std::printf(" %.0fs=%.1f", s.t, s.rssMb);
    std::printf("\nsoak: RSS after the first minute: %.1f MB; kept: median of the last 5 minutes "
                "%.1f MB, after the final backlog %.1f MB (%+.1f %%); longest time above +10 %%: "
                "%.0f s in a row -> %s\n",
        base, lateMedian, finalMb, growth, longestOver,
        base < 0   ? "too short to tell"
            : flat ? "flat"
                   : "GROWING");
    std::printf("soak: peak sample %.1f MB at %.0f s (%+.1f %%; allowed: +10 %% and the %.1f MB "
                "of waiting bytes); VmHWM %.1f MB\n",
        peakAfter, peakAt, base > 0 ? 100.0 * (peakAfter / base - 1) : 0.0, backlogMb,
        statusMb("VmHWM"));
    std::printf("soak: the backlog took %.1f s to show after the pause\n", drainSeconds);
    std::printf("soak: longest event-loop gap %.1f ms, %d gap(s) > 50 ms (the soak's own sampling, "
                "up to %.1f ms, left out)\n",
        double(maxGap) / 1e6, stalls50, double(maxSampleNs) / 1e6);
    std::printf("soak: longest gaps:");
    for (const Gap& g : gaps)
        std::printf(" %.1f ms at %.1f s", double(g.ns) / 1e6, double(g.endNs) / 1e9);
    std::printf("\n");
    QStringList kinds;
    for (const QString& b : boxes)
        if (!kinds.contains(b))
            kinds.append(b);
    for (const QString& b : kinds)
        std::printf("soak: message box (%lld x): %s\n", static_cast<long long>(boxes.count(b)),
            qPrintable(b));
    if (opt.keep)
        std::printf("soak: files kept in %s\n", qPrintable(work.path()));
    std::fflush(stdout);
    MsgBox::setHandler({});
    return cmp.lost == 0 && cmp.extra == 0 && (flat || base < 0) ? 0 : 1;
}

void usage()
{
    std::printf("usage: quillon-soak [--minutes N] [--rate BYTES_PER_S] [--max-rows N]"
                " [--devsim PATH] [--keep]\n"
                "  --minutes N      how long the simulator streams (default 10)\n"
                "  --rate R         its rate in bytes per second (default 0: as fast as the"
                " window takes them)\n"
                "  --max-rows N     the view's line limit (default 2000)\n"
                "  --devsim PATH    the simulator (default: ../run/quillon-devsim next to this"
                " program)\n"
                "  --keep           keep the working folder (record files, sent bytes)\n");
}

} // namespace

int main(int argc, char* argv[])
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--minutes" && i + 1 < argc) {
            opt.minutes = std::atof(argv[++i]);
        } else if (a == "--rate" && i + 1 < argc) {
            opt.rate = std::atoll(argv[++i]);
        } else if (a == "--max-rows" && i + 1 < argc) {
            opt.maxRows = std::atoi(argv[++i]);
        } else if (a == "--devsim" && i + 1 < argc) {
            opt.devsim = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--keep") {
            opt.keep = true;
        } else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }
    if (!(opt.minutes > 0) || opt.rate < 0 || opt.maxRows < 1) {
        usage();
        return 2;
    }
    if (opt.devsim.isEmpty()) {
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        const QString dir = n > 0 ? QFileInfo(QString::fromLocal8Bit(self, int(n))).absolutePath()
                                  : QDir::currentPath();
        opt.devsim = QDir::cleanPath(dir + QStringLiteral("/../run/quillon-devsim"));
    }
    opt.devsim = QFileInfo(opt.devsim).absoluteFilePath();
    return run(opt);
}
