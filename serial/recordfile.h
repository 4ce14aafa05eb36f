#pragma once

#include <QString>

// Writing the receive view to a record file, all or nothing.
namespace RecordFile {

// Writes text to path in text mode with the locale codec. Returns true only when every byte
// reached the file and it was closed without error. On failure *error (when given) says why and
// no file is left at path: the text goes to a temporary file beside it, renamed only once
// complete, so a full disk never leaves a truncated record that looks like a good one.
bool write(const QString& path, const QString& text, QString* error = nullptr);

} // namespace RecordFile
