#include "serial/core/rxformat.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <cstring>

namespace RxFormat {

namespace {

    // Two upper-case hex digits per byte value, so a byte costs one table read.
    struct HexPairs {
        ushort digits[256][2];
    };

    constexpr HexPairs makeHexPairs()
    {
        HexPairs table {};
        const char hex[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            table.digits[i][0] = ushort(hex[i >> 4]);
            table.digits[i][1] = ushort(hex[i & 15]);
        }
        return table;
    }

    constexpr HexPairs hexPairs = makeHexPairs();

    enum class Kind { Gbk, Utf8, Latin1 };

    Kind kindOf(const QByteArray& codec)
    {
        if (codec == "UTF-8")
            return Kind::Utf8;
        if (codec == "ISO-8859-1")
            return Kind::Latin1;
        return Kind::Gbk;
    }

    QTextCodec* textCodec(Kind kind)
    {
        static QTextCodec* const gbk = QTextCodec::codecForName("GBK");
        static QTextCodec* const utf8 = QTextCodec::codecForName("UTF-8");
        return kind == Kind::Utf8 ? utf8 : gbk;
    }

    // Grows out geometrically: repeated calls on a string that collects many ticks (while the
    // view is held) must not copy it each time.
    void ensureRoom(QString& out, qint64 extra)
    {
        const qint64 needed = qint64(out.size()) + extra;
        if (needed > out.capacity() && needed < INT_MAX / 2)
            out.reserve(int(qMax(needed, qint64(out.capacity()) * 2)));
    }

    // Decodes one piece with its line end. The codec drops a lead byte left unpaired at the end of
    // its input; followed by '\n' it shows that byte as a replacement character instead, so half a
    // character cut off by a flush stays visible. '\n' is never a trail byte, so nothing else
    // changes.
    // UTF-8 ends an unfinished sequence at the '\n' with replacement characters too. A byte order
    // mark at the head of a line is a character like any other here, not a header to drop.
    QString decodeLine(Kind kind, const char* data, int size, bool newlineFollows)
    {
        if (kind == Kind::Latin1)
            return QString::fromLatin1(data, size) + QLatin1Char('\n');
        QTextCodec* codec = textCodec(kind);
        if (!codec)
            return QString::fromLocal8Bit(data, size) + QLatin1Char('\n');
        QByteArray line;
        if (!newlineFollows) {
            line = QByteArray(data, size);
            line.append('\n');
            data = line.constData();
        }
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        return codec->toUnicode(data, size + 1, &state);
    }

    bool isAscii(const char* data, int size)
    {
        unsigned char bits = 0;
        for (int i = 0; i < size; ++i)
            bits |= static_cast<unsigned char>(data[i]);
        return (bits & 0x80) == 0;
    }

    void appendHexPiece(const char* data, int size, const PrefixSource& source, QString& out,
        const LineSink& onLine)
    {
        const QString prefix = source();
        const int start = out.size();
        out.resize(start + prefix.size() + 3 * size + 1);
        QChar* dst = out.data() + start;
        std::memcpy(
            static_cast<void*>(dst), prefix.constData(), size_t(prefix.size()) * sizeof(QChar));
        ushort* p = reinterpret_cast<ushort*>(dst + prefix.size());
        for (int i = 0; i < size; ++i) {
            const ushort* pair = hexPairs.digits[static_cast<unsigned char>(data[i])];
            *p++ = pair[0];
            *p++ = pair[1];
            *p++ = ' ';
        }
        *p = '\n';
        if (onLine)
            onLine();
    }

    // A frame longer than a line is shown as several.
    void appendHexLine(const char* data, int size, const PrefixSource& source, QString& out,
        const LineSink& onLine)
    {
        for (int at = 0; at < size; at += NewlineFlushBytes)
            appendHexPiece(data + at, qMin(NewlineFlushBytes, size - at), source, out, onLine);
    }

    bool isGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xfe; }
    bool isGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xfe && c != 0x7f; }

} // namespace

namespace {

    // A lead byte and the length of the sequence it starts; 1 for anything else.
    int utf8Length(unsigned char c)
    {
        if (c >= 0xc2 && c <= 0xdf)
            return 2;
        if (c >= 0xe0 && c <= 0xef)
            return 3;
        if (c >= 0xf0 && c <= 0xf4)
            return 4;
        return 1;
    }

