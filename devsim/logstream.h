#pragma once

#include <QByteArray>
#include <QtGlobal>

// The board's running log: numbered GBK text lines of mixed levels, each ending in CR LF.
class LogStream {
public:
    // Numbering starts at 1 so the first line of a run is recognisable.
    LogStream() = default;

    QByteArray nextLine();
    QByteArray nextLines(int count);
    quint64 nextSequence() const { return next; }

    // The number of a log line ("#000042 [INFO] ..."), or -1 when the bytes are not one.
    static qint64 sequenceOf(const QByteArray& line);

private:
    quint64 next = 1;
};
