// Frame encapsulation and decapsulation with byte stuffing.
#include "fuzzinput.h"
#include "tools/core/framecodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int which = in.number(3);
    const QByteArray raw = in.rest();
    const FrameCodec::Rule rule; // 7E, 7D, 7D, 02, 01
    QString out;
    if (which == 0) {
        // Arbitrary text into both directions: only the result codes may complain.
        FrameCodec::encapsulate(raw, rule, &out);
        FrameCodec::decapsulate(raw, rule, &out);
        return 0;
    }
    if (raw.isEmpty())
        return 0;
    // Bytes written as hex: decapsulate(encapsulate(x)) == x.
    const QByteArray plain = raw.toHex(' ').toUpper();
    QString frame;
    if (FrameCodec::encapsulate(plain, rule, &frame) != FrameCodec::Result::Ok)
        abort();
    QString back;
    if (FrameCodec::decapsulate(frame.toLatin1(), rule, &back) != FrameCodec::Result::Ok)
        abort();
    if (back != QString::fromLatin1(plain + ' '))
        abort();
    return 0;
}
