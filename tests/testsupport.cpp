#include "testsupport.h"

#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

bool openRawPty(int* master, QString* slavePath)
{
    int slave = -1;
    char name[128] = {};
    if (::openpty(master, &slave, name, nullptr, nullptr) != 0) {
        *master = -1;
        return false;
    }
    termios t;
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);
    *slavePath = QString::fromLocal8Bit(name);
    return true;
}

PtyPair::PtyPair()
{
    if (openRawPty(&master, &path))
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

bool PtyPair::write(const QByteArray& bytes)
{
    qint64 done = 0;
    const QDeadlineTimer deadline(60000);
    while (done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The program reads in this same thread: let it run while the pty is full.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p { master, POLLOUT, 0 };
        ::poll(&p, 1, 1);
    }
    return done == bytes.size();
}

QByteArray PtyPair::read(int timeoutMs)
{
    QByteArray out;
    pollfd p { master, POLLIN, 0 };
    if (::poll(&p, 1, timeoutMs) <= 0)
        return out;
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
        out.append(buf, int(n));
    return out;
}

QByteArray PtyPair::readAtLeast(int n, int timeoutMs)
{
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    while (got.size() < n && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += read(5);
    }
    return got;
}

void PtyPair::closeMaster()
{
    if (master >= 0)
        ::close(std::exchange(master, -1));
}

MsgRecorder::MsgRecorder(QMessageBox::StandardButton a)
    : answer(a)
{
    MsgBox::setHandler([this](const MsgBox::Call& call) {
        calls.append(call);
        if (readMs > 0) {
            deepest = qMax(deepest, ++open);
            QEventLoop reading;
            QTimer::singleShot(readMs, &reading, &QEventLoop::quit);
            reading.exec();
            --open;
        }
        return answer;
    });
}

int MsgRecorder::count(MsgBox::Kind kind) const
{
    return int(std::count_if(
        calls.begin(), calls.end(), [kind](const MsgBox::Call& c) { return c.kind == kind; }));
}

QStringList MsgRecorder::texts() const
{
    QStringList out;
    for (const auto& c : calls)
        out << c.text;
    return out;
}

bool TempWorkDir::installPlugin()
{
    const QString from = QString::fromLocal8Bit(qgetenv("QUILLON_TEST_PLUGIN_DIR"))
        + QStringLiteral("/libOrvUpdatePlugin.so");
    const QString to = QStringLiteral("plugins/libOrvUpdatePlugin.so");
    // Whatever the umask: a plug-in others could write is refused.
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    return QDir().mkpath(QStringLiteral("plugins"))
        && QFile::setPermissions(QStringLiteral("plugins"), ownerOnly) && QFile::copy(from, to)
        && QFile::setPermissions(to, ownerOnly);
}

ExtraPorts::ExtraPorts(const QString& list)
    : previous(qgetenv("QUILLON_EXTRA_PORTS"))
    , had(qEnvironmentVariableIsSet("QUILLON_EXTRA_PORTS"))
{
    qputenv("QUILLON_EXTRA_PORTS", list.toLocal8Bit());
}

ExtraPorts::~ExtraPorts()
{
    had ? qputenv("QUILLON_EXTRA_PORTS", previous) : qunsetenv("QUILLON_EXTRA_PORTS");
}

static QString listEntry(const QString& path, const QString& description)
{
    return description.isEmpty() ? path : path + QLatin1Char('=') + description;
}

PtyTestBench::PtyTestBench(const QString& description, bool withPlugin)
    : env(listEntry(pty.slavePath(), description))
    , ready(pty.isOpen() && (!withPlugin || work.installPlugin()))
    , entries { listEntry(pty.slavePath(), description) }
{
}

bool PtyTestBench::openIn(MainWindow& w)
{
    auto* combo = w.form()->serialNumComboBox;
    // The path and the blank after it: /dev/pts/1 must not pick /dev/pts/10.
    combo->setCurrentIndex(combo->findText(portPath() + QLatin1Char(' '), Qt::MatchStartsWith));
    w.form()->openSerialButton->click();
    return w.port()->isOpen();
}

PtyPair& PtyTestBench::addPort(const QString& description)
{
    more.emplace_back();
    entries << listEntry(more.back().slavePath(), description);
    env.set(entries.join(QLatin1Char(';')));
    return more.back();
}

QString PtyTestBench::listUnderLink(const QString& name)
{
    const QString link = work.path() + QLatin1Char('/') + name;
    if (!QFile::link(pty.slavePath(), link))
        return QString();
    entries.first().replace(0, portPath().size(), link);
    env.set(entries.join(QLatin1Char(';')));
    return link;
}

void PtyTestBench::describe(const QString& description)
{
    entries.first() = listEntry(portPath(), description);
    env.set(entries.join(QLatin1Char(';')));
}

void PtyWindowTest::init()
{
    // The last bench goes first: its working folder restores the one before it.
    bench.reset();
    bench.reset(new PtyTestBench(description, withPlugin));
    work = &bench->work;
    boxes = &bench->boxes;
    pty = &bench->pty;
    QVERIFY(bench->ready);
}

void PtyWindowTest::cleanup()
{
    bench.reset();
    work = nullptr;
    boxes = nullptr;
    pty = nullptr;
}

void PtyWindowTest::openPort(MainWindow& w, int flags)
{
    if (flags & NoTime)
        w.form()->showTimeCheckBox->setChecked(false);
    if (flags & AutoSave)
        w.form()->autoSlaveLogToFileCheckBox->setChecked(true);
    if (flags & LiveRecord)
        w.form()->liveRecordCheckBox->setChecked(true);
    if (flags & Shown)
        w.show();
    QVERIFY(bench->openIn(w));
}

QString PtyWindowTest::viewText(MainWindow& w) { return w.form()->recvShowText->toPlainText(); }

QStringList PtyWindowTest::viewLines(MainWindow& w) { return viewText(w).split(QLatin1Char('\n')); }

int PtyWindowTest::viewLineCount(MainWindow& w) { return int(w.form()->recvShowText->lineCount()); }