    // UTF-8 synchronises from the end: the bytes of a sequence that the end cuts short.
    int utf8Unfinished(const char* data, int size)
    {
        for (int k = 1; k <= 3 && k <= size; ++k) {
            const auto c = static_cast<unsigned char>(data[size - k]);
            if ((c & 0xc0) == 0x80)
                continue;
            return utf8Length(c) > k ? k : 0;
        }
        return 0;
    }

    int gbkCut(const char* data, int size)
    {
        // GBK does not synchronise from the middle: walk the characters from the start.
        int at = 0;
        while (at < NewlineFlushBytes) {
            const auto c = static_cast<unsigned char>(data[at]);
            if (isGbkLead(c) && at + 1 < size
                && isGbkTrail(static_cast<unsigned char>(data[at + 1]))) {
                if (at + 2 > NewlineFlushBytes)
                    break;
                at += 2;
            } else {
                ++at;
            }
        }
        return at;
    }

    // Whether the last piece ends in half a GBK character.
    int gbkUnfinished(const char* data, int size)
    {
        bool half = false;
        for (int i = 0; i < size;) {
            const auto c = static_cast<unsigned char>(data[i]);
            half = isGbkLead(c) && i + 1 == size;
            i += isGbkLead(c) && i + 1 < size && isGbkTrail(static_cast<unsigned char>(data[i + 1]))
                ? 2
                : 1;
        }
        return half ? 1 : 0;
    }

} // namespace

QByteArray defaultCodec() { return QByteArrayLiteral("GBK"); }

QList<QByteArray> codecNames()
{
    return { QByteArrayLiteral("GBK"), QByteArrayLiteral("UTF-8"),
        QByteArrayLiteral("ISO-8859-1") };
}

QByteArray canonicalCodec(const QByteArray& name)
{
    // A hand-edited name is read through Qt's aliases, but only the offered codecs are used.
    QTextCodec* codec = name.isEmpty() ? nullptr : QTextCodec::codecForName(name);
    if (codec && codecNames().contains(codec->name()))
        return codec->name();
    return defaultCodec();
}

int textCut(const char* data, int size, const QByteArray& codec)
{
    if (size <= NewlineFlushBytes)
        return size;
    switch (kindOf(codec)) {
    case Kind::Latin1:
        return NewlineFlushBytes;
    case Kind::Utf8:
        return NewlineFlushBytes - utf8Unfinished(data, NewlineFlushBytes);
    case Kind::Gbk:
        break;
    }
    return gbkCut(data, size);
}

int unfinishedRun(const QByteArray& pending, bool partLines, const QByteArray& codec)
{
    const char* data = pending.constData();
    const int size = pending.size();
    int at = pending.lastIndexOf('\n') + 1;
    while (size - at > NewlineFlushBytes)
        at += textCut(data + at, size - at, codec);
    // Only an unfinished character at the end waits.
    int half = 0;
    switch (kindOf(codec)) {
    case Kind::Latin1:
        break;
    case Kind::Utf8:
        half = utf8Unfinished(data + at, size - at);
        break;
    case Kind::Gbk:
        half = gbkUnfinished(data + at, size - at);
        break;
    }
    if (partLines)
        return half;
    return size - at == NewlineFlushBytes && half == 0 ? 0 : size - at;
}

QString rxMarker() { return QCoreApplication::translate("RxFormat", "RX←◆"); }

QString txMarker() { return QCoreApplication::translate("RxFormat", "TX→◇"); }

void moveCompleteLines(QByteArray& recvBuffer, QByteArray& pending, int maxBytes)
{
    if (recvBuffer.isEmpty())
        return;
    int last;
    if (maxBytes > 0 && recvBuffer.size() > maxBytes) {
        // Without a line end in the slice the slice moves: the formatter cuts the run.
        last = recvBuffer.lastIndexOf('\n', maxBytes - 1);
        if (last < 0)
            last = maxBytes - 1;
    } else {
        last = recvBuffer.lastIndexOf('\n');
        if (last < 0)
            last = recvBuffer.size() - 1;
    }
    if (last == recvBuffer.size() - 1) {
        pending.append(recvBuffer);
        recvBuffer.clear();
        return;
    }
    pending.append(recvBuffer.constData(), last + 1);
    recvBuffer.remove(0, last + 1);
}

