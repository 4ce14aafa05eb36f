// The device reply recogniser: however the port cuts the stream into chunks (up to 1 MiB, or at
// any one offset), the same replies come out. A stream built from replies whose length field is
// filled gives back exactly those replies.
#include "fuzzinput.h"
#include "tools/core/checksum.h"
#include "tools/core/devicecommand.h"
#include "tools/core/replyassembler.h"

#include <climits>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

// Feeds `stream` in pieces, each ending where nextCut(its start) says, and returns the replies.
template <typename NextCut> QList<QByteArray> replies(const QByteArray& stream, NextCut nextCut)
{
    ReplyAssembler assembler;
    QList<QByteArray> found;
    for (int at = 0; at < stream.size();) {
        const int end = qMin(nextCut(at), stream.size());
        const auto step = assembler.feed(stream.mid(at, end - at));
        at = end;
        check(assembler.buffer().size() <= DeviceCommand::ReplyBufferLimit);
        // What waits is a reply begun, nothing else.
        check(assembler.buffer().isEmpty()
            || assembler.buffer().startsWith(DeviceCommand::replyStart()));
        if (step != ReplyAssembler::Step::Complete) {
            check(assembler.replies().isEmpty());
            continue;
        }
        check(!assembler.replies().isEmpty() && assembler.replies().last() == assembler.reply());
        for (const QByteArray& reply : assembler.replies()) {
            check(DeviceCommand::isCompleteReply(reply));
            DeviceCommand::replyText(reply);
        }
        found += assembler.replies();
    }
    return found;
}

// A reply with the length field filled and a count byte that may or may not agree.
QByteArray reply(const QByteArray& text, int count)
{
    QByteArray frame = DeviceCommand::replyStart();
    const int length = 14 + text.size() - 6;
    frame.append(char(length >> 8));
    frame.append(char(length & 0xFF));
    frame.append('\0');
    frame.append(DeviceCommand::fixedMiddle());
    frame.append(char(count));
    frame.append(2, '\x01');
    frame.append(text);
    frame.append(char(Checksum::compute(frame, Checksum::XorSum)));
    return frame;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int chunk = 1 + in.number(256) * 4096 + in.number(256) * 16 + in.number(16);
    // A quarter of the inputs are repeated up to 2 MiB, for chunks of that order.
    const int repeat = in.number(256);
    const int length = repeat < 192 ? 0 : (repeat - 191) * 32768;
    QByteArray piece;
    QList<QByteArray> built;
    if (in.number(2) == 0) {
        piece = in.rest();
    } else {
        for (int n = 1 + in.number(8); n > 0; --n) {
            piece += in.piece(40); // noise
            const QByteArray text = in.piece(255);
            const int count = in.number(2) == 0 ? text.size() + 2 : in.number(256);
            built << reply(text, count);
            piece += built.last();
        }
    }
    if (piece.isEmpty())
        return 0;
    QByteArray stream = piece;
    int copies = 1;
    for (; stream.size() < length; ++copies)
        stream += piece;
    // The built replies are the answer only when no other start sequence came about by chance.
    if (stream.count(DeviceCommand::replyStart()) != built.size() * copies)
        built.clear();

    const QList<QByteArray> whole = replies(stream, [](int) { return INT_MAX; });
    if (!built.isEmpty()) {
        QList<QByteArray> expected;
        for (int i = 0; i < copies; ++i)
            expected += built;
        check(whole == expected);
    }
    check(replies(stream, [chunk](int at) { return at + chunk; }) == whole);
    if (stream.size() <= 16384)
        check(replies(stream, [](int at) { return at + 1; }) == whole);
    if (stream.size() <= DeviceCommand::ReplyBufferLimit) {
        for (int cut = 1; cut < stream.size(); ++cut)
            check(replies(stream, [cut](int at) { return at < cut ? cut : INT_MAX; }) == whole);
    }
    return 0;
}
