#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>

class QTextEncoder;

// The live record: every line the receive view gets, appended to a file in the record folder as
// it is formatted. Text waits in memory only until flush(), which the display tick calls, so a
// killed process loses at most one tick's lines. A new file starts at every session (port open,
// log-sharing session), after midnight and once the file has passed its size limit, always at a
// line end.
class LiveRecord {
public:
    static constexpr qint64 DefaultMaxBytes = qint64(64) << 20;

    LiveRecord();
    ~LiveRecord();

    void setFolder(const QString& folder);
    void setMaxBytes(qint64 bytes);
    // Replaces the clock (tests step over midnight).
    void setClock(std::function<QDateTime()> now);

    // The next text starts a new file.
    void newSession();
    // What the next file is named after (the port or the peer).
    void setSource(const QString& name) { source = name; }
    // Formatted text: whole lines with their "\n", or text that continues the last line.
    // False when a file could not be made; then fileName() and errorString() say which and why.
    bool append(const QString& text);
    // Hands what was appended to the operating system. False when it could not be written.
    bool flush();
    // Flushes and closes the file; the next text starts a new one.
    void close();

    // The current file (or the one that failed), as a path.
    QString fileName() const { return path; }
    QString errorString() const { return error; }
    bool isOpen() const { return file.isOpen(); }

    // Counts the CPU time of this thread spent in append() and flush(), the kernel's share of
    // the writes included, so the benchmark can tell the live record's own cost from noise.
    void setMetered(bool on) { metered = on; }
    qint64 cpuNanoseconds() const { return cpuNs; }

private:
    bool openNext();
    bool appendPiece(const QChar* text, int count);

    QString folder = QStringLiteral("Record");
    QString source;
    qint64 maxBytes = DefaultMaxBytes;
    std::function<QDateTime()> now;

    QFile file;
    QString path;
    QString error;
    std::unique_ptr<QTextEncoder> encoder;
    QByteArray buffer;
    qint64 fileBytes = 0; // written and buffered
    QDate openedOn;
    bool atLineStart = true;
    bool rotate = false; // a new file at the next line start
    bool metered = false;
    qint64 cpuNs = 0;
};
