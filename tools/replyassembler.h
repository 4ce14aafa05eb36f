#pragma once

#include <QByteArray>

// Collects the device's reply frame from the chunks the port delivers. A chunk holding the start
// sequence 55 7A 80 begins a new reply there; a chunk without it continues a reply already begun
// and is ignored otherwise.
class ReplyAssembler {
public:
    enum class Step {
        Ignored, // no reply begun
        Dropped, // grew past the limit and was thrown away
        Waiting, // a reply begun and not yet complete
        Complete, // reply() holds it; the buffer is empty again
    };

    Step feed(const QByteArray& chunk);

    // What the last Waiting or Complete step looked at.
    const QByteArray& examined() const { return lastExamined; }
    const QByteArray& reply() const { return lastReply; }
    const QByteArray& buffer() const { return cache; }

private:
    QByteArray cache;
    QByteArray lastExamined;
    QByteArray lastReply;
};
