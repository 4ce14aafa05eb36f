#include "serial/linestore.h"

#include <climits>

QStringRef LineStore::Chunk::line(int i) const
{
    const int start = lineStart(i);
    return QStringRef(&text, start, ends.at(i) - start);
}

qint64 LineStore::Snapshot::chars() const
{
    qint64 n = 0;
    for (const ChunkPtr& chunk : chunks)
        n += chunk->text.size();
    if (!chunks.isEmpty() && skip > 0)
        n -= chunks.first()->lineStart(int(skip));
    return n;
}

void LineStore::Snapshot::dropFront(qint64 n)
{
    skip += n;
    while (!chunks.isEmpty() && skip >= chunks.first()->lineCount()) {
        skip -= chunks.first()->lineCount();
        total -= chunks.first()->lineCount();
        chunks.removeFirst();
    }
    if (chunks.isEmpty())
        total = skip = 0;
}

QString LineStore::Snapshot::joined() const
{
    QString text;
    text.reserve(int(qMin<qint64>(chars(), INT_MAX / 2)));
    feed([&text](const QChar* characters, int count) { text.append(characters, count); });
    return text;
}

LineStore::Chunk& LineStore::writable()
{
    // A chunk that a snapshot holds stays as it is: later lines start a new one.
    if (chunks.isEmpty() || chunks.last().use_count() > 1
        || chunks.last()->lineCount() >= ChunkLines)
        chunks.append(std::make_shared<Chunk>());
    return *chunks.last();
}

void LineStore::append(const QString& line, Kind kind)
{
    Chunk& chunk = writable();
    if (!chunk.ends.isEmpty())
        chunk.text += QLatin1Char('\n');
    chunk.text += line;
    chunk.ends.append(chunk.text.size());
    chunk.kinds.append(char(kind));
    ++total;
}

void LineStore::append(const QString& line, Kind kind, const QVector<Span>& spans)
{
    append(line, kind);
    Chunk& chunk = *chunks.last();
    for (Span span : spans) {
        span.line = chunk.lineCount() - 1;
        chunk.spans.append(span);
    }
}

void LineStore::appendInline(const QString& text)
{
    if (total == 0) {
        append(text, Notice);
        return;
    }
    if (chunks.last().use_count() > 1) // held by a snapshot: this chunk goes on as a copy
        chunks.last() = std::make_shared<Chunk>(*chunks.last());
    Chunk& chunk = *chunks.last();
    chunk.text += text;
    chunk.ends.last() = chunk.text.size();
}

const LineStore::Chunk& LineStore::chunkOf(qint64 i, int* at) const
{
    for (const auto& chunk : chunks) {
        if (i < chunk->lineCount()) {
            *at = int(i);
            return *chunk;
        }
        i -= chunk->lineCount();
    }
    Q_UNREACHABLE();
}

QString LineStore::line(qint64 i) const
{
    int at = 0;
    return chunkOf(i, &at).line(at).toString();
}

LineStore::Kind LineStore::kind(qint64 i) const
{
    int at = 0;
    return Kind(chunkOf(i, &at).kinds.at(at));
}

LineStore::Snapshot LineStore::snapshot()
{
    Snapshot s;
    for (const auto& chunk : chunks)
        s.chunks.append(chunk);
    s.total = total;
    return s;
}

LineStore::Snapshot LineStore::take()
{
    Snapshot s = snapshot();
    chunks.clear();
    total = 0;
    return s;
}
