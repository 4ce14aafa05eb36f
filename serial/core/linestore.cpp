#include "serial/core/linestore.h"

#include <algorithm>
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
        || chunks.last()->lineCount() >= ChunkLines) {
        // A chunk is done growing: its spare room goes back (a snapshot's chunk stays as it is).
        if (!chunks.isEmpty() && chunks.last().use_count() == 1) {
            chunks.last()->text.squeeze();
            chunks.last()->ends.squeeze();
            chunks.last()->kinds.squeeze();
            chunks.last()->spans.squeeze();
        }
        // Room for as much as the last chunk held: grown by doubling instead, chunks leave holes
        // in the heap that later, larger ones cannot use.
        const int expected = chunks.isEmpty() ? 0 : chunks.last()->text.size();
        firstChars.append(chunks.isEmpty() ? 0 : firstChars.last() + expected + 1);
        firstLines.append(total);
        chunks.append(std::make_shared<Chunk>());
        if (expected > 0) {
            chunks.last()->text.reserve(expected + expected / 8);
            chunks.last()->ends.reserve(ChunkLines);
            chunks.last()->kinds.reserve(ChunkLines);
        }
    }
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

int LineStore::chunkIndex(qint64 i) const
{
    return int(std::upper_bound(firstLines.cbegin(), firstLines.cend(), i) - firstLines.cbegin())
        - 1;
}

const LineStore::Chunk& LineStore::chunkOf(qint64 i, int* at) const
{
    const int c = chunkIndex(i);
    *at = int(i - firstLines.at(c));
    return *chunks.at(c);
}

QVector<LineStore::Span> LineStore::spans(qint64 i) const
{
    int at = 0;
    const Chunk& chunk = chunkOf(i, &at);
    QVector<Span> out;
    auto it = std::lower_bound(chunk.spans.cbegin(), chunk.spans.cend(), at,
        [](const Span& span, int line) { return span.line < line; });
    for (; it != chunk.spans.cend() && it->line == at; ++it)
        out.append(*it);
    return out;
}

qint64 LineStore::lineStart(qint64 i) const
{
    if (i >= total)
        return i == 0 ? 0 : lineEnd(total - 1) + 1;
    const int c = chunkIndex(i);
    const int at = int(i - firstLines.at(c));
    return firstChars.at(c) + chunks.at(c)->lineStart(at);
}

int LineStore::lineLength(qint64 i) const
{
    int at = 0;
    const Chunk& chunk = chunkOf(i, &at);
    return chunk.ends.at(at) - chunk.lineStart(at);
}

qint64 LineStore::lineAt(qint64 pos) const
{
    if (total == 0)
        return 0;
    const int c = qMax(0,
        int(std::upper_bound(firstChars.cbegin(), firstChars.cend(), pos) - firstChars.cbegin())
            - 1);
    const Chunk& chunk = *chunks.at(c);
    const qint64 within = pos - firstChars.at(c);
    // The first line whose end is at or after the position.
    const int at = int(
        std::lower_bound(chunk.ends.cbegin(), chunk.ends.cend(), within) - chunk.ends.cbegin());
    return qMin(total - 1, firstLines.at(c) + at);
}

QString LineStore::text(qint64 from, qint64 to) const
{
    QString out;
    if (total == 0 || to <= from)
        return out;
    out.reserve(int(qMin<qint64>(to - from, INT_MAX / 2)));
    int c = qMax(0,
        int(std::upper_bound(firstChars.cbegin(), firstChars.cend(), from) - firstChars.cbegin())
            - 1);
    for (; c < chunks.size() && (c == 0 || firstChars.at(c) - 1 < to); ++c) {
        const QString& text = chunks.at(c)->text;
        const qint64 separator = firstChars.at(c) - 1; // the line end between two chunks
        if (c > 0 && separator >= from)
            out += QLatin1Char('\n');
        const qint64 start = qMax<qint64>(0, from - firstChars.at(c));
        const qint64 end = qMin<qint64>(text.size(), to - firstChars.at(c));
        if (end > start)
            out.append(text.constData() + start, int(end - start));
    }
    return out;
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
    firstLines.clear();
    firstChars.clear();
    total = 0;
    return s;
}
