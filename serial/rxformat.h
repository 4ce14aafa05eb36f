#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

#include <climits>
#include <functional>

// Formatting of received bytes into receive-area lines. Pure functions on Qt Core so that the
// display stage of the main window, the tests and the benchmarks share one implementation.
namespace RxFormat {

// Newline (and delimiter) wrap shows an unterminated run once this many bytes are pending.
constexpr int NewlineFlushBytes = 8192;
// An unfinished hex line longer than this is shown rather than put back.
constexpr int HexRemainderBytes = 4096;

QString rxMarker(); // "RX←◆"
QString txMarker(); // "TX→◇"

enum WrapMode { NewlineWrap = 0, FrameTimeWrap = 1, FrontDelimiterWrap = 2, BackDelimiterWrap = 3 };

// Moves the bytes of recvBuffer up to and including its last '\n' to the end of pending (all of
// recvBuffer when it has no '\n'). With maxBytes: when recvBuffer is longer than maxBytes and
// holds a '\n' within its first maxBytes bytes, moves only up to the last such '\n'; otherwise
// behaves as without a limit.
void moveCompleteLines(QByteArray& recvBuffer, QByteArray& pending, int maxBytes = INT_MAX);

// Delimiter as typed in a settings line edit ("0D 0A"): blanks removed, Latin-1, fromHex.
QByteArray delimiterBytes(const QString& lineEditText);
// Whether the lower-case hex text of bytes contains the typed pattern (blanks removed,
// lower-cased); false when either is empty. A match may start mid-byte ("d0" is in 0D 0A).
bool delimiterPresent(const QByteArray& bytes, const QString& lineEditText);

// The wrap gate: whether the pending bytes are shown on this tick.
bool gatePasses(int wrapMode, const QByteArray& pending, qint64 elapsedMs, int frameIntervalMs,
    bool delimiterFound);

// "[hh:mm:ss.zzz]" + marker when showTime, else the marker alone.
QString linePrefix(bool showTime, const QString& marker, const QTime& time);

// Keeps the last prefix so that a burst of lines formats the clock once per millisecond.
class PrefixCache {
public:
    const QString& prefix(bool showTime, const QString& marker, const QTime& time);

private:
    QString m_prefix;
    QString m_marker;
    QTime m_time;
    bool m_showTime = false;
    bool m_valid = false;
};

// Called once after each formatted line has been appended to the output string; it may read or
// even empty that string.
using LineSink = std::function<void()>;
// Gives the prefix of the next line; asked once per line, so each line can carry its own time.
using PrefixSource = std::function<const QString&()>;

// Text display of pending bytes whose "\r\n" are already folded (foldCrLf): one GBK-decoded line
// per non-empty piece between '\n', leading zero bytes shown as blanks. Returns the line count.
int formatTextLines(
    const QByteArray& pending, const QString& prefix, QString& out, const LineSink& onLine = {});
int formatTextLines(const QByteArray& pending, const PrefixSource& prefix, QString& out,
    const LineSink& onLine = {});
// Every "\r\n" becomes "\n".
QByteArray foldCrLf(const QByteArray& bytes);

// prefix + "XX " per byte + "\n"; nothing for empty bytes.
void formatHexLine(
    const QByteArray& bytes, const QString& prefix, QString& out, const LineSink& onLine = {});
void formatHexLine(
    const QByteArray& bytes, const PrefixSource& prefix, QString& out, const LineSink& onLine = {});
// Cuts pending into hex lines by the wrap mode. Returns the unfinished tail that the caller puts
// back at the front of its receive buffer (empty when none).
QByteArray splitHexFrames(const QByteArray& pending, int wrapMode, const QByteArray& frontDelimiter,
    const QByteArray& backDelimiter, const QString& prefix, QString& out,
    const LineSink& onLine = {});
QByteArray splitHexFrames(const QByteArray& pending, int wrapMode, const QByteArray& frontDelimiter,
    const QByteArray& backDelimiter, const PrefixSource& prefix, QString& out,
    const LineSink& onLine = {});

// Where a receive buffer may be cut so that no hex frame of the delimiter wraps is split: the
// length of the longest head of `bytes` of at most maxBytes that ends a frame (just before a front
// delimiter, just after a back delimiter); 0 when there is none.
int frameCut(const QByteArray& bytes, int wrapMode, const QByteArray& frontDelimiter,
    const QByteArray& backDelimiter, int maxBytes);

} // namespace RxFormat
