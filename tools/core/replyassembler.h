#pragma once

#include <QByteArray>
#include <QList>

// Collects the device's reply frames from the chunks the port delivers. A reply begins at the
// start sequence 55 7A 80; bytes without it are ignored while no reply is begun. A reply is found
// wherever it ends in what was collected, so bytes behind it (an echo, a log line, the next
// reply) do not hide it.
//
// Where a reply ends depends on the bytes alone, never on where the port cut them into chunks:
// a reply is taken only once nothing that may still arrive can change its end. A chunk costs
// time in proportion to its size and the few kilobytes kept waiting, however many replies it holds.
class ReplyAssembler {
public:
    enum class Step {
        Ignored, // no reply begun
        Dropped, // grew past the limit and was thrown away
        Waiting, // a reply begun and not yet complete
        Complete, // replies() holds what this chunk completed
    };

    Step feed(const QByteArray& chunk);

    // What the last Waiting or Complete step looked at: the collected bytes with the chunk.
    const QByteArray& examined() const { return lastExamined; }
    // The replies the last Complete step found, in order, and the last of them.
    const QList<QByteArray>& replies() const { return lastReplies; }
    const QByteArray& reply() const { return lastReply; }
    // A reply begun and not complete yet.
    const QByteArray& buffer() const { return cache; }

private:
    enum { Wait = 0, Abandon = -1 };
    // The end of the reply at `pos` in `data`, Wait, or Abandon (the next start takes over).
    int decide(const QByteArray& data, int pos);
    void restart();

    QByteArray cache;
    // The first bytes of a start sequence that ended the last chunk while no reply was begun.
    QByteArray startPiece;
    QByteArray lastExamined;
    QList<QByteArray> lastReplies;
    QByteArray lastReply;

    // What is known about the reply at the front, so bytes already looked at are not again.
    int searched = 0; // bytes searched for the next start sequence
    int next = -1; // where the next start sequence begins, once found
    int scanned = 0; // bytes folded into sum
    quint8 sum = 0;
    quint8 sumAtStated = 0xFF;
    int firstEnd = 0; // first length at which the checksum holds
};
