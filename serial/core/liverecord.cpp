#include "serial/core/liverecord.h"

#include "serial/core/recordname.h"

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <ctime>

namespace {

qint64 threadCpuNs()
{
    timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Adds the thread's CPU time from here to the end of the scope, when metering is on.
class Meter {
public:
    Meter(bool on, qint64& total)
        : total(on ? &total : nullptr)
        , start(on ? threadCpuNs() : 0)
    {
    }
    ~Meter()
    {
        if (total)
            *total += threadCpuNs() - start;
    }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

private:
    qint64* total;
    qint64 start;
};

} // namespace

LiveRecord::LiveRecord()
    : now([] { return QDateTime::currentDateTime(); })
{
}

LiveRecord::~LiveRecord() { close(); }

void LiveRecord::setFolder(const QString& f) { folder = f; }

void LiveRecord::setMaxBytes(qint64 bytes) { maxBytes = qMax<qint64>(1, bytes); }

void LiveRecord::setClock(std::function<QDateTime()> clock) { now = std::move(clock); }

void LiveRecord::newSession() { close(); }

void LiveRecord::close()
{
    if (!file.isOpen())
        return;
    flush();
    file.close();
    encoder.reset();
    atLineStart = true;
    rotate = false;
}

bool LiveRecord::openNext()
{
    if (file.isOpen()) {
        if (!flush())
            return false;
        file.close();
    }
    const QDateTime when = now();
    QDir().mkpath(folder);
    path = RecordName::build(QStringLiteral("%1/Orv_Live_Rec_%2_%3.txt"), folder, source, when,
        [](const QString& p) { return QFileInfo::exists(p); });
    file.setFileName(path);
    // Never over an older file; unbuffered, since flush() already writes a tick's text at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    encoder.reset(QTextCodec::codecForLocale()->makeEncoder(QTextCodec::IgnoreHeader));
    fileBytes = 0;
    openedOn = when.date();
    atLineStart = true;
    rotate = false;
    return true;
}

bool LiveRecord::appendPiece(const QChar* text, int count)
{
    if (count <= 0)
        return true;
    if (atLineStart && (!file.isOpen() || rotate || now().date() != openedOn)) {
        if (!openNext())
            return false;
    }
    const QByteArray bytes = encoder->fromUnicode(text, count);
    buffer += bytes;
    fileBytes += bytes.size();
    atLineStart = text[count - 1] == QLatin1Char('\n');
    if (fileBytes >= maxBytes)
        rotate = true;
    return true;
}

bool LiveRecord::append(const QString& text)
{
    const Meter meter(metered, cpuNs);
    // Line by line: a new file may start at any line end within the text.
    const QChar* data = text.constData();
    const int size = text.size();
    int start = 0;
    while (start < size) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        end = end < 0 ? size : end + 1;
        // Lines that need no new file go in one piece.
        if (!rotate && file.isOpen()) {
            const int last = text.lastIndexOf(QLatin1Char('\n'));
            const qint64 room = maxBytes - fileBytes;
            if (last >= start && qint64(last + 1 - start) * 3 < room) {
                end = last + 1;
            }
        }
        if (!appendPiece(data + start, end - start))
            return false;
        start = end;
    }
    return true;
}

bool LiveRecord::flush()
{
    const Meter meter(metered, cpuNs);
    if (buffer.isEmpty() || !file.isOpen())
        return true;
    const qint64 written = file.write(buffer);
    if (written != buffer.size()) {
        error = file.errorString();
        buffer.clear();
        file.close();
        // Text appended after a failure goes to a new file, never to a closed one.
        atLineStart = true;
        rotate = false;
        return false;
    }
    buffer.clear();
    return true;
}