QByteArray delimiterBytes(const QString& lineEditText)
{
    QString text = lineEditText;
    text.remove(QLatin1Char(' '));
    return QByteArray::fromHex(text.toLatin1());
}

bool delimiterPresent(const QByteArray& bytes, const QString& lineEditText)
{
    QString pattern = lineEditText;
    pattern.remove(QLatin1Char(' '));
    if (pattern.isEmpty() || bytes.isEmpty())
        return false;
    return bytes.toHex().contains(pattern.toUtf8().toLower());
}

WrapMode wrapModeFromInt(int mode)
{
    return mode >= NewlineWrap && mode <= BackDelimiterWrap ? WrapMode(mode) : NewlineWrap;
}

bool gatePasses(WrapMode wrapMode, const QByteArray& pending, qint64 elapsedMs, int frameIntervalMs,
    bool delimiterFound)
{
    switch (wrapMode) {
    case NewlineWrap:
        return pending.endsWith('\n') || pending.size() >= NewlineFlushBytes;
    case FrameTimeWrap:
        return elapsedMs >= frameIntervalMs;
    case FrontDelimiterWrap:
    case BackDelimiterWrap:
        // The size bound keeps memory in check when the delimiter never comes.
        return delimiterFound || pending.size() >= NewlineFlushBytes;
    default:
        return true;
    }
}

QString linePrefix(bool showTime, const QString& marker, const QTime& time)
{
    if (!showTime)
        return marker;
    return QCoreApplication::translate("RxFormat", "[%1]%2")
        .arg(time.toString(QStringLiteral("hh:mm:ss.zzz")), marker);
}

const QString& PrefixCache::prefix(bool showTime, const QString& marker, const QTime& time)
{
    if (!m_valid || showTime != m_showTime || (showTime && time != m_time) || marker != m_marker) {
        m_prefix = linePrefix(showTime, marker, time);
        m_showTime = showTime;
        m_time = time;
        m_marker = marker;
        m_valid = true;
    }
    return m_prefix;
}

QByteArray foldCrLf(const QByteArray& bytes)
{
    const int first = bytes.indexOf("\r\n");
    if (first < 0)
        return bytes;
    const char* src = bytes.constData();
    const int size = bytes.size();
    QByteArray folded(size, Qt::Uninitialized);
    char* dst = folded.data();
    std::memcpy(dst, src, size_t(first));
    int out = first;
    for (int i = first; i < size; ++i) {
        if (src[i] == '\r' && i + 1 < size && src[i + 1] == '\n')
            continue; // the '\n' that follows is copied on the next round
        dst[out++] = src[i];
    }
    folded.truncate(out);
    return folded;
}

int formatTextLines(const QByteArray& pending, const QString& prefix, QString& out,
    const LineSink& onLine, const QByteArray& codecName, const LineFilter& filter)
{
    const QString head = prefix;
    return formatTextLines(
        pending, [&head]() -> const QString& { return head; }, out, onLine, codecName, filter);
}

int formatTextLines(const QByteArray& pending, const PrefixSource& prefix, QString& out,
    const LineSink& onLine, const QByteArray& codecName, const LineFilter& filter)
{
    // Shallow copies: the callback may touch the caller's buffers.
    const QByteArray bytes = pending;
    const char* data = bytes.constData();
    const int size = bytes.size();
    if (size == 0)
        return 0;

    const qint64 pieces = qint64(bytes.count('\n')) + 1;
    ensureRoom(out, size + pieces * (prefix().size() + 1));

    const Kind kind = kindOf(codecName);
    int lines = 0;
    int start = 0;
    while (start < size) {
        const void* found = std::memchr(data + start, '\n', size_t(size - start));
        const int end = found ? int(static_cast<const char*>(found) - data) : size;
        // A run longer than a line is cut, never inside a character.
        for (int cut; end > start; start += cut) {
            const char* piece = data + start;
            cut = textCut(piece, end - start, codecName);
            const int length = cut;
            const bool newlineFollows = start + cut == end && end < size;
            int zeros = 0;
            while (zeros < length && piece[zeros] == '\0')
                ++zeros;
            out.append(prefix());
            const int from = out.size();
            if (zeros > 0)
                out.append(QString(zeros, QLatin1Char(' ')));
            // Blanks are single bytes in every codec offered, so decoding after them equals
            // decoding with them.
            const char* rest = piece + zeros;
            const int restLength = length - zeros;
            if (isAscii(rest, restLength)) {
                out.append(QLatin1String(rest, restLength));
                out.append(QLatin1Char('\n'));
            } else {
                out.append(decodeLine(kind, rest, restLength, newlineFollows));
            }
            if (filter)
                filter(out, from, newlineFollows);
            ++lines;
            if (onLine)
                onLine();
        }
        start = end + 1;
    }
    return lines;
}

