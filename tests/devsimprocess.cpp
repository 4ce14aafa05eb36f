#include "devsimprocess.h"

#include <QDir>
#include <QElapsedTimer>

DevSimProcess::DevSimProcess() = default;

DevSimProcess::~DevSimProcess()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
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
    process.start(program(),
        QStringList { QStringLiteral("--link"), dir.filePath(QStringLiteral("ttySIM0")) }
            + arguments);
    QElapsedTimer timer;
    timer.start();
    while (
        !process.canReadLine() && timer.elapsed() < 5000 && process.state() != QProcess::NotRunning)
        process.waitForReadyRead(100);
    const QByteArray line = process.readLine().trimmed();
    pty = line.startsWith("PTY ") ? QString::fromLocal8Bit(line.mid(4)) : QString();
    return !pty.isEmpty();
}

QString DevSimProcess::errors() { return QString::fromLocal8Bit(process.readAllStandardError()); }

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
