#include "tools/replyassembler.h"

#include "tools/devicecommand.h"

ReplyAssembler::Step ReplyAssembler::feed(const QByteArray& chunk)
{
    const int start = chunk.indexOf(DeviceCommand::replyStart());
    if (start >= 0) {
        cache = chunk.mid(start); // a reply cut short by a new one is lost
    } else {
        if (cache.isEmpty())
            return Step::Ignored;
        cache.append(chunk);
    }
    if (cache.isEmpty())
        return Step::Ignored;
    if (cache.size() > DeviceCommand::ReplyBufferLimit) {
        cache.clear();
        return Step::Dropped;
    }
    lastExamined = cache;
    if (!DeviceCommand::isCompleteReply(cache))
        return Step::Waiting;
    lastReply = cache;
    cache.clear();
    return Step::Complete;
}
