#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTime>

#include <climits>
#include <functional>

// Formatting of received bytes into receive-area lines. Pure functions on Qt Core so that the
// display stage of the main window, the tests and the benchmarks share one implementation.
namespace RxFormat {

// Newline (and delimiter) wrap shows an unterminated run once this many bytes are pending, and
// every run without line end is cut into lines of this many bytes (text: one byte fewer where a
// GBK character would be split), whatever path it takes to the view.
constexpr int NewlineFlushBytes = 8192;

QString rxMarker(); // "RX←◆"

// Encodings offered for received and sent text; the name is what Settings.ini keeps.
QByteArray defaultCodec(); // "GBK"
QList<QByteArray> codecNames(); // GBK, UTF-8, ISO-8859-1
// The offered name matching name (aliases such as "utf8" or "latin1" too); GBK otherwise.
QByteArray canonicalCodec(const QByteArray& name);
QString txMarker(); // "TX→◇"

enum WrapMode { NewlineWrap = 0, FrameTimeWrap = 1, FrontDelimiterWrap = 2, BackDelimiterWrap = 3 };
// The mode as the settings dialog gives it; anything else is the newline wrap.
WrapMode wrapModeFromInt(int mode);

// Moves the bytes of recvBuffer up to and including its last '\n' to the end of pending (all of
// recvBuffer when it has no '\n'). With maxBytes: when recvBuffer is longer than maxBytes, moves
// only up to the last '\n' within its first maxBytes bytes, or those maxBytes bytes when they
// hold none (a backlog without line ends must not move whole).
void moveCompleteLines(QByteArray& recvBuffer, QByteArray& pending, int maxBytes = INT_MAX);

// Delimiter as typed in a settings line edit ("0D 0A"): blanks removed, Latin-1, fromHex.
QByteArray delimiterBytes(const QString& lineEditText);
// Whether the lower-case hex text of bytes contains the typed pattern (blanks removed,
// lower-cased); false when either is empty. A match may start mid-byte ("d0" is in 0D 0A).
bool delimiterPresent(const QByteArray& bytes, const QString& lineEditText);

// The wrap gate: whether the pending bytes are shown on this tick.
bool gatePasses(WrapMode wrapMode, const QByteArray& pending, qint64 elapsedMs, int frameIntervalMs,
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
// Rewrites the line just appended to out (its text from `from`, then its '\n'); lineEnds: a '\n'
// of the input ended it, not a cut.
using LineFilter = std::function<void(QString& out, int from, bool lineEnds)>;
// Gives the prefix of the next line; asked once per line, so each line can carry its own time.
using PrefixSource = std::function<const QString&()>;

// The codec arguments below are names as canonicalCodec() gives them.

// The length of the first line of a run without line end: NewlineFlushBytes, or less when that
// would end inside a character of the codec; all of it when shorter.
int textCut(const char* data, int size, const QByteArray& codec = defaultCodec());
// How many bytes at the end of pending belong to an unfinished run (after the last '\n') that
// makes no whole line of NewlineFlushBytes: they wait for more. With partLines the unfinished run
// is shown too (a frame): only an unfinished character at its end waits.
int unfinishedRun(
    const QByteArray& pending, bool partLines = false, const QByteArray& codec = defaultCodec());

// Text display of pending bytes whose "\r\n" are already folded (foldCrLf): one decoded line per
// non-empty piece between '\n', leading zero bytes shown as blanks; bytes that make no character
// show as U+FFFD. Returns the line count.
// filter, when given, sees each line before onLine does.
int formatTextLines(const QByteArray& pending, const QString& prefix, QString& out,
    const LineSink& onLine = {}, const QByteArray& codec = defaultCodec(),
    const LineFilter& filter = {});
int formatTextLines(const QByteArray& pending, const PrefixSource& prefix, QString& out,
    const LineSink& onLine = {}, const QByteArray& codec = defaultCodec(),
    const LineFilter& filter = {});
// Every "\r\n" becomes "\n".
QByteArray foldCrLf(const QByteArray& bytes);

// prefix + "XX " per byte + "\n", a line per NewlineFlushBytes bytes; nothing for empty bytes.
void formatHexLine(
    const QByteArray& bytes, const QString& prefix, QString& out, const LineSink& onLine = {});
void formatHexLine(
    const QByteArray& bytes, const PrefixSource& prefix, QString& out, const LineSink& onLine = {});
// Cuts pending into hex lines by the wrap mode. Returns the unfinished tail that the caller puts
// back at the front of its receive buffer (empty when none): shorter than NewlineFlushBytes, as
// whole lines of that size are shown.
QByteArray splitHexFrames(const QByteArray& pending, WrapMode wrapMode,
    const QByteArray& frontDelimiter, const QByteArray& backDelimiter, const QString& prefix,
    QString& out, const LineSink& onLine = {});
QByteArray splitHexFrames(const QByteArray& pending, WrapMode wrapMode,
    const QByteArray& frontDelimiter, const QByteArray& backDelimiter, const PrefixSource& prefix,
    QString& out, const LineSink& onLine = {});

// Where a receive buffer may be cut so that no hex frame of the delimiter wraps is split: the
// length of the longest head of `bytes` of at most maxBytes that ends a frame (just before a front
// delimiter, just after a back delimiter); 0 when there is none.
int frameCut(const QByteArray& bytes, WrapMode wrapMode, const QByteArray& frontDelimiter,
    const QByteArray& backDelimiter, int maxBytes);

} // namespace RxFormat
