#pragma once

#include "serial/recordfile.h"

#include <QList>
#include <QObject>
#include <QString>

class QThread;

// Writes record files on a thread of its own, one after the other in the order given: saving a
// full view (megabytes of text) before the automatic clear would otherwise pause the display
// for longer than a redraw. Each text is handed over whole; finished() comes back in the
// owner's thread, in the same order.
class RecordWriter : public QObject {
    Q_OBJECT

public:
    explicit RecordWriter(QObject* parent = nullptr);
    // Writes what is queued; a failure then can only be logged.
    ~RecordWriter() override;

    // Files queued or being written.
    int pending() const { return jobs.size(); }
    // A file queued or being written: not on disk under its name until it is complete.
    bool holds(const QString& path) const;

    void start(const QString& path, RecordFile::Text text);
    // Blocks until the oldest file is written, then reports it as finished() would.
    void waitForOldest();
    void waitForAll();

signals:
    // text is what could not be written (empty when ok).
    void finished(bool ok, const QString& path, const QString& error, const RecordFile::Text& text);

private:
    struct Job {
        QString path;
        RecordFile::Text text;
        // Written by the thread, read after it has ended.
        bool ok = false;
        QString error;
    };

    void runHead();
    void completeHead();

    QList<Job*> jobs;
    QThread* thread = nullptr;
    quint64 runs = 0;
};
