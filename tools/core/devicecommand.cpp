#include "tools/core/devicecommand.h"

#include "tools/core/checksum.h"
#include "tools/core/hexconvert.h"

namespace DeviceCommand {

namespace {

    // Length field and checksum over a frame whose bytes 0 … 4 exist.
    QByteArray sealed(QByteArray frame)
    {
        if (frame.size() >= 5) {
            const int length = frame.size() - 6;
            frame[3] = char((length >> 8) & 0xFF);
            frame[4] = char(length & 0xFF);
        }
        frame.append(char(Checksum::compute(frame, Checksum::XorSum)));
        return frame;
    }

}

QByteArray commandStart() { return QByteArray::fromRawData("\xAA\x75\x80", 3); }
QByteArray replyStart() { return QByteArray::fromRawData("\x55\x7A\x80", 3); }
QByteArray fixedMiddle() { return QByteArray::fromRawData("\xAA\xBB\x42\x01\xFE", 5); }

QString commandHeader() { return QStringLiteral("AA7580000000AABB4201FE"); }

QString completeFrame(const QString& frameText)
{
    return QString::fromLatin1(sealed(QByteArray::fromHex(frameText.toLatin1())).toHex().toUpper());
}

QString presetFrameText(quint8 code)
{
    return commandHeader() + QStringLiteral("01") + HexConvert::twoDigits(code);
}

Payload checkPayload(const QString& text, QString* digits)
{
    QString d = text;
    d.remove(QLatin1Char(' '));
    *digits = d;
    if (d.isEmpty())
        return Payload::Empty;
    for (const QChar c : d) {
        if (!HexConvert::isHexDigit(c))
            return Payload::NotHex;
    }
    if (d.size() % 2 != 0)
        return Payload::NotHex;
    if (d.size() / 2 > MaxPayloadBytes)
        return Payload::TooLong;
    return Payload::Ok;
}

QString payloadFrameText(const QString& digits)
{
    return commandHeader() + HexConvert::twoDigits(uint(digits.size() / 2)) + digits;
}

QByteArray commandFrame(const QByteArray& payload)
{
    QByteArray frame = QByteArray::fromHex(commandHeader().toLatin1());
    frame.append(char(payload.size() & 0xFF));
    frame.append(payload);
    return sealed(frame);
}

bool isCompleteReply(const QByteArray& bytes)
{
    // The checksum follows the fixed bytes, so a shorter buffer is still incomplete.
    if (bytes.size() < 12 || !bytes.startsWith(replyStart()) || bytes.mid(6, 5) != fixedMiddle())
        return false;
    return quint8(bytes.at(bytes.size() - 1))
        == Checksum::compute(bytes.left(bytes.size() - 1), Checksum::XorSum);
}

QByteArray replyText(const QByteArray& reply)
{
    if (reply.size() <= ReplyHeaderBytes)
        return QByteArray();
    return reply.mid(ReplyTextOffset, reply.size() - 1 - ReplyTextOffset);
}

QByteArray replyFrame(quint8 code, quint8 status, const QByteArray& text)
{
    const QByteArray body = text.left(MaxPayloadBytes - 2);
    QByteArray frame = replyStart();
    frame.append(2, '\0'); // length, patched in by sealed()
    frame.append('\0');
    frame.append(fixedMiddle());
    frame.append(char(body.size() + 2));
    frame.append(char(code));
    frame.append(char(status));
    frame.append(body);
    return sealed(frame);
}

}
