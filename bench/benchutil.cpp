#include "benchutil.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>

namespace BenchUtil {

double statusMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    static const char* const kPlatformNotes[]
        = { "propagateSizeHints", "XDG_RUNTIME_DIR", "systemTrayWindowChanged" };
    for (const char* note : kPlatformNotes)
        if (text.contains(QLatin1String(note)))
            return;
    std::fprintf(stderr, "# qt: %s\n", qPrintable(text));
}

}
