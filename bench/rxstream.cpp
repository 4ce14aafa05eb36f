#include "bench/rxstream.h"

#include <cstdio>
#include <cstring>

namespace RxStream {

namespace {

    const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

    int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // The sequence number of a shown text line, or -1 when the line is not one we sent.
    qint64 textSeq(const char* p, int n)
    {
        static const char kTag[] = "seq=";
        const QByteArray lineBytes = QByteArray::fromRawData(p, n);
        const int at = lineBytes.indexOf(kTag);
        if (at < 0 || n - at != LineBytes - 2)
            return -1;
        quint32 seq = 0;
        for (int i = at + 4; i < at + 12; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return -1;
            seq = seq * 10 + quint32(p[i] - '0');
        }
        const QByteArray expected = line(seq, false);
        return std::memcmp(p + at, expected.constData(), LineBytes - 2) == 0 ? qint64(seq) : -1;
    }

    // The same for a hex line: the marker is followed by exactly the 40 bytes of one frame.
    qint64 hexSeq(const char* p, int n)
    {
        const QByteArray lineBytes = QByteArray::fromRawData(p, n);
        int at = lineBytes.indexOf("RX");
        if (at < 0)
            return -1;
        // The marker's own characters are never ASCII hex digits, whatever the code page.
        at += 2;
        while (at < n && hexDigit(p[at]) < 0)
            ++at;
        if (n - at != LineBytes * 3)
            return -1;
        QByteArray bytes(LineBytes, '\0');
        for (int i = 0; i < LineBytes; ++i) {
            const int hi = hexDigit(p[at + 3 * i]);
            const int lo = hexDigit(p[at + 3 * i + 1]);
            if (hi < 0 || lo < 0 || p[at + 3 * i + 2] != ' ')
                return -1;
            bytes[i] = char(hi * 16 + lo);
        }
        quint32 seq = 0;
        for (int i = 0; i < 4; ++i)
            seq = (seq << 7) | (quint8(bytes[i]) & 0x7f);
        return bytes == line(seq, true) ? qint64(seq) : -1;
    }

} // namespace

void appendLine(QByteArray& out, quint32 seq, bool hex)
{
    char buf[LineBytes + 1];
    if (hex) {
        for (int i = 0; i < 4; ++i)
            buf[i] = char(0x80 | ((seq >> (21 - 7 * i)) & 0x7f));
        for (int i = 0; i < 34; ++i) {
            quint8 b = quint8(seq * 7 + quint32(i) * 13);
            buf[4 + i] = char(b == '\n' ? 0x0b : b);
        }
    } else {
        std::snprintf(buf, sizeof buf, "seq=%08u ", seq % 100000000u);
        for (int i = 0; i < 25; ++i)
            buf[13 + i] = kLetters[(seq + quint32(i)) % 26];
    }
    buf[LineBytes - 2] = '\r';
    buf[LineBytes - 1] = '\n';
    out.append(buf, LineBytes);
}

QByteArray line(quint32 seq, bool hex)
{
    QByteArray out;
    appendLine(out, seq, hex);
    return out;
}

void tallyText(const QByteArray& text, bool hex, Tally& tally)
{
    const char* data = text.constData();
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        int n = end - start;
        while (n > 0 && (data[start + n - 1] == '\r'))
            --n;
        if (n > 0) {
            const qint64 seq = hex ? hexSeq(data + start, n) : textSeq(data + start, n);
            if (seq < 0 || seq >= qint64(tally.seen.size()))
                ++tally.bad;
            else if (tally.seen[size_t(seq)] < 255)
                ++tally.seen[size_t(seq)];
        }
        start = end + 1;
    }
}

Outcome outcome(const Tally& tally, bool clearsSaved)
{
    Outcome o;
    size_t first = 0;
    if (!clearsSaved) {
        while (first < tally.seen.size() && tally.seen[first] == 0)
            ++first;
        o.cleared = qint64(first);
    }
    for (size_t i = first; i < tally.seen.size(); ++i) {
        if (tally.seen[i] == 0)
            ++o.lost;
        else
            o.duplicated += tally.seen[i] - 1;
    }
    return o;
}

} // namespace RxStream
