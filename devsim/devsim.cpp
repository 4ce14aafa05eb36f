#include "devsim/devsim.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Above this many queued bytes the log waits and input stays in the pty, so a reader that
// stalls holds the simulator back instead of growing the queue.
constexpr int queueLimit = 64 * 1024;
constexpr int chunkSize = 16 * 1024;
// How long the bytes still on their way may take to reach the reader before the exit.
constexpr qint64 timedLingerUs = 1000000;
constexpr qint64 signalLingerUs = 500000;
constexpr qint64 settleUs = 60000;
// A paced stream that fell this far behind (nobody reading) starts its pacing afresh rather
// than bursting to catch up.
constexpr qint64 paceSlackUs = 1000000;

QString systemError(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

bool setFlag(int fd, int getCmd, int setCmd, int flag)
{
    const int flags = ::fcntl(fd, getCmd);
    return flags >= 0 && ::fcntl(fd, setCmd, flags | flag) == 0;
}

} // namespace

DevSim::DevSim(const DevSimOptions& options)
    : opts(options)
{
    device.configure(opts);
    log.setColor(opts.color);
    log.setUtf8(opts.utf8);
    sigemptyset(&oldMask);
}

DevSim::~DevSim()
{
    removeLink();
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    if (signalFd >= 0)
        ::close(signalFd);
    if (maskChanged)
        ::sigprocmask(SIG_SETMASK, &oldMask, nullptr);
}

bool DevSim::start(QString* error)
{
    // Signals arrive through a descriptor so the poll loop sees them without races.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &stopSignals, &oldMask) != 0) {
        *error = systemError(QStringLiteral("sigprocmask"));
        return false;
    }
    maskChanged = true;
    signalFd = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        *error = systemError(QStringLiteral("signalfd"));
        return false;
    }
    ::signal(SIGPIPE, SIG_IGN);

    if (!openPty(error))
        return false;

    if (!opts.downloadPath.isEmpty()) {
        // Checked now rather than at the end of the first download.
        QFile download(opts.downloadPath);
        if (!download.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("%1: %2").arg(opts.downloadPath, download.errorString());
            return false;
        }
    }
    if (!opts.recordPath.isEmpty()) {
        recordFile.setFileName(opts.recordPath);
        if (!recordFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            *error = QStringLiteral("%1: %2").arg(opts.recordPath, recordFile.errorString());
            return false;
        }
    }
    return publishLink(error);
}

bool DevSim::openPty(QString* error)
{
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = systemError(QStringLiteral("openpty"));
        return false;
    }
    slaveName = QString::fromLocal8Bit(name);
    termios attrs;
    if (::tcgetattr(slave, &attrs) != 0) {
        *error = systemError(QStringLiteral("tcgetattr"));
        return false;
    }
    ::cfmakeraw(&attrs);
    if (::tcsetattr(slave, TCSANOW, &attrs) != 0) {
        *error = systemError(QStringLiteral("tcsetattr"));
        return false;
    }
    if (!setFlag(master, F_GETFL, F_SETFL, O_NONBLOCK)
        || !setFlag(master, F_GETFD, F_SETFD, FD_CLOEXEC)
        || !setFlag(slave, F_GETFD, F_SETFD, FD_CLOEXEC)) {
        *error = systemError(QStringLiteral("fcntl"));
        return false;
    }
    return true;
}

void DevSim::vanish()
{
    vanishAtUs = -1;
    returnAtUs = nowUs() + ReenumerateGapUs;
    removeLink();
    // The program's open descriptor sees a hang-up, as with an unplugged adapter.
    ::close(master);
    ::close(slave);
    master = -1;
    slave = -1;
}

bool DevSim::comeBack(QString* error)
{
    returnAtUs = -1;
    if (!openPty(error) || !publishLink(error))
        return false;
    std::printf("PTY %s\n", qPrintable(slaveName));
    std::fflush(stdout);
    return true;
}

bool DevSim::publishLink(QString* error)
{
    const QByteArray link = QFile::encodeName(opts.linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it")
                     .arg(opts.linkPath);
        return false;
    }
    // A new link under a temporary name renamed over the old one: the path never dangles.
    const QByteArray temp = link + ".new." + QByteArray::number(qint64(::getpid()));
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(slaveName).constData(), temp.constData()) != 0) {
        *error = systemError(opts.linkPath);
        return false;
    }
    if (::rename(temp.constData(), link.constData()) != 0) {
        *error = systemError(opts.linkPath);
        ::unlink(temp.constData());
        return false;
    }
    linkPublished = true;
    return true;
}

void DevSim::removeLink()
{
    if (!linkPublished)
        return;
    linkPublished = false;
    // Another simulator may have taken the path over since; its link stays.
    const QByteArray link = QFile::encodeName(opts.linkPath);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n > 0 && QByteArray(target, int(n)) == QFile::encodeName(slaveName))
        ::unlink(link.constData());
}

bool DevSim::logRunning() const
{
    // A board that is re-enumerating is restarting: no log.
    return master >= 0 && vanishAtUs < 0 && !opts.quiet
        && (opts.count < 0 || linesMade < opts.count) && !device.logPaused(nowUs() / 1000);
}

void DevSim::appendLine()
{
    const QByteArray line = log.nextLine();
    pending += line;
    pacedBytes += line.size();
    ++linesMade;
}

