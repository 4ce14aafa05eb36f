#include "serial/core/recordwriter.h"

#include "serial/core/recordfile.h"

#include <QDebug>
#include <QThread>

#include <atomic>
#include <chrono>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Each file's text is copied and freed on the writer's thread, whose malloc arena keeps the
// freed pages: many small views a second would leave the process megabytes bigger. Given back
// at most once a second.
void releaseFreedPages()
{
#ifdef __GLIBC__
    static std::atomic<qint64> lastMs { 0 };
    const qint64 nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    qint64 last = lastMs.load();
    if (nowMs - last >= 1000 && lastMs.compare_exchange_strong(last, nowMs))
        ::malloc_trim(0);
#endif
}

} // namespace

RecordWriter::RecordWriter(QObject* parent)
    : QObject(parent)
{
}

RecordWriter::~RecordWriter()
{
    while (!jobs.isEmpty()) {
        if (thread) {
            thread->wait();
            delete thread;
            thread = nullptr;
        } else {
            write(jobs.first());
        }
        Job* job = jobs.takeFirst();
        if (!job->ok)
            qWarning() << "record file" << job->path << "not saved:" << job->error;
        delete job;
    }
}

bool RecordWriter::holds(const QString& path) const
{
    for (const Job* job : jobs)
        if (job->path == path)
            return true;
    return false;
}

qint64 RecordWriter::charsInHand() const
{
    qint64 chars = 0;
    for (const Job* job : jobs)
        chars += job->chars;
    return chars;
}

void RecordWriter::makeRoomFor(qint64 chars)
{
    while (pending() >= MaxInHand && charsInHand() + chars > MaxCharsInHand)
        waitForOldest();
}

void RecordWriter::start(const QString& path, const LineStore::Snapshot& lines)
{
    Job* job = new Job;
    job->path = path;
    job->lines = lines;
    job->chars = lines.chars();
    jobs.append(job);
    scheduleHead();
}

void RecordWriter::scheduleHead()
{
    // Not from inside the caller's work (the display tick): the start may cost a preparation.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!thread && !jobs.isEmpty())
                runHead();
        },
        Qt::QueuedConnection);
}

void RecordWriter::write(Job* job)
{
    job->ok = RecordFile::write(job->path, job->lines, &job->error);
    // Dropped in the thread that read it (the last reference frees the chunks); a failed file
    // keeps its lines for the disk's next try.
    if (job->ok)
        job->lines = LineStore::Snapshot();
    releaseFreedPages();
}

void RecordWriter::runHead()
{
    Job* job = jobs.first();
    thread = QThread::create([job] { write(job); });
    // Queued: the thread object lives here, the signal comes from the thread that ends. A run
    // already completed by waitForOldest() is not completed twice.
    const quint64 run = ++runs;
    connect(thread, &QThread::finished, this, [this, run] {
        if (thread && run == runs)
            completeHead();
    });
    thread->start();
}

void RecordWriter::completeHead()
{
    thread->wait();
    delete thread;
    thread = nullptr;
    Job* job = jobs.takeFirst();
    if (!jobs.isEmpty())
        runHead();
    emit finished(job->ok, job->path, job->error, job->lines);
    delete job;
}

void RecordWriter::waitForOldest()
{
    if (!thread && !jobs.isEmpty())
        runHead();
    if (thread)
        completeHead();
}

void RecordWriter::waitForAll()
{
    while (!jobs.isEmpty())
        waitForOldest();
}
