#pragma once

#include "serial/core/linestore.h"

#include <QList>
#include <QObject>
#include <QString>

class QThread;

// Writes record files on a thread of its own, one after the other in the order given: a full
// view's lines take longer to encode and write than a redraw may last, and a disk may stall.
// Each file's lines are a snapshot of the line store, a value the thread reads and drops; no
// object crosses threads. finished() comes back in the owner's thread, in the same order.
class RecordWriter : public QObject {
    Q_OBJECT

public:
    explicit RecordWriter(QObject* parent = nullptr);
    // Writes what is queued; a failure then can only be logged.
    ~RecordWriter() override;

    // Files queued or being written, and the characters they hold.
    int pending() const { return jobs.size(); }
    qint64 charsInHand() const;
    // A file queued or being written: not on disk under its name until it is complete.
    bool holds(const QString& path) const;

    // A slow disk must not gather views in memory: past MaxInHand files in hand, the oldest is
    // waited for, unless they are small views that together stay under MaxCharsInHand.
    static constexpr int MaxInHand = 2;
    static constexpr qint64 MaxCharsInHand = 8 << 20;
    void makeRoomFor(qint64 chars);

    void start(const QString& path, const LineStore::Snapshot& lines);
    // Blocks until the oldest file is written, then reports it as finished() would.
    void waitForOldest();
    void waitForAll();

signals:
    // lines are what could not be written (empty when ok).
    void finished(
        bool ok, const QString& path, const QString& error, const LineStore::Snapshot& lines);

private:
    struct Job {
        QString path;
        LineStore::Snapshot lines;
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
