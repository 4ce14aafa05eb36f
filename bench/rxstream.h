#pragma once

#include <QByteArray>

#include <vector>

// The benchmark's byte stream: numbered 40-byte lines, and the check of what was shown.
namespace RxStream {

constexpr int LineBytes = 40;

// Line seq as sent: "seq=%08u " + 25 letters + CR LF in text; in binary, the number as four
// bytes with the top bit set, 34 payload bytes (never LF), CR LF.
QByteArray line(quint32 seq, bool hex);
void appendLine(QByteArray& out, quint32 seq, bool hex);

// How often each sent line was seen in shown text, and the shown lines that match no sent line.
struct Tally {
    std::vector<quint8> seen;
    qint64 bad = 0;
};

// Adds the RX lines of shown text (the view's plain text or a record file, UTF-8 or the
// system code page) to the tally; blank lines are ignored.
void tallyText(const QByteArray& text, bool hex, Tally& tally);

struct Outcome {
    qint64 lost = 0;
    qint64 duplicated = 0;
    qint64 cleared = 0; // unseen lines before the first seen one, when clears were not saved
};

// With clearsSaved false, lines before the first one seen count as cleared, not lost.
Outcome outcome(const Tally& tally, bool clearsSaved);

} // namespace RxStream
