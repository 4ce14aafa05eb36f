#include "serial/core/recordfile.h"

#include <QSaveFile>
#include <QTextCodec>

#include <functional>
#include <memory>

namespace RecordFile {

namespace {

    // Encoded bytes are passed to the file in pieces of about this size.
    constexpr int chunkBytes = 32 * 1024;

    // Pieces of at most this many characters, so the encoded buffer stays small.
    void feedInPieces(const QChar* text, int count, const Sink& sink)
    {
        for (int at = 0; at < count; at += chunkBytes / 2)
            sink(text + at, qMin(chunkBytes / 2, count - at));
    }

} // namespace

bool write(const QString& path, const LineStore::Snapshot& lines, QString* error)
{
    return write(
        path,
        [&lines](const Sink& sink) {
            lines.feed([&sink](const QChar* text, int count) { feedInPieces(text, count, sink); });
        },
        error);
}

bool write(const QString& path, const std::function<void(const Sink&)>& feed, QString* error)
{
    QSaveFile file(path);
    // A rename over the old name is the point: writing in place could leave half a file behind.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // Stateful, so a character split between two pieces is still encoded whole; no byte order
    // mark, as QTextStream wrote none.
    const std::unique_ptr<QTextEncoder> encoder(
        QTextCodec::codecForLocale()->makeEncoder(QTextCodec::IgnoreHeader));
    QByteArray buffer;
    buffer.reserve(2 * chunkBytes);
    bool failed = false;
    const auto flush = [&] {
        if (!failed && !buffer.isEmpty() && file.write(buffer) != buffer.size())
            failed = true;
        buffer.resize(0); // keeps the reserved capacity
    };
    feed([&](const QChar* characters, int count) {
        if (failed || count == 0)
            return;
        buffer += encoder->fromUnicode(characters, count);
        if (buffer.size() >= chunkBytes)
            flush();
    });
    flush();
    // commit() does not see a failure of the final flush of the file's own buffer.
    if (!failed && !file.flush())
        failed = true;
    if (failed) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // commit() fails after any failed write, and when the final flush, close or rename fails;
    // the temporary file is removed then.
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool write(const QString& path, const QString& text, QString* error)
{
    return write(
        path, [&](const Sink& sink) { feedInPieces(text.constData(), text.size(), sink); }, error);
}

} // namespace RecordFile
