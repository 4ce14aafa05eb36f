#include "devsimprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTextCodec>

#include <signal.h>

DevSimProcess::~DevSimProcess()
{
    proc.terminate();
    if (!proc.waitForFinished(5000))
        proc.kill();
    proc.waitForFinished(5000);
}

QString DevSimProcess::program()
{
    const QString plugins = qEnvironmentVariable("QUILLON_TEST_PLUGIN_DIR");
    return plugins.isEmpty() ? QString() : QDir::cleanPath(plugins + "/../quillon-devsim");
}

bool DevSimProcess::start(const QStringList& arguments)
{
    proc.start(program(), QStringList { QStringLiteral("--link"), linkPath() } + arguments);
    return waitForPty();
}

bool DevSimProcess::waitForPty()
{
    const QDeadlineTimer deadline(5000);
    while (!proc.canReadLine() && !deadline.hasExpired() && proc.state() != QProcess::NotRunning)
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

QByteArray gbk(const QString& text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

QByteArray sampleFile(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 0x2015u;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char(i < 256 ? i : int(x >> 16));
    }
    return bytes;
}
