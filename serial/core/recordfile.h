#pragma once

#include "serial/core/linestore.h"

#include <QString>

#include <functional>

class QChar;

// Writing the receive record to a file, all or nothing.
namespace RecordFile {

// Writes text to path in text mode with the locale codec. Returns true only when every byte
// reached the file and it was closed without error. On failure *error (when given) says why and
// no file is left at path: the text goes to a temporary file beside it, renamed only once
// complete, so a full disk never leaves a truncated record that looks like a good one.
bool write(const QString& path, const QString& text, QString* error = nullptr);

// The lines, separated by '\n', no line end after the last.
bool write(const QString& path, const LineStore::Snapshot& lines, QString* error = nullptr);

// Takes count characters of the text, in order.
using Sink = std::function<void(const QChar* characters, int count)>;

// As above, for a text handed over in pieces: feed(sink) passes all of it to sink. The pieces
// are encoded through one small buffer, so no copy of the whole text is made.
bool write(
    const QString& path, const std::function<void(const Sink&)>& feed, QString* error = nullptr);

} // namespace RecordFile
