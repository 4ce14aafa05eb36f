// The character/hex converter in both directions.
#include "fuzzinput.h"
#include "tools/core/hexconvert.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const QString text = QString::fromUtf8(in.rest());
    HexConvert::scanToCharacters(HexConvert::scanBytes(text));
    const QString hex = HexConvert::charactersToHex(text);
    bool printable = true;
    for (const QChar c : text)
        printable = printable && c.unicode() >= 0x20 && c.unicode() <= 0x7E;
    // Printable ASCII survives the round trip unchanged.
    if (printable && HexConvert::scanToCharacters(HexConvert::scanBytes(hex)) != text)
        abort();
    return 0;
}
