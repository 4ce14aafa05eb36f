#pragma once

#include <QString>

#include <functional>

class QChar;

// Writing the receive view to a record file, all or nothing.
namespace RecordFile {

// Writes text to path in text mode with the locale codec. Returns true only when every byte
// reached the file and it was closed without error. On failure *error (when given) says why and
// no file is left at path: the text goes to a temporary file beside it, renamed only once
// complete, so a full disk never leaves a truncated record that looks like a good one.
bool write(const QString& path, const QString& text, QString* error = nullptr);

// A view's text taken for a record file: the document's raw text (QTextDocument::toRawText(),
// one copy of its characters), then text that follows it as it is. What toPlainText() would
// replace (block and line separators, no-break spaces) is replaced as the text is written, off
// the GUI thread.
struct Text {
    QString view;
    QString more;

    bool isEmpty() const { return view.isEmpty() && more.isEmpty(); }
    // The text as toPlainText() of the view, followed by more.
    QString joined() const;
};

bool write(const QString& path, const Text& text, QString* error = nullptr);

// What toPlainText() makes of a character of the document; 0 when it stays as it is.
ushort plainCharacter(ushort c);

// Takes count characters of the text, in order.
using Sink = std::function<void(const QChar* characters, int count)>;

// As above, for a text handed over in pieces: feed(sink) passes all of it to sink. The pieces
// are encoded through one small buffer, so no copy of the whole text is made: building and
// dropping one per automatic save only churns the heap.
bool write(
    const QString& path, const std::function<void(const Sink&)>& feed, QString* error = nullptr);

} // namespace RecordFile
