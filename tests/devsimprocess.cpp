#include "devsimprocess.h"

#include <QDir>
#include <QElapsedTimer>

#include <signal.h>

DevSimProcess::DevSimProcess() = default;

DevSimProcess::~DevSimProcess()
{
    if (proc.state() == QProcess::NotRunning)
        return;
    proc.terminate();
    if (!proc.waitForFinished(5000)) {
        proc.kill();
        proc.waitForFinished(5000);
    }
}

QString DevSimProcess::program()
{
    const QByteArray plugins = qgetenv("QUILLON_TEST_PLUGIN_DIR");
    if (plugins.isEmpty())
        return QString();
    return QDir::cleanPath(QString::fromLocal8Bit(plugins) + QStringLiteral("/../quillon-devsim"));
}

bool DevSimProcess::start(const QStringList& arguments)
{
    proc.start(program(), QStringList { QStringLiteral("--link"), linkPath() } + arguments);
    return waitForPty();
}

bool DevSimProcess::waitForPty()
{
    QElapsedTimer timer;
    timer.start();
    while (!proc.canReadLine() && timer.elapsed() < 5000 && proc.state() != QProcess::NotRunning)
        proc.waitForReadyRead(100);
    const QByteArray line = proc.readLine().trimmed();
    pty = line.startsWith("PTY ") ? QString::fromLocal8Bit(line.mid(4)) : QString();
    return !pty.isEmpty();
}

bool DevSimProcess::stop(int signal)
{
    ::kill(pid_t(proc.processId()), signal);
    return proc.waitForFinished(5000) && proc.exitStatus() == QProcess::NormalExit;
}

QString DevSimProcess::errors() { return QString::fromLocal8Bit(proc.readAllStandardError()); }

QByteArray sampleFile(int size)
{
    QByteArray bytes;
    bytes.reserve(size);
    quint32 x = 0x2015u;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.append(char(i < 256 ? i : int(x >> 16)));
    }
    return bytes;
}
