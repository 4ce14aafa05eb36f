#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

// The lines of the receive area, in order, as the record of what was received: record files are
// written from it, the view only shows it. Lines live in chunks of a few thousand; a chunk is
// never changed once a snapshot holds it, so snapshots are values that other threads may read
// and drop (no QObject, no lock beyond the reference counts). Appending is amortised O(1);
// clearing hands the chunks over in O(1).
class LineStore {
public:
    enum Kind : quint8 { Received, Sent, Notice };

    // A colour run within a line; laid down by the colour decoder, drawn by the view.
    struct Span {
        int line; // within the chunk
        int start;
        int length;
        quint32 format;
    };

    struct Chunk {
        QString text; // the lines, each but the last followed by '\n'
        QVector<int> ends; // where each line's text ends in text
        QByteArray kinds;
        QVector<Span> spans;

        int lineCount() const { return ends.size(); }
        int lineStart(int i) const { return i == 0 ? 0 : ends.at(i - 1) + 1; }
        QStringRef line(int i) const;
    };
    using ChunkPtr = std::shared_ptr<const Chunk>;

    // An immutable view of lines: whole chunks, the first lines of the first one skipped.
    class Snapshot {
    public:
        bool isEmpty() const { return lines() == 0; }
        qint64 lines() const { return total - skip; }
        qint64 chars() const;
        // Drops the oldest n lines (all when n is larger).
        void dropFront(qint64 n);
        // The text as a record file holds it: lines separated by '\n', no line end after the
        // last. Passed in pieces, no copy of the whole.
        template <typename Sink> void feed(Sink&& sink) const;
        QString joined() const;

    private:
        friend class LineStore;
        QVector<ChunkPtr> chunks;
        qint64 total = 0;
        qint64 skip = 0; // lines of chunks.first()
    };

    static constexpr int ChunkLines = 4096;

    void append(const QString& line, Kind kind = Received);
    // With the line's colour runs (their line field is set here).
    void append(const QString& line, Kind kind, const QVector<Span>& spans);
    // Text that continues the last line (a file transfer's progress); a line of its own when
    // the store is empty.
    void appendInline(const QString& text);
    qint64 lines() const { return total; }
    bool isEmpty() const { return total == 0; }
    QString line(qint64 i) const;
    Kind kind(qint64 i) const;
    // The colour runs of line i, their start within the line.
    QVector<Span> spans(qint64 i) const;

    // Positions count characters of the text lines [0, n) make when joined by '\n', as a record
    // file holds it; a line's end is the position of its '\n'.
    qint64 lineStart(qint64 i) const;
    qint64 lineEnd(qint64 i) const { return lineStart(i) + lineLength(i); }
    int lineLength(qint64 i) const;
    // The line holding position pos (the last line for a position past the end).
    qint64 lineAt(qint64 pos) const;
    // The text of the lines between the positions, joined by '\n'.
    QString text(qint64 from, qint64 to) const;
    // The chunks' texts and where they start, for searches that take the text in pieces.
    int chunkCount() const { return chunks.size(); }
    const QString& chunkText(int c) const { return chunks.at(c)->text; }
    qint64 chunkStart(int c) const { return firstChars.at(c); }

    // Everything now, as a value; the store goes on (later lines start a new chunk).
    Snapshot snapshot();
    // Everything now, and the store starts empty.
    Snapshot take();

private:
    Chunk& writable();
    int chunkIndex(qint64 i) const;
    const Chunk& chunkOf(qint64 i, int* at) const;

    QVector<std::shared_ptr<Chunk>> chunks;
    // Where each chunk starts, in lines and in positions; only the last chunk still grows.
    QVector<qint64> firstLines;
    QVector<qint64> firstChars;
    qint64 total = 0;
};

template <typename Sink> void LineStore::Snapshot::feed(Sink&& sink) const
{
    const QChar newline = QLatin1Char('\n');
    bool first = true;
    for (int c = 0; c < chunks.size(); ++c) {
        const Chunk& chunk = *chunks.at(c);
        const int from = c == 0 ? chunk.lineStart(int(skip)) : 0;
        if (c == 0 && skip >= chunk.lineCount())
            continue;
        if (!first)
            sink(&newline, 1);
        first = false;
        sink(chunk.text.constData() + from, chunk.text.size() - from);
    }
}
