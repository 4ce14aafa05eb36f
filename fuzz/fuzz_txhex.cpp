// The send side's hex conversion and check.
#include "fuzzinput.h"
#include "serial/core/txformat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const QString text = QString::fromUtf8(in.rest());
    QString echo;
    const QByteArray bytes = TxFormat::hexToBytes(text, &echo);
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (bytes.size() != (digits.size() + 1) / 2)
        abort();
    if (echo.size() != digits.size() + bytes.size())
        abort();
    if (TxFormat::isValidHex(text)) {
        // Valid text converts back to the same digits.
        QString upper = digits.toUpper();
        QString again;
        TxFormat::hexToBytes(upper, &again);
        again.remove(QLatin1Char(' '));
        if (again != upper)
            abort();
    }
    return 0;
}