void formatHexLine(
    const QByteArray& bytes, const QString& prefix, QString& out, const LineSink& onLine)
{
    const QString head = prefix;
    formatHexLine(
        bytes, [&head]() -> const QString& { return head; }, out, onLine);
}

void formatHexLine(
    const QByteArray& bytes, const PrefixSource& prefix, QString& out, const LineSink& onLine)
{
    const QByteArray copy = bytes;
    appendHexLine(copy.constData(), copy.size(), prefix, out, onLine);
}

QByteArray splitHexFrames(const QByteArray& pending, WrapMode wrapMode,
    const QByteArray& frontDelimiter, const QByteArray& backDelimiter, const QString& prefix,
    QString& out, const LineSink& onLine)
{
    const QString head = prefix;
    return splitHexFrames(
        pending, wrapMode, frontDelimiter, backDelimiter,
        [&head]() -> const QString& { return head; }, out, onLine);
}

QByteArray splitHexFrames(const QByteArray& pending, WrapMode wrapMode,
    const QByteArray& frontDelimiter, const QByteArray& backDelimiter, const PrefixSource& head,
    QString& out, const LineSink& onLine)
{
    const QByteArray bytes = pending;
    const char* data = bytes.constData();
    const int size = bytes.size();
    if (size == 0)
        return {};

    int start = 0; // first byte of the unfinished line
    switch (wrapMode) {
    case FrameTimeWrap:
        appendHexLine(data, size, head, out, onLine);
        return {};
    case NewlineWrap:
    case BackDelimiterWrap: {
        const QByteArray delimiter = wrapMode == NewlineWrap ? QByteArray(1, '\n') : backDelimiter;
        if (delimiter.isEmpty())
            break;
        ensureRoom(out, qint64(size) * 3);
        for (int at; (at = bytes.indexOf(delimiter, start)) >= 0;) {
            const int end = at + delimiter.size();
            appendHexLine(data + start, end - start, head, out, onLine);
            start = end;
        }
        break;
    }
    case FrontDelimiterWrap: {
        const QByteArray& delimiter = frontDelimiter;
        if (delimiter.isEmpty())
            break;
        int at = bytes.indexOf(delimiter);
        if (at < 0)
            break;
        ensureRoom(out, qint64(size) * 3);
        appendHexLine(data, at, head, out, onLine); // nothing when the data begins with it
        start = at;
        while ((at = bytes.indexOf(delimiter, start + delimiter.size())) >= 0) {
            appendHexLine(data + start, at - start, head, out, onLine);
            start = at;
        }
        break;
    }
    default:
        return {};
    }

    if (start >= size)
        return {};
    if (data[size - 1] == '\n') {
        appendHexLine(data + start, size - start, head, out, onLine);
        return {};
    }
    // Whole lines of an unfinished frame are shown; the rest waits for its end.
    const int whole = (size - start) / NewlineFlushBytes * NewlineFlushBytes;
    appendHexLine(data + start, whole, head, out, onLine);
    start += whole;
    return start < size ? bytes.mid(start) : QByteArray();
}

int frameCut(const QByteArray& bytes, WrapMode wrapMode, const QByteArray& frontDelimiter,
    const QByteArray& backDelimiter, int maxBytes)
{
    const int limit = qMin(maxBytes, bytes.size());
    if (wrapMode == FrontDelimiterWrap && !frontDelimiter.isEmpty()) {
        // The last frame start within the limit; one at the very beginning cuts nothing.
        const int at = bytes.lastIndexOf(frontDelimiter, limit);
        return at > 0 ? at : 0;
    }
    if (wrapMode == BackDelimiterWrap && !backDelimiter.isEmpty()) {
        const int size = backDelimiter.size();
        if (limit < size)
            return 0;
        const int at = bytes.lastIndexOf(backDelimiter, limit - size);
        return at < 0 ? 0 : at + size;
    }
    return 0;
}

} // namespace RxFormat
