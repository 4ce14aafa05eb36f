#include "serial/diskbacklog.h"

namespace {

qint64 lineCount(const QString& text) { return text.isEmpty() ? 0 : text.count('\n') + 1; }

} // namespace

qint64 DiskBacklog::keep(const QString& path, const QString& text)
{
    files.append({ path, text });
    total += text.size();
    qint64 dropped = 0;
    while (total > maxChars && !files.isEmpty()) {
        File& oldest = files.first();
        const qint64 excess = total - maxChars;
        if (excess >= oldest.text.size()) {
            dropped += lineCount(oldest.text);
            total -= oldest.text.size();
            files.removeFirst();
            continue;
        }
        // Whole lines: up to the line end at or after the excess.
        int cut = oldest.text.indexOf(QLatin1Char('\n'), int(excess) - 1);
        cut = cut < 0 ? oldest.text.size() : cut + 1;
        dropped += oldest.text.leftRef(cut).count(QLatin1Char('\n'));
        if (cut == oldest.text.size())
            ++dropped;
        total -= cut;
        oldest.text.remove(0, cut);
        if (oldest.text.isEmpty())
            files.removeFirst();
    }
    return dropped;
}

qint64 DiskBacklog::lines() const
{
    qint64 n = 0;
    for (const File& file : files)
        n += lineCount(file.text);
    return n;
}

void DiskBacklog::written()
{
    total -= files.first().text.size();
    files.removeFirst();
}

bool DiskBacklog::holds(const QString& path) const
{
    for (const File& file : files)
        if (file.path == path)
            return true;
    return false;
}
