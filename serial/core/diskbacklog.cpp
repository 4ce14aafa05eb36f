#include "serial/core/diskbacklog.h"

qint64 DiskBacklog::keep(const QString& path, const LineStore::Snapshot& lines)
{
    if (lines.isEmpty())
        return 0;
    files.append({ path, lines });
    total += lines.chars();
    qint64 dropped = 0;
    while (total > maxChars && !files.isEmpty()) {
        File& oldest = files.first();
        const qint64 before = oldest.lines.chars();
        // A line at a time would be slow for a big file: a guess from the average line, then
        // one line at a time near the end.
        const qint64 excess = total - maxChars;
        const qint64 n = oldest.lines.lines();
        qint64 take = before <= excess ? n : qMax<qint64>(1, excess * n / before / 2);
        oldest.lines.dropFront(take);
        dropped += take;
        total -= before - oldest.lines.chars();
        if (oldest.lines.isEmpty())
            files.removeFirst();
    }
    return dropped;
}

qint64 DiskBacklog::lines() const
{
    qint64 n = 0;
    for (const File& file : files)
        n += file.lines.lines();
    return n;
}

void DiskBacklog::written()
{
    total -= files.first().lines.chars();
    files.removeFirst();
}

bool DiskBacklog::holds(const QString& path) const
{
    for (const File& file : files)
        if (file.path == path)
            return true;
    return false;
}
