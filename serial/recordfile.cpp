#include "serial/recordfile.h"

#include <QSaveFile>
#include <QTextCodec>

#include <functional>
#include <memory>

namespace RecordFile {

namespace {

    // Encoded bytes are passed to the file in pieces of about this size.
    constexpr int chunkBytes = 32 * 1024;

    void feedText(const Text& text, const Sink& sink)
    {
        // In pieces through one buffer: the text is replaced as toPlainText() would, never copied
        // whole.
        const int piece = chunkBytes / 2;
        QString buffer;
        const ushort* data = text.view.utf16();
        for (int at = 0; at < text.view.size(); at += piece) {
            const int count = qMin(piece, text.view.size() - at);
            int first = 0;
            while (first < count && !plainCharacter(data[at + first]))
                ++first;
            if (first == count) {
                sink(text.view.constData() + at, count);
                continue;
            }
            buffer.resize(0); // keeps the capacity
            buffer.append(text.view.constData() + at, count);
            QChar* c = buffer.data();
            for (int i = first; i < count; ++i)
                if (const ushort plain = plainCharacter(c[i].unicode()))
                    c[i] = QChar(plain);
            sink(buffer.constData(), buffer.size());
        }
        if (!text.more.isEmpty())
            sink(text.more.constData(), text.more.size());
    }

} // namespace

ushort plainCharacter(ushort c)
{
    switch (c) {
    case QChar::Nbsp:
        return ' ';
    case 0xfdd0: // frame start and end
    case 0xfdd1:
    case QChar::ParagraphSeparator:
    case QChar::LineSeparator:
        return '\n';
    default:
        return 0;
    }
}

QString Text::joined() const
{
    QString all;
    feedText(*this, [&all](const QChar* characters, int count) { all.append(characters, count); });
    return all;
}

bool write(const QString& path, const Text& text, QString* error)
{
    return write(
        path, [&text](const Sink& sink) { feedText(text, sink); }, error);
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
        path,
        [&](const Sink& sink) {
            for (int at = 0; at < text.size(); at += chunkBytes / 2)
                sink(text.constData() + at, qMin(chunkBytes / 2, text.size() - at));
        },
        error);
}

} // namespace RecordFile
