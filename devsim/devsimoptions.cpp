#include "devsim/devsimoptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QtMath>

#include <limits>

QString DevSimOptions::defaultLinkPath()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    const QString dir = runtime.isEmpty() ? QStringLiteral("/tmp") : runtime;
    return QDir::cleanPath(dir + QStringLiteral("/quillon-devsim"));
}

namespace {

bool readInteger(const QCommandLineParser& parser, const QString& name, qint64 min, qint64 max,
    qint64* value, QString* message)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 v = parser.value(name).trimmed().toLongLong(&ok);
    if (!ok || v < min || v > max) {
        *message = QStringLiteral("--%1: expected a whole number from %2 to %3, got \"%4\"")
                       .arg(name)
                       .arg(min)
                       .arg(max)
                       .arg(parser.value(name));
        return false;
    }
    *value = v;
    return true;
}

} // namespace

DevSimOptions::Parse DevSimOptions::parse(
    const QStringList& arguments, DevSimOptions* options, QString* message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated serial device (a board) on a pseudo-terminal, for trying Quillon without "
        "hardware.\n"
        "It prints one line \"PTY <path>\" with the slave side of the pty, publishes that path "
        "as a symbolic link, plays the board's periodic log (GBK text lines ending in CR LF, "
        "each with a running sequence number \"#000001\") and echoes the bytes it receives. "
        "Programs may close and reopen the port at any time. SIGINT or SIGTERM ends it and "
        "removes the link."));
    parser.addHelpOption();
    parser.addOptions({
        { QStringLiteral("link"),
            QStringLiteral("Publish the pty as a symbolic link at PATH, replacing an older link "
                           "there (default: %1). The link is removed on exit.")
                .arg(defaultLinkPath()),
            QStringLiteral("PATH") },
        { QStringLiteral("interval"),
            QStringLiteral("Period of the log in milliseconds (default: 1000)."),
            QStringLiteral("MS") },
        { QStringLiteral("lines"), QStringLiteral("Log lines sent each period (default: 1)."),
            QStringLiteral("N") },
        { QStringLiteral("rate"),
            QStringLiteral("Stream log lines continuously at this many bytes per second instead "
                           "of by period; 0 sends as fast as the pty takes them. Overrides "
                           "--interval and --lines."),
            QStringLiteral("BYTES_PER_S") },
        { QStringLiteral("count"),
            QStringLiteral("End the log after N lines; the simulator keeps running and "
                           "echoing."),
            QStringLiteral("N") },
        { QStringLiteral("duration"),
            QStringLiteral("Exit after S seconds (fractions allowed), once the bytes already "
                           "queued have been sent."),
            QStringLiteral("S") },
        { QStringLiteral("quiet"), QStringLiteral("Send no log at all; only answer.") },
        { QStringLiteral("record"),
            QStringLiteral("Append every byte the simulator sends (log and echo) to FILE."),
            QStringLiteral("FILE") },
        { QStringLiteral("no-echo"), QStringLiteral("Do not echo received bytes.") },
    });

    if (!parser.parse(arguments)) {
        *message = parser.errorText();
        return Parse::Error;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *message = parser.helpText();
        return Parse::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *message
            = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return Parse::Error;
    }

    DevSimOptions o;
    o.linkPath = parser.isSet(QStringLiteral("link")) ? parser.value(QStringLiteral("link"))
                                                      : defaultLinkPath();
    if (o.linkPath.isEmpty()) {
        *message = QStringLiteral("--link: the path must not be empty");
        return Parse::Error;
    }
    o.recordPath = parser.value(QStringLiteral("record"));
    if (parser.isSet(QStringLiteral("record")) && o.recordPath.isEmpty()) {
        *message = QStringLiteral("--record: the file name must not be empty");
        return Parse::Error;
    }

    constexpr qint64 maxInt = std::numeric_limits<int>::max();
    constexpr qint64 maxI64 = std::numeric_limits<qint64>::max();
    qint64 interval = o.intervalMs;
    qint64 lines = o.linesPerPeriod;
    if (!readInteger(parser, QStringLiteral("interval"), 1, maxInt, &interval, message)
        || !readInteger(parser, QStringLiteral("lines"), 1, 100000, &lines, message)
        || !readInteger(
            parser, QStringLiteral("rate"), 0, maxI64 / 1000000, &o.bytesPerSecond, message)
        || !readInteger(parser, QStringLiteral("count"), 0, maxI64, &o.count, message))
        return Parse::Error;
    o.intervalMs = int(interval);
    o.linesPerPeriod = int(lines);
    o.paced = parser.isSet(QStringLiteral("rate"));

    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        const double seconds = parser.value(QStringLiteral("duration")).trimmed().toDouble(&ok);
        if (!ok || !qIsFinite(seconds) || seconds <= 0 || seconds > 1e9) {
            *message
                = QStringLiteral("--duration: expected a number of seconds above 0, got \"%1\"")
                      .arg(parser.value(QStringLiteral("duration")));
            return Parse::Error;
        }
        o.durationMs = qMax<qint64>(1, qRound64(seconds * 1000));
    }
    o.quiet = parser.isSet(QStringLiteral("quiet"));
    o.echo = !parser.isSet(QStringLiteral("no-echo"));
    *options = o;
    return Parse::Ok;
}
