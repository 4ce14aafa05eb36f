#pragma once

#include <QString>
#include <QStringList>

// How the simulated board behaves, as chosen on the command line.
struct DevSimOptions {
    enum class Parse { Ok, Help, Error };

    QString linkPath;
    QString recordPath; // empty: nothing recorded
    int intervalMs = 1000;
    int linesPerPeriod = 1;
    bool paced = false; // --rate given: stream by byte rate instead of by period
    qint64 bytesPerSecond = 0; // 0: as fast as the pty takes them
    qint64 count = -1; // log lines before the log ends; -1: no end
    qint64 durationMs = -1; // run time before the simulator exits; -1: until a signal
    bool quiet = false;
    bool echo = true;
    // The board: its boot loader and how it misbehaves on request.
    QString key = QStringLiteral("PLUMB24680QRSTU1357908642VWXYZ97531DEFGH");
    bool bootOnReset = false;
    bool silentAfterPrompt = false;
    qint64 bootLineAfterBytes = -1; // -1: the board never restarts during a download
    int downloadQuietMs = 800;
    int bootTimeoutMs = 5000; // the boot loader's wait for a menu digit, a password or the file
    QString downloadPath; // empty: downloads are not written anywhere
    // What today's boards do: coloured logs, UTF-8 text, a USB port that re-enumerates on reset.
    bool color = false;
    bool utf8 = false;
    bool reenumerate = false;

    // $XDG_RUNTIME_DIR/quillon-devsim when that is set, otherwise /tmp/quillon-devsim.
    static QString defaultLinkPath();

    // Fills `options` from the full argument list (program name first). `message` receives the
    // help text for Help and the reason for Error.
    static Parse parse(const QStringList& arguments, DevSimOptions* options, QString* message);
};
