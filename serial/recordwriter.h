#pragma once

#include "serial/recordfile.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

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

    // Files queued or being written, and the characters they hold (as given to start()).
    int pending() const { return jobs.size(); }
    qint64 charsInHand() const;
    // A file queued or being written: not on disk under its name until it is complete.
    bool holds(const QString& path) const;

    void start(const QString& path, RecordFile::Text text);
    // The text is made on the writer's thread by source(). owned (may be null, must have no
    // parent) is moved to that thread when the file's turn comes and deleted there once the file
    // is written: what source() reads, e.g. a whole document that takes long to copy and free.
    // prepare (may be empty) runs in this thread just before, in an event of its own unless a
    // wait asks for the file.
    void start(const QString& path, std::function<RecordFile::Text()> source, QObject* owned,
        std::function<void()> prepare = {}, qint64 chars = 0);
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
        std::function<RecordFile::Text()> source;
        QObject* owned = nullptr;
        std::function<void()> prepare;
        qint64 chars = 0;
        // Written by the thread, read after it has ended.
        bool ok = false;
        QString error;
    };

    static void write(Job* job);
    void runHead();
    void scheduleHead();
    void completeHead();

    QList<Job*> jobs;
    QThread* thread = nullptr;
    quint64 runs = 0;
};
