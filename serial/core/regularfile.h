#pragma once

#include <QByteArray>
#include <QString>

// Files the user names for a preview or a transfer. Only regular files qualify, and nothing is
// read beyond the size they had when checked: a named pipe blocks, a terminal waits for typing,
// and /dev/zero never ends.
namespace RegularFile {

enum class Status { Ok, Missing, Unreadable, NotRegular, TooLarge, ReadFailed };
enum class Kind { Regular, Directory, Fifo, CharDevice, BlockDevice, Socket, Other };

struct Result {
    Status status = Status::Missing;
    Kind kind = Kind::Other;
    qint64 size = 0; // of the opened file
    QByteArray data; // its first min(size, maxBytes) bytes
    QString error; // the system's reason when opening or reading failed
};

// Reads at most maxBytes of the regular file at path. A file larger than sizeLimit (when not
// negative) gives TooLarge and nothing is read.
Result read(const QString& path, qint64 maxBytes, qint64 sizeLimit = -1);

}
