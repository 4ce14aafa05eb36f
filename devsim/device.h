#pragma once

#include "devsim/bootloader.h"

#include <QByteArray>

struct DevSimOptions;

// What the simulated board answers to the bytes it receives. The application answers command
// frames (AA 75 80 …) with reply frames carrying GBK text and echoes everything else, except a
// line end right behind a frame (a terminal program sends one with every frame). The boot loader,
// once entered through the reset command, takes over the port until it hands back; a reset
// command restarts the board even then.
class Device {
public:
    // The board restarts this long after acknowledging the reset command.
    static constexpr int ResetDelayMs = 100;
    // A command frame left unfinished this long is taken for ordinary bytes.
    static constexpr int FrameTimeoutMs = 200;
    // The log waits this long after a reply, so the reply reaches the program as a chunk of its
    // own.
    static constexpr int ReplyGapMs = 100;

    void configure(const DevSimOptions& options);
    void setEcho(bool on) { echoOn = on; }
    bool echo() const { return echoOn; }
    void setBootOnReset(bool on) { bootOnReset = on; }
    void setLoaderSettings(const BootLoader::Settings& settings) { loader.setSettings(settings); }

    // Takes received bytes in whatever pieces they arrive and returns the bytes to send back.
    QByteArray feed(const QByteArray& received, qint64 nowMs = 0);
    // What is due by nowMs without new input.
    QByteArray poll(qint64 nowMs);
    // When poll() has something to do next; -1 when nothing is scheduled.
    qint64 nextWakeMs() const;
    // The periodic log keeps still: in the boot loader, while restarting, and just after a reply.
    bool logPaused(qint64 nowMs) const;

    bool inBootLoader() const { return loader.isActive(); }
    const BootLoader& bootLoader() const { return loader; }
    int resets() const { return resetCount; }

    // The reply text for a command payload.
    static QString replyText(const QByteArray& payload, int resetsSoFar);

private:
    QByteArray takeByte(char c, qint64 nowMs);
    QByteArray frameComplete(qint64 nowMs);
    QByteArray answer(const QByteArray& payload, qint64 nowMs);
    QByteArray feedLoader(const QByteArray& received, qint64 nowMs);
    QByteArray abandonFrame(qint64 nowMs);
    QByteArray echoed(const QByteArray& bytes) const { return echoOn ? bytes : QByteArray(); }

    bool echoOn = true;
    bool bootOnReset = false;
    BootLoader loader;
    QByteArray frame; // a command frame being received
    qint64 frameStartMs = 0;
    // The line end that may follow a frame: CR LF, or LF alone.
    enum class LineEnd { None, CrOrLf, Lf };
    LineEnd lineEnd = LineEnd::None;
    qint64 frameEndMs = 0;
    QByteArray loaderTail; // the last bytes the loader got, for a reset frame cut in two
    qint64 bootAtMs = -1;
    qint64 logHeldUntilMs = -1;
    int resetCount = 0;
};
