#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit checksums of the calculator tab, also used for the device command frames.
namespace Checksum {

enum Kind {
    PlainSum, // sum of the bytes
    ComplementSum, // sum of the bitwise complements
    XorSum, // exclusive or of the bytes
};

// The calculator's input as bytes. Hex: blanks dropped, then QByteArray::fromHex (other
// characters ignored, an odd leading digit is a byte of its own). Otherwise Latin-1, with '?' for
// every character outside it.
QByteArray inputBytes(const QString& text, bool hex);

// Modulo 256; 0 for no bytes.
quint8 compute(const QByteArray& bytes, Kind kind);

// Two lower-case hex digits, zero-padded ("0a").
QString hexByte(int value);

}
