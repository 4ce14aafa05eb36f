#include "devsim/logstream.h"

#include "tools/core/hexconvert.h"

#include <QString>
#include <QTextCodec>

namespace {

// Ten kinds of line in a fixed cycle: seven INFO, two WARN, one ERR. The values move with the
// sequence number so that repeated lines still differ and a run is reproducible.
void lineText(quint64 seq, QString* level, QString* text)
{
    const QString info = QStringLiteral("INFO");
    const QString warn = QStringLiteral("WARN");
    const QString err = QStringLiteral("ERR");
    switch ((seq - 1) % 10) {
    case 0:
        *level = info;
        *text = QStringLiteral("温度传感器读数 %1℃")
                    .arg(20.0 + double(seq * 7 % 150) / 10, 0, 'f', 1);
        break;
    case 1:
        *level = info;
        *text = QStringLiteral("系统运行正常 tick=%1").arg(seq);
        break;
    case 2:
        *level = warn;
        *text = QStringLiteral("电压偏低 %1V").arg(3.0 + double(seq % 3) / 10, 0, 'f', 1);
        break;
    case 3:
        *level = info;
        *text = QStringLiteral("心跳包发送成功 cnt=%1").arg(seq / 10 + 1);
        break;
    case 4:
        *level = info;
        *text = QStringLiteral("湿度 %1%RH").arg(40 + seq % 30);
        break;
    case 5:
        *level = err;
        *text = QStringLiteral("通信超时 code=0x%1").arg(HexConvert::twoDigits(uint(seq % 256)));
        break;
    case 6:
        *level = info;
        *text = QStringLiteral("电机转速 %1 rpm").arg(1200 + seq % 500);
        break;
    case 7:
        *level = warn;
        *text = QStringLiteral("缓冲区使用率 %1%").arg(80 + seq % 20);
        break;
    case 8:
        *level = info;
        *text = QStringLiteral("按键事件：短按 KEY%1").arg(seq % 4 + 1);
        break;
    default:
        // A long line, so that reads and line cuts also meet lines of more than 100 bytes.
        *level = info;
        *text = QStringLiteral("传感器阵列自检完成，共 8 路通道全部正常；下次自检在 %1 秒后。"
                               "payload=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "abcdefghijklmnopqrstuvwxyz")
                    .arg(3600 - seq % 60);
        break;
    }
}

} // namespace

QByteArray LogStream::nextLine()
{
    static QTextCodec* const gbk = QTextCodec::codecForName("GBK");
    const quint64 seq = next++;
    QString level;
    QString text;
    lineText(seq, &level, &text);
    const QString line
        = QStringLiteral("#%1 [%2] %3").arg(seq, 6, 10, QLatin1Char('0')).arg(level, text);
    QByteArray bytes = gbk && !utf8 ? gbk->fromUnicode(line) : line.toUtf8();
    if (color) {
        // ESP-IDF's colours: green, yellow, red; reset before the line end.
        const char* sgr = level == QLatin1String("ERR") ? "\x1b[0;31m"
            : level == QLatin1String("WARN")            ? "\x1b[0;33m"
                                                        : "\x1b[0;32m";
        bytes = sgr + bytes + "\x1b[0m";
    }
    return bytes + "\r\n";
}

QByteArray LogStream::nextLines(int count)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += nextLine();
    return lines;
}

qint64 LogStream::sequenceOf(const QByteArray& coloured)
{
    QByteArray line = coloured;
    if (line.startsWith("\x1b[")) {
        const int end = line.indexOf('m');
        line = end < 0 ? QByteArray() : line.mid(end + 1);
    }
    if (!line.startsWith('#'))
        return -1;
    qint64 value = 0;
    int i = 1;
    for (; i < line.size() && line.at(i) >= '0' && line.at(i) <= '9'; ++i) {
        if (i > 18)
            return -1; // would overflow
        value = value * 10 + (line.at(i) - '0');
    }
    if (i == 1 || i >= line.size() || line.at(i) != ' ')
        return -1;
    return value;
}
