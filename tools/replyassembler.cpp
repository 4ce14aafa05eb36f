#include "tools/replyassembler.h"

#include "tools/devicecommand.h"

namespace {

// Start sequence, fixed bytes and checksum: nothing shorter can be a reply.
constexpr int shortestReply = 12;

}

int ReplyAssembler::replyEnd(const QByteArray& bytes)
{
    const int size = bytes.size();
    if (size < shortestReply || !bytes.startsWith(DeviceCommand::replyStart())
        || bytes.mid(6, 5) != DeviceCommand::fixedMiddle())
        return 0;
    // A reply does not reach into the next one.
    const int next = bytes.indexOf(DeviceCommand::replyStart(), 1);
    const int limit = next < 0 ? size : next;
    const auto completeAt = [&bytes, size](int end) {
        return end >= shortestReply && end <= size
            && DeviceCommand::isCompleteReply(bytes.left(end));
    };
    // A board that fills the length field and the count byte the way a command does states the
    // reply's size twice; when both agree, that size is believed first.
    const int byLength = ((quint8(bytes.at(3)) << 8) | quint8(bytes.at(4))) + 7;
    const int byCount = quint8(bytes.at(11)) + 13;
    const bool described = byLength == byCount;
    if (described && completeAt(byLength))
        return byLength;
    if (completeAt(limit))
        return limit;
    if (described)
        return 0; // still arriving, or corrupt
    // Otherwise the first end at which the checksum holds.
    quint8 sum = 0;
    for (int i = 0; i < limit; ++i) {
        if (i + 1 >= shortestReply && quint8(bytes.at(i)) == sum)
            return i + 1;
        sum ^= quint8(bytes.at(i));
    }
    return 0;
}

ReplyAssembler::Step ReplyAssembler::feed(const QByteArray& chunk)
{
    lastReplies.clear();
    if (cache.isEmpty()) {
        const int start = chunk.indexOf(DeviceCommand::replyStart());
        if (start < 0)
            return Step::Ignored;
        cache = chunk.mid(start);
    } else {
        cache.append(chunk);
    }
    lastExamined = cache;
    while (!cache.isEmpty()) {
        const int end = replyEnd(cache);
        if (end > 0) {
            lastReplies.append(cache.left(end));
            cache.remove(0, end);
            // Behind a reply only the next reply counts; an echo or a log line goes.
            const int next = cache.indexOf(DeviceCommand::replyStart());
            if (next < 0)
                cache.clear();
            else
                cache.remove(0, next);
            continue;
        }
        // A new start before this reply was complete: the partial reply is lost.
        const int next = cache.indexOf(DeviceCommand::replyStart(), 1);
        if (next < 0)
            break;
        cache.remove(0, next);
    }
    if (cache.size() > DeviceCommand::ReplyBufferLimit) {
        cache.clear();
        if (lastReplies.isEmpty())
            return Step::Dropped;
    }
    if (lastReplies.isEmpty())
        return Step::Waiting;
    lastReply = lastReplies.last();
    return Step::Complete;
}
