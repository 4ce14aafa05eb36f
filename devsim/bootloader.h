#pragma once

#include <QByteArray>
#include <QString>

// The board's boot loader: banner, menu, the operation password asked twice, then a file
// received until the line goes quiet. It speaks GBK text lines ending in CR LF; prompts come
// without a line end, as a terminal program expects them.
class BootLoader {
public:
    struct Settings {
        QByteArray key = defaultKey();
        // After the first progress prompt of a download nothing more is said.
        bool silentAfterPrompt = false;
        // The board restarts once this many file bytes have arrived (-1: never).
        qint64 bootLineAfterBytes = -1;
        // Silence on the line that ends a download.
        int quietMs = 800;
        // Each download (or what arrived of it) is written here when it ends; empty: nowhere.
        QString downloadPath;
        // Waiting this long for a menu digit, a password or the file, the loader gives up and
        // starts the application again.
        int idleTimeoutMs = DefaultIdleTimeoutMs;
    };

    static constexpr int DefaultIdleTimeoutMs = 5000;

    static QByteArray defaultKey(); // "PLUMB24680QRSTU1357908642VWXYZ97531DEFGH"
    // The loader's texts the program recognises.
    static QString banner(); // "Copyright (C) 2015 Brenlow"
    static QString identification();
    static QString restartLine(); // holds "Boot"
    static QString leaveLine(); // printed when the application takes over again
    static QString giveUpLine(); // printed when nothing came in time

    // A progress prompt every this many file bytes.
    static constexpr int ProgressBytes = 4096;
    // After the menu choice the loader flushes its input this long, so a repeated digit is lost.
    static constexpr int ChoiceFlushMs = 100;
    // A password is complete when the line has been quiet this long.
    static constexpr int KeyQuietMs = 100;
    // From the result of a download (or a wrong password) to the application's start.
    static constexpr int LeaveDelayMs = 300;

    BootLoader() = default;
    explicit BootLoader(const Settings& settings)
        : opts(settings)
    {
    }
    void setSettings(const Settings& settings) { opts = settings; }

    // Starts the loader: banner and menu.
    QByteArray enter(qint64 nowMs);
    // Bytes from the port while the loader runs.
    QByteArray feed(const QByteArray& bytes, qint64 nowMs);
    // What is due by now.
    QByteArray poll(qint64 nowMs);
    // When poll() has something to do next; -1 when the loader is off.
    qint64 nextWakeMs() const { return deadline; }
    // False before enter() and once the application has taken over again.
    bool isActive() const { return state != State::Off; }
    // The board restarts: the loader stops on the spot, without a word.
    void stop();

    char choice() const { return chosen; }
    // Downloads finished (successfully or not) since start, and the last one's bytes.
    int downloads() const { return finished; }
    const QByteArray& lastDownload() const { return file; }
    // The last download could not be written to downloadPath.
    bool saveFailed() const { return writeFailed; }

private:
    enum class State {
        Off,
        Choice, // menu shown, waiting for a digit
        ChoiceFlush, // digit taken, input ignored for a moment
        Key, // collecting the first password
        KeyAgain, // collecting the second password
        AwaitFile, // file requested
        Receiving, // file bytes arriving
        Restarting, // the board restarted mid-download: input ignored until quiet
        Leaving, // about to hand over to the application
    };

    QByteArray checkKey(qint64 nowMs);
    QByteArray giveUp(qint64 nowMs);
    QByteArray finishDownload(qint64 nowMs);
    void saveDownload();

    Settings opts;
    State state = State::Off;
    qint64 deadline = -1;
    char chosen = 0;
    QByteArray keyInput;
    QByteArray file;
    qint64 nextProgressAt = ProgressBytes;
    bool progressShown = false;
    int finished = 0;
    bool writeFailed = false;
};
