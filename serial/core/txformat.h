#pragma once

#include <QByteArray>
#include <QString>

// What the send paths turn typed text into, and the file transfer's arithmetic.
namespace TxFormat {

// Hex text to bytes, two characters a byte (one at the end of an odd-length text); blanks are
// dropped first and a group that is not hex gives 0x00. echo receives each group and a blank,
// in the letter case typed.
QByteArray hexToBytes(const QString& text, QString* echo = nullptr);

// Whether every two-character group of the blank-free text reads as hex.
bool isValidHex(const QString& text);

// Text to bytes in the chosen codec (a name RxFormat::canonicalCodec reads); characters the codec
// cannot hold become '?'.
QByteArray textToBytes(const QString& text, const QByteArray& codec);

// File transfer: packets of 512 bytes every 50 ms.
constexpr int PacketBytes = 512;
constexpr int ProgressScale = 5000;
constexpr int PreviewBytes = 4000;

// Seconds shown before a transfer: whole packets times 60 ms.
float estimateSeconds(qint64 fileSize);
// Progress bar value, truncated toward zero.
int progressValue(qint64 sent, qint64 total);
// Size of the next packet: the rest when at most a packet remains.
int nextPacketSize(qint64 sent, qint64 total);
// Advances the dot phase (0 after 50) and returns the format for the progress text.
QString dotFormat(int* tick);
// What the preview shows: the bytes up to the first zero byte, as UTF-8.
QString previewText(const QByteArray& head);

}
