#pragma once

#include "serial/core/linestore.h"

#include <QList>
#include <QString>

// Record files that could not be written (a full disk), kept in memory in order until the disk
// takes them again. Bounded: past the bound the oldest lines go, and the caller is told how many.
class DiskBacklog {
public:
    // 64 MiB of text.
    static constexpr qint64 DefaultMaxChars = 32 << 20;

    struct File {
        QString path;
        LineStore::Snapshot lines;
    };

    // Keeps a file's lines behind the others; returns the number of lines dropped to stay within
    // the bound (the oldest first).
    qint64 keep(const QString& path, const LineStore::Snapshot& lines);
    bool isEmpty() const { return files.isEmpty(); }
    int count() const { return files.size(); }
    qint64 chars() const { return total; }
    qint64 lines() const;
    // The oldest file, to be written next; written() drops it.
    const File& head() const { return files.first(); }
    void written();
    bool holds(const QString& path) const;
    void setMaxChars(qint64 chars) { maxChars = chars; }

private:
    QList<File> files;
    qint64 total = 0;
    qint64 maxChars = DefaultMaxChars;
};
