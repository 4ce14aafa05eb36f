#include "app/debuglog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
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
    // Opened per message so nothing stays open and every line is on disk at once.
    QFile file(path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QTextStream out(&file);
    out << text << Qt::endl;
}

}
