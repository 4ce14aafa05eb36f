#include "serial/core/txformat.h"

#include "serial/core/rxformat.h"

#include <QTextCodec>

namespace TxFormat {

static QString withoutBlanks(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char(' '));
    return out;
}

QByteArray hexToBytes(const QString& text, QString* echo)
{
    const QString digits = withoutBlanks(text);
    QByteArray bytes;
    bytes.reserve(digits.size() / 2 + 1);
    for (int i = 0; i < digits.size(); i += 2) {
        const QString group = digits.mid(i, 2);
        bytes.append(char(group.toUShort(nullptr, 16) & 0xFF));
        if (echo)
            *echo += group + QLatin1Char(' ');
    }
    return bytes;
}

bool isValidHex(const QString& text)
{
    const QString digits = withoutBlanks(text);
    for (int i = 0; i < digits.size(); i += 2) {
        bool ok = false;
        digits.mid(i, 2).toUShort(&ok, 16);
        if (!ok)
            return false;
    }
    return true;
}

QByteArray textToBytes(const QString& text, const QByteArray& codec)
{
    const QByteArray name = RxFormat::canonicalCodec(codec);
    if (name == "UTF-8")
        return text.toUtf8();
    if (name == "ISO-8859-1")
        return text.toLatin1();
    QTextCodec* gbk = QTextCodec::codecForName(name);
    return gbk ? gbk->fromUnicode(text) : text.toLatin1();
}

float estimateSeconds(qint64 fileSize) { return float(double(fileSize / PacketBytes) * 60 / 1000); }

int progressValue(qint64 sent, qint64 total)
{
    if (total <= 0)
        return 0;
    return int(double(sent) / double(total) * ProgressScale);
}

int nextPacketSize(qint64 sent, qint64 total)
{
    const qint64 rest = total - sent;
    return rest <= 0 ? 0 : int(qMin<qint64>(rest, PacketBytes));
}

QString dotFormat(int* tick)
{
    ++*tick;
    const int phase = *tick;
    if (*tick >= 50)
        *tick = 0;
    const int dots = qBound(1, (phase + 9) / 10, 5);
    return QStringLiteral("%1 ") + QString(dots, QLatin1Char('.'));
}

QString previewText(const QByteArray& head)
{
    const int zero = head.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? head : head.left(zero));
}

}
