#include "tools/core/checksum.h"

#include "tools/core/hexconvert.h"

namespace Checksum {

QByteArray inputBytes(const QString& text, bool hex)
{
    if (!hex)
        return text.toLatin1();
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    return QByteArray::fromHex(digits.toLatin1());
}

quint8 compute(const QByteArray& bytes, Kind kind)
{
    quint8 sum = 0;
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        switch (kind) {
        case PlainSum:
            sum = quint8(sum + b);
            break;
        case ComplementSum:
            sum = quint8(sum + quint8(0xFF - b));
            break;
        case XorSum:
            sum ^= b;
            break;
        }
    }
    return sum;
}

QString hexByte(int value) { return HexConvert::twoDigits(uint(value)).toLower(); }

}
