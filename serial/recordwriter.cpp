#include "serial/recordwriter.h"

#include <QDebug>
#include <QThread>

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
    delete job->owned;
    job->owned = nullptr;
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
