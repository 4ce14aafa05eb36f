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
        "removes the link.\n"
        "\n"
        "Command frames (AA 75 80 ... AA BB 42 01 FE, count, payload, XOR checksum) are not "
        "echoed but answered with a reply frame (55 7A 80 ... AA BB 42 01 FE, count, command "
        "code, status, GBK text, XOR checksum): payload 01 gives the host version, 02 resets "
        "the board, 03 tells the reset information, any other payload is described back. "
        "The log keeps still for 100 ms after a reply.\n"
        "\n"
        "With --boot-on-reset the board restarts into its boot loader 100 ms after the reset "
        "command: it prints the banner \"Copyright (C) 2015 Brenlow\", an identification line "
        "and a menu framed by \"=====\" lines, takes one digit 1-5 (input arriving in the next "
        "100 ms is flushed), asks \"请输入操作密码：\" and \"请再次输入密码：\" (each password "
        "ends when the line is quiet for 100 ms and must equal --key, otherwise it gives up), "
        "then asks \"请传送主程序HEX文件...\" and receives the file, printing a prompt \">>>\" "
        "every 4096 bytes, until the line is quiet for --download-quiet ms; it reports "
        "\"文件下载成功！\" and 300 ms later hands back to the application, whose log and echo "
        "resume. Nothing is echoed while the boot loader runs. When no digit, no password or no "
        "file comes within --boot-timeout ms, it prints \"等待超时，退出引导程序\" and hands back "
        "as well. The reset command restarts the board even in the boot loader.\n"
        "\n"
        "A line end (CR LF or LF) right behind a command frame belongs to the frame and is not "
        "echoed.\n"
        "\n"
        "Boards of today: --color wraps each log line in ANSI colour codes as ESP-IDF does "
        "(ESC[0;32m INFO green, ESC[0;33m WARN yellow, ESC[0;31m ERR red, ESC[0m after the "
        "text); --utf8 sends the log's Chinese text in UTF-8 instead of GBK (command replies "
        "stay GBK); --reenumerate makes the reset command behave like a native-USB board: "
        "100 ms after the reply the port vanishes (the pty closes and the link is removed), "
        "and about a second later it returns as a new pty behind the same link, announced by "
        "another line \"PTY <path>\". Output the board made meanwhile follows on the new pty."));
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
        { QStringLiteral("boot-on-reset"),
            QStringLiteral("Restart into the boot loader after the reset command (payload 02) "
                           "instead of carrying on with the application.") },
        { QStringLiteral("key"),
            QStringLiteral("Operation password the boot loader expects, twice (default: %1).")
                .arg(DevSimOptions().key),
            QStringLiteral("KEY") },
        { QStringLiteral("download-quiet"),
            QStringLiteral("Milliseconds of silence that end a download (default: 800)."),
            QStringLiteral("MS") },
        { QStringLiteral("boot-timeout"),
            QStringLiteral("Milliseconds the boot loader waits for a menu digit, a password or "
                           "the file before it gives up and starts the application (default: "
                           "5000)."),
            QStringLiteral("MS") },
        { QStringLiteral("download-file"),
            QStringLiteral("Write each file the boot loader receives to FILE, replacing it, "
                           "before reporting the result; a test compares it with what was "
                           "sent."),
            QStringLiteral("FILE") },
        { QStringLiteral("silent-after-prompt"),
            QStringLiteral("During a download print the first progress prompt only, then "
                           "nothing more (no progress, no result): a program waiting for the "
                           "device must give up on its own.") },
        { QStringLiteral("color"),
            QStringLiteral("Colour the log lines with ANSI escape codes by level.") },
        { QStringLiteral("utf8"),
            QStringLiteral("Send the log's Chinese text in UTF-8 instead of GBK.") },
        { QStringLiteral("reenumerate"),
            QStringLiteral("On the reset command (payload 02) let the port vanish for about a "
                           "second and return as a new pty behind the same link.") },
        { QStringLiteral("boot-line-mid-transfer"),
            QStringLiteral("Restart the board once N bytes of a download have arrived: it "
                           "prints a line holding \"Boot\", ignores input until the line is "
                           "quiet and hands back to the application."),
            QStringLiteral("N") },
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

    o.bootOnReset = parser.isSet(QStringLiteral("boot-on-reset"));
    o.color = parser.isSet(QStringLiteral("color"));
    o.utf8 = parser.isSet(QStringLiteral("utf8"));
    o.reenumerate = parser.isSet(QStringLiteral("reenumerate"));
    o.silentAfterPrompt = parser.isSet(QStringLiteral("silent-after-prompt"));
    if (parser.isSet(QStringLiteral("key"))) {
        o.key = parser.value(QStringLiteral("key"));
        if (o.key.isEmpty()) {
            *message = QStringLiteral("--key: the password must not be empty");
            return Parse::Error;
        }
    }
    qint64 quietMs = o.downloadQuietMs;
    qint64 bootTimeoutMs = o.bootTimeoutMs;
    if (!readInteger(parser, QStringLiteral("download-quiet"), 1, 600000, &quietMs, message)
        || !readInteger(parser, QStringLiteral("boot-timeout"), 1, 600000, &bootTimeoutMs, message)
        || !readInteger(parser, QStringLiteral("boot-line-mid-transfer"), 0, maxI64,
            &o.bootLineAfterBytes, message))
        return Parse::Error;
    o.downloadQuietMs = int(quietMs);
    o.bootTimeoutMs = int(bootTimeoutMs);
    o.downloadPath = parser.value(QStringLiteral("download-file"));
    if (parser.isSet(QStringLiteral("download-file")) && o.downloadPath.isEmpty()) {
        *message = QStringLiteral("--download-file: the file name must not be empty");
        return Parse::Error;
    }
    *options = o;
    return Parse::Ok;
}
