#include "tools/core/hexconvert.h"

namespace HexConvert {

namespace {

    int digitValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

}

bool isHexDigit(QChar c)
{
    const ushort u = c.unicode();
    return u < 0x80 && digitValue(char(u)) >= 0;
}

QString twoDigits(uint value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QByteArray scanBytes(const QString& hexText)
{
    QString text = hexText;
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\t'));
    QByteArray bytes = text.toUtf8();
    bytes.replace('\n', QByteArray());
    return bytes;
}

QString scanToCharacters(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() / 2 + 1);
    quint8 accumulator = 0;
    int digits = 0;
    for (const char c : bytes) {
        const int value = digitValue(c);
        if (value < 0) {
            out.append(c);
            accumulator = 0;
            digits = 0;
            continue;
        }
        accumulator = quint8(accumulator + value);
        if (++digits == 1) {
            accumulator = quint8(accumulator << 4);
        } else {
            out.append(accumulator >= 0x20 && accumulator <= 0x7E ? char(accumulator) : ' ');
            accumulator = 0;
            digits = 0;
        }
    }
    const int zero = out.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? out : out.left(zero));
}

QString charactersToHex(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

}
