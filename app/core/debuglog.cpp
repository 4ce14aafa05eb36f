#include "app/core/debuglog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTextStream>

namespace DebugLog {

QString path()
{
    const QString dir = QCoreApplication::applicationDirPath();
    // An installed program's folder is not the user's to write: the working folder takes over.
    if (!dir.isEmpty() && QFileInfo(dir).isDir() && QFileInfo(dir).isWritable())
        return dir + QStringLiteral("/debug.log");
    return QStringLiteral("debug.log");
}

void handler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    const QString name = path();
    qint64 size = 0;
    {
        // Opened per message so nothing stays open and every line is on disk at once.
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        QTextStream out(&file);
        out << text << Qt::endl;
        size = file.size();
    }
    if (size > Cap)
        keepNewestHalf(name);
}

void keepNewestHalf(const QString& path, qint64 cap)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() <= cap)
        return;
    // One byte before the newest half, to see whether that half begins a line.
    const qint64 from = file.size() - cap / 2 - 1;
    if (!file.seek(from))
        return;
    const QByteArray tail = file.readAll();
    // Without a line start in the newest half, one endless line would fill it: nothing is kept.
    const int newline = tail.indexOf('\n');
    const QByteArray kept = newline < 0 ? QByteArray() : tail.mid(newline + 1);
    if (!file.seek(0) || file.write(kept) != kept.size())
        return;
    file.resize(kept.size());
}

}
