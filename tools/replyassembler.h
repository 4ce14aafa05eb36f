#pragma once

#include <QByteArray>
#include <QList>

// Collects the device's reply frames from the chunks the port delivers. A reply begins at the
// start sequence 55 7A 80; bytes without it are ignored while no reply is begun. A reply is found
// wherever it ends in what was collected, so bytes behind it (an echo, a log line, the next
// reply) do not hide it.
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

    // Where the reply at the front of `bytes` (which begin with the start sequence) ends, or 0
    // while it is not complete.
    static int replyEnd(const QByteArray& bytes);

private:
    QByteArray cache;
    QByteArray lastExamined;
    QList<QByteArray> lastReplies;
    QByteArray lastReply;
};