void DevSim::generateDue(qint64 now)
{
    while (logRunning() && pending.size() < queueLimit && now >= nextDueUs) {
        if (!opts.paced) {
            for (int i = 0; i < opts.linesPerPeriod && logRunning(); ++i)
                appendLine();
            // Periods stay on the grid of the start time; ticks missed while stalled are skipped.
            const qint64 period = qint64(opts.intervalMs) * 1000;
            nextDueUs = (now / period + 1) * period;
        } else if (opts.bytesPerSecond == 0) {
            appendLine(); // always due: only the queue limit and the pty hold it back
        } else {
            if (now - nextDueUs > paceSlackUs) {
                paceStartUs = now;
                pacedBytes = 0;
            }
            appendLine();
            nextDueUs = paceStartUs + pacedBytes * 1000000 / opts.bytesPerSecond;
        }
    }
}

int DevSim::pollTimeoutMs(qint64 now, qint64 stopAt) const
{
    qint64 wake = -1;
    if (ending != Ending::No) {
        wake = now + 20000; // checks whether the reader has taken the last bytes
    } else {
        if (logRunning() && pending.size() < queueLimit)
            wake = nextDueUs;
        if (stopAt >= 0)
            wake = wake < 0 ? stopAt : qMin(wake, stopAt);
        for (const qint64 at : { vanishAtUs, returnAtUs })
            if (at >= 0)
                wake = wake < 0 ? at : qMin(wake, at);
        const qint64 deviceWakeMs = device.nextWakeMs();
        if (deviceWakeMs >= 0)
            wake = wake < 0 ? deviceWakeMs * 1000 : qMin(wake, deviceWakeMs * 1000);
    }
    if (wake < 0)
        return -1;
    // Rounded up so the loop never wakes just before its deadline and spins.
    return int(qBound<qint64>(0, (wake - now + 999) / 1000, 60000));
}

bool DevSim::readInput(QString* error)
{
    char buffer[chunkSize];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n > 0) {
        pending += device.feed(QByteArray(buffer, int(n)), nowUs() / 1000);
        // The reply goes out on this port; then the port goes.
        if (opts.reenumerate && device.resets() != resetsSeen && returnAtUs < 0)
            vanishAtUs = nowUs() + qint64(Device::ResetDelayMs) * 1000;
        resetsSeen = device.resets();
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        *error = systemError(QStringLiteral("read"));
        return false;
    }
    return true;
}

bool DevSim::writePending(QString* error)
{
    const ssize_t n = ::write(master, pending.constData(), size_t(qMin(pending.size(), chunkSize)));
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return true;
        *error = systemError(QStringLiteral("write"));
        return false;
    }
    // Only bytes the pty accepted are recorded, so the record is exactly what was sent.
    if (recordFile.isOpen() && recordFile.write(pending.constData(), n) != n) {
        *error = QStringLiteral("%1: %2").arg(opts.recordPath, recordFile.errorString());
        return false;
    }
    pending.remove(0, int(n));
    return true;
}

bool DevSim::readerHasAll() const
{
    int unread = 0;
    return ::ioctl(slave, TIOCINQ, &unread) != 0 || unread == 0;
}

int DevSim::run()
{
    clock.start();
    const qint64 stopAt = opts.durationMs >= 0 ? opts.durationMs * 1000 : -1;
    qint64 endingSince = -1;
    qint64 emptySince = -1;
    QString error;
    for (;;) {
        const qint64 now = nowUs();
        if (ending == Ending::No && stopAt >= 0 && now >= stopAt) {
            ending = Ending::Timed;
            endingSince = now;
        }
        if (ending != Ending::No) {
            // Closing the master discards what the reader has not read yet, so the exit waits
            // a little for it. A timed run also sends its queue first; a signal does not.
            // Bytes still in the pty's flip buffers are not counted by TIOCINQ and move on
            // only as the reader reads, so the reader's side must stay empty for a while.
            if ((ending == Ending::Signalled || pending.isEmpty()) && readerHasAll()) {
                if (emptySince < 0)
                    emptySince = now;
            } else {
                emptySince = -1;
            }
            const qint64 linger = ending == Ending::Timed ? timedLingerUs : signalLingerUs;
            if ((emptySince >= 0 && now - emptySince >= settleUs) || now - endingSince >= linger)
                return 0;
        } else {
            if (vanishAtUs >= 0 && now >= vanishAtUs)
                vanish();
            if (returnAtUs >= 0 && now >= returnAtUs && !comeBack(&error))
                break;
            pending += device.poll(now / 1000);
            generateDue(now);
        }

        short events = 0;
        if (ending == Ending::No && pending.size() < queueLimit)
            events |= POLLIN;
        if (ending != Ending::Signalled && !pending.isEmpty())
            events |= POLLOUT;
        pollfd fds[2] = { { master, events, 0 }, { signalFd, POLLIN, 0 } };
        const int ready = ::poll(fds, 2, pollTimeoutMs(now, stopAt));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            error = systemError(QStringLiteral("poll"));
            break;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info;
            while (::read(signalFd, &info, sizeof info) > 0) { }
            if (ending == Ending::Signalled)
                return 0; // a second signal does not wait
            ending = Ending::Signalled;
            endingSince = nowUs();
            continue;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            error = QStringLiteral("the pty reported an error or hang-up");
            break;
        }
        if ((fds[0].revents & POLLIN) && !readInput(&error))
            break;
        if ((fds[0].revents & POLLOUT) && !writePending(&error))
            break;
    }
    std::fprintf(stderr, "quillon-devsim: %s\n", qPrintable(error));
    return 1;
}
