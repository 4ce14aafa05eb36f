#pragma once

#include <QByteArray>
#include <QtGlobal>

// The board's running log: numbered GBK (or UTF-8) text lines of mixed levels, each ending in
// CR LF, optionally coloured by level with ANSI codes.
class LogStream {
public:
    // Numbering starts at 1 so the first line of a run is recognisable.
    LogStream() = default;
    void setColor(bool on) { color = on; }
    void setUtf8(bool on) { utf8 = on; }

    QByteArray nextLine();
    QByteArray nextLines(int count);
    quint64 nextSequence() const { return next; }

    // The number of a log line ("#000042 [INFO] ...", coloured or not), or -1 when the bytes are
    // not one.
    static qint64 sequenceOf(const QByteArray& line);

private:
    quint64 next = 1;
    bool color = false;
    bool utf8 = false;
};
