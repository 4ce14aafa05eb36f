#pragma once

#include <QString>
#include <QtGlobal>

// The optional debug log: every message of the program, one line each, in debug.log.
namespace DebugLog {

// Past this size the log keeps only its newest half.
constexpr qint64 Cap = 16 * 1024 * 1024;

// Beside the program when its folder exists, else in the working folder.
QString path();
void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);

// Once the file at `path` is larger than `cap`, cuts it to its newest cap / 2 bytes or less,
// starting at the beginning of a line.
void keepNewestHalf(const QString& path, qint64 cap = Cap);

}
