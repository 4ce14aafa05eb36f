#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Takes the fuzzer's bytes apart: small numbers first, then strings and the rest.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : bytes(reinterpret_cast<const char*>(data), int(size))
    {
    }
    int number(int modulo)
    {
        if (pos >= bytes.size())
            return 0;
        return int(uint8_t(bytes.at(pos++))) % modulo;
    }
    // A length-prefixed piece.
    QByteArray piece(int maxLength)
    {
        const int n = qMin(number(maxLength + 1), bytes.size() - pos);
        const QByteArray out = bytes.mid(pos, n);
        pos += n;
        return out;
    }
    QByteArray rest() const { return bytes.mid(pos); }
    QString text(int maxLength) { return QString::fromUtf8(piece(maxLength)); }

private:
    QByteArray bytes;
    int pos = 0;
};
