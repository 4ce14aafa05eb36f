// The checksum calculator's input parser and sums.
#include "fuzzinput.h"
#include "tools/core/checksum.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const bool hex = in.number(2);
    const QString text = QString::fromUtf8(in.rest());
    QByteArray bytes = Checksum::inputBytes(text, hex);
    const quint8 x = Checksum::compute(bytes, Checksum::XorSum);
    Checksum::compute(bytes, Checksum::PlainSum);
    Checksum::compute(bytes, Checksum::ComplementSum);
    // A frame that carries its own XOR sums to zero.
    bytes.append(char(x));
    if (Checksum::compute(bytes, Checksum::XorSum) != 0)
        abort();
    if (Checksum::hexByte(x).size() != 2)
        abort();
    return 0;
}
