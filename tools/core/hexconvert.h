#pragma once

#include <QByteArray>
#include <QString>

// In-place conversion of the character/hex box between characters and hex notation.
namespace HexConvert {

// The hex text as the scanner reads it: blanks and tabs dropped, UTF-8, line feeds dropped.
QByteArray scanBytes(const QString& hexText);

// Pairs of hex digits become one character each (a blank for values outside 0x20 … 0x7E);
// any other byte is copied and drops a half-read pair; a lone digit at the end is dropped.
// The result is Latin-1 up to the first zero byte.
QString scanToCharacters(const QByteArray& bytes);

// UTF-8 bytes as upper-case hex digits without separators.
QString charactersToHex(const QString& text);

// 0-9, A-F, a-f.
bool isHexDigit(QChar c);

// Upper-case hex digits, at least two ("0A", "FF", "1FF"): how byte values and codes are shown.
QString twoDigits(uint value);

}
