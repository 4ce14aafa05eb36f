#pragma once

#include <QByteArray>
#include <QString>

// The framed command protocol of the MCU boards (port byte 0xFE).
//
// Command, host to device: AA 75 80 | length (2, big-endian: bytes before the checksum - 6) |
// 00 | AA BB 42 01 FE | n | n payload bytes | XOR of everything before.
// Reply, device to host: 55 7A 80 | 3 bytes | AA BB 42 01 FE | 3 bytes | text | XOR of everything
// before. Our simulator fills the unexamined bytes like a command: length, 00, then the count
// of the bytes after it, the command code and a status byte.
namespace DeviceCommand {

constexpr int MaxPayloadBytes = 255;
constexpr int ReplyTextOffset = 14;
// A reply of this size or less carries no text.
constexpr int ReplyHeaderBytes = 15;
constexpr int ReplyBufferLimit = 4096;

// Command codes of the three preset buttons.
constexpr quint8 HostVersion = 0x01;
constexpr quint8 ResetMcu = 0x02;
constexpr quint8 ResetInfo = 0x03;

// "AA7580000000AABB4201FE": the command header with the length still zero.
QString commandHeader();

// A frame typed as hex text (header, count, payload) made complete: length patched in, the
// checksum appended, upper-case hex without separators.
QString completeFrame(const QString& frameText);

// The frame text of a preset: header, count 01, the code.
QString presetFrameText(quint8 code);

enum class Payload { Ok, Empty, NotHex, TooLong };
// Checks the free payload of the console. Blanks are dropped into *digits. Anything but hex
// digits, and an odd digit count (the count byte would not match the bytes sent), is NotHex.
Payload checkPayload(const QString& text, QString* digits);
// Header, the count as two hex digits, the payload digits.
QString payloadFrameText(const QString& digits);

// The complete command frame for payload bytes.
QByteArray commandFrame(const QByteArray& payload);

// Reply recognition: start sequence, fixed bytes 6 … 10 and the checksum in the last byte.
bool isCompleteReply(const QByteArray& bytes);
// Bytes 14 up to the checksum; empty for a reply of 15 bytes or less.
QByteArray replyText(const QByteArray& reply);
// A reply frame as the simulated board sends it (text cut to fit the count byte).
QByteArray replyFrame(quint8 code, quint8 status, const QByteArray& text);

QByteArray commandStart(); // AA 75 80
QByteArray replyStart(); // 55 7A 80
QByteArray fixedMiddle(); // AA BB 42 01 FE, bytes 6 … 10 of both directions

}
