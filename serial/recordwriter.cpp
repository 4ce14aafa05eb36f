#include "serial/recordwriter.h"

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

void RecordWriter::start(const QString& path, RecordFile::Text text)
{
    Job* job = new Job;
    job->path = path;
    job->chars = text.view.size() + text.more.size();
    job->text = std::move(text);
    jobs.append(job);
    scheduleHead();
}

void RecordWriter::start(const QString& path, std::function<RecordFile::Text()> source,
    QObject* owned, std::function<void()> prepare, qint64 chars)
{
    Job* job = new Job;
    job->chars = chars;
    job->path = path;
    job->source = std::move(source);
    job->owned = owned;
    job->prepare = std::move(prepare);
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
    if (job->prepare) {
        job->prepare();
        job->prepare = nullptr;
    }
    if (job->source) {
        job->text = job->source();
        job->source = nullptr;
    }
    job->ok = RecordFile::write(job->path, job->text, &job->error);
    // Freed in the thread that copied it; a failed file keeps it to go back into the view.
    if (job->ok)
        job->text = RecordFile::Text();
    delete job->owned;
    job->owned = nullptr;
    releaseFreedPages();
}

void RecordWriter::runHead()
{
    Job* job = jobs.first();
    if (job->prepare) {
        job->prepare();
        job->prepare = nullptr;
    }
    thread = QThread::create([job] { write(job); });
    if (job->owned)
        job->owned->moveToThread(thread);
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
    if (job->ok)
        job->text = RecordFile::Text();
    emit finished(job->ok, job->path, job->error, job->text);
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
