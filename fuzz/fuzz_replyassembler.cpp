// The device reply recogniser fed in random chunkings.
#include "fuzzinput.h"
#include "tools/devicecommand.h"
#include "tools/replyassembler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int chunk = 1 + in.number(255);
    const QByteArray stream = in.rest();
    ReplyAssembler assembler;
    for (int i = 0; i < stream.size(); i += chunk) {
        const auto step = assembler.feed(stream.mid(i, chunk));
        if (assembler.buffer().size() > DeviceCommand::ReplyBufferLimit)
            abort();
        // What waits is a reply begun, nothing else.
        if (!assembler.buffer().isEmpty()
            && !assembler.buffer().startsWith(DeviceCommand::replyStart()))
            abort();
        if (step == ReplyAssembler::Step::Complete) {
            if (assembler.replies().isEmpty() || assembler.replies().last() != assembler.reply())
                abort();
            for (const QByteArray& reply : assembler.replies()) {
                if (!DeviceCommand::isCompleteReply(reply))
                    abort();
                DeviceCommand::replyText(reply);
            }
        } else if (!assembler.replies().isEmpty()) {
            abort();
        }
    }
    return 0;
}
