#include "tools/core/replyassembler.h"

#include "tools/core/devicecommand.h"

#include <cstring>

namespace {

// Start sequence, fixed bytes and checksum: nothing shorter can be a reply.
constexpr int shortestReply = 12;
// Nothing longer is kept waiting.
constexpr int longestReply = DeviceCommand::ReplyBufferLimit;

// The first one or two bytes of a start sequence at the end of `bytes`, behind `from`.
QByteArray startPieceAtEnd(const QByteArray& bytes, int from)
{
    const int size = bytes.size();
    if (size - from >= 2 && bytes.at(size - 2) == '\x55' && bytes.at(size - 1) == '\x7A')
        return bytes.right(2);
    if (size - from >= 1 && bytes.at(size - 1) == '\x55')
        return bytes.right(1);
    return QByteArray();
}

}

void ReplyAssembler::restart()
{
    searched = 0;
    next = -1;
    scanned = 0;
    sum = 0;
    sumAtStated = 0xFF;
    firstEnd = 0;
}

int ReplyAssembler::decide(const QByteArray& data, int pos)
{
    const int avail = data.size() - pos;
    const char* const p = data.constData() + pos;
    if (next < 0 && searched < avail) {
        // Two bytes back: a start sequence may have begun at the end of the last chunk.
        const int at = data.indexOf(DeviceCommand::replyStart(), pos + qMax(1, searched - 2));
        if (at >= 0)
            next = at - pos;
        else
            searched = avail;
    }
    if (avail < shortestReply
        || std::memcmp(p + 6, DeviceCommand::fixedMiddle().constData(), 5) != 0)
        return next < 0 ? Wait : Abandon;

    // A board that fills the length field the way a command does states the reply's size; the
    // count byte, filled alike, confirms it.
    const int byLength = ((quint8(p[3]) << 8) | quint8(p[4])) + 7;
    const bool confirmed = byLength == quint8(p[11]) + 13;
    const int stated = byLength >= shortestReply && byLength <= longestReply ? byLength : 0;

    // A reply does not reach into the next one further than its first byte. Until its start is
    // complete, 55 7A at the end may be the next one arriving.
    int limit = next + 1;
    if (next < 0) {
        const bool piece = avail >= 2 && p[avail - 2] == '\x55' && p[avail - 1] == '\x7A';
        limit = piece ? avail - 1 : avail;
    }
    const int scanEnd = qMin(limit, longestReply);
    while (scanned < scanEnd) {
        sum ^= quint8(p[scanned++]);
        if (scanned == stated)
            sumAtStated = sum;
        if (sum == 0 && firstEnd == 0 && scanned >= shortestReply)
            firstEnd = scanned; // the last byte is the XOR of all before it
    }

    if (stated > 0) {
        if (stated <= limit) {
            if (sumAtStated == 0)
                return stated;
        } else if (next < 0) {
            return Wait; // an earlier match of the checksum is chance while the rest may come
        }
    }
    if (confirmed) {
        // The stated size did not hold: corrupt, unless it reaches just up to the next start.
        if (next >= shortestReply && next <= longestReply) {
            const quint8 before = scanned > next ? quint8(sum ^ quint8(p[next])) : sum;
            if (before == 0)
                return next;
        }
    } else if (firstEnd > 0) {
        return firstEnd; // no size to go by: the first end at which the checksum holds
    }
    return next < 0 ? Wait : Abandon;
}

ReplyAssembler::Step ReplyAssembler::feed(const QByteArray& chunk)
{
    lastReplies.clear();
    QByteArray data;
    int pos = 0;
    if (cache.isEmpty()) {
        data = startPiece.isEmpty() ? chunk : startPiece + chunk;
        startPiece.clear();
        pos = data.indexOf(DeviceCommand::replyStart());
        if (pos < 0) {
            startPiece = startPieceAtEnd(data, 0);
            return Step::Ignored;
        }
        restart();
    } else {
        data = cache + chunk;
    }
    lastExamined = data.mid(pos);
    while (pos < data.size()) {
        const int end = decide(data, pos);
        if (end == Wait)
            break;
        // Abandoned: a new start before this reply was complete; the partial reply is lost.
        int following = pos + next;
        if (end > 0) {
            lastReplies.append(data.mid(pos, end));
            // Behind a reply only the next reply counts; an echo or a log line goes. A start
            // sequence that would share the reply's last byte is no start.
            if (next >= 0 && next < end)
                following = data.indexOf(DeviceCommand::replyStart(), pos + end);
            if (next < 0 || following < 0) {
                startPiece = startPieceAtEnd(data, pos + end);
                pos = data.size();
                restart();
                break;
            }
        }
        pos = following;
        restart();
    }
    if (pos < data.size())
        cache = data.mid(pos);
    else
        cache.clear();
    if (cache.size() > longestReply) {
        startPiece = startPieceAtEnd(cache, 3);
        cache.clear();
        restart();
        if (lastReplies.isEmpty())
            return Step::Dropped;
    }
    if (lastReplies.isEmpty())
        return Step::Waiting;
    lastReply = lastReplies.last();
    return Step::Complete;
}
