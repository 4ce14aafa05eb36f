#pragma once

#include "serial/rxformat.h"

#include <QByteArray>
#include <QString>
#include <QTime>
#include <QVector>

#include <functional>

// The receive display stage: takes the received bytes, cuts them into lines by the wrap mode on
// each 10 ms tick, formats them, and hands its owner the text to draw, paced and in order, with
// the lines of the owner's own (echoes, notices) among them. It knows nothing of widgets; the
// window, the tests and the fuzzers all drive this one class.
class DisplayStage {
public:
    // Received bytes not yet formatted are bounded: past this the port (or peer) is left unread.
    static constexpr qint64 MaxWaitingBytes = 16 << 20;
    // One tick formats a slice of the backlog; the slice follows what the last ticks cost.
    static constexpr int MinSliceBytes = 4 << 10;
    static constexpr int MaxSliceBytes = 256 << 10;
    static constexpr int InitialSliceBytes = 16 << 10;
    // What one tick (formatting plus one redraw) may cost before the slice shrinks.
    static constexpr int TickBudgetMs = 30;
    // What one redraw may cost; its size follows what the last redraws cost.
    static constexpr int DrawBudgetMs = 15;
    // Received lines are drawn at most this often; the owner's own lines go out on the next tick.
    static constexpr int RedrawIntervalMs = 40;
    // Text formatted while the view is held; beyond it the bytes wait unformatted.
    static constexpr int MaxHeldChars = 32 << 20;

    // What the window's controls say at the time of a tick.
    struct Settings {
        int wrapMode = RxFormat::NewlineWrap;
        bool hex = false;
        bool showTime = true;
        int frameIntervalMs = 20;
        QString frontText; // delimiters as typed ("0D 0A")
        QString backText;
        bool upgrade = false; // the boot-loader dialogue takes the received bytes
    };

    // What the stage asks of its owner, in the order it happens.
    class Owner {
    public:
        virtual ~Owner() = default;
        // Whole lines without the final "\n", appended as new lines; or inline text that
        // continues the last line.
        virtual void draw(const QString& text, bool inlineText) = 0;
        // One received line was formatted. The owner counts it and may clear the view from here
        // (after drawAll).
        virtual void lineFormatted() = 0;
        // The upgrade dialogue takes the pending bytes; it empties them once they are processed.
        virtual void feedUpgrade(QByteArray& pending) = 0;
        // Text was formatted for the view (whole lines with their "\n", or inline text that
        // continues the last line), in the view's order, when it is formatted rather than drawn;
        // local: the owner's own line (queueLine). Only while setReportFormatted(true).
        virtual void formatted(const QString& text, bool inlineText, bool local)
        {
            Q_UNUSED(text)
            Q_UNUSED(inlineText)
            Q_UNUSED(local)
        }
    };

    struct TickResult {
        bool mayStop = false; // the port is closed and nothing waits: the timer may rest
        bool readPort = false; // there is room again: read what the port still holds
    };

    explicit DisplayStage(Owner* owner);

    // Monotonic milliseconds and the wall clock of the time stamps; tests set their own.
    void setClock(std::function<qint64()> monotonicMs, std::function<QTime()> wallTime);

    // Intake: received bytes, in order. The owner takes at most room() bytes.
    void receive(const QByteArray& bytes);
    qint64 room() const { return MaxWaitingBytes - waitingBytes(); }
    bool full() const { return room() <= 0; }
    qint64 waitingBytes() const { return qint64(recv.size()) + pending.size(); }

    // The owner's own lines (a transmit echo, a notice): queued behind what is formatted already.
    void queueLine(const QString& line);
    void queueInline(const QString& text);
    // Draws what is queued now, a redraw's worth at most (the rest on the next ticks), unless
    // the view is held or a tick is running.
    void drawQueued();

    // A mouse button held on the view: nothing is drawn meanwhile.
    void setHeld(bool held);
    // Whether the owner hears of every formatted text (the live record).
    void setReportFormatted(bool on);
    bool isHeld() const { return held; }

    // A new session: what the last one left unfinished is shown as its own lines first.
    void portOpened(const Settings& settings);
    // The port closed: what is waiting is still shown, the last unfinished line included.
    void portClosed();

    // The view is being cleared: everything queued is drawn first, held or not, so that it is
    // seen (and saved) with the view it belongs to.
    void drawAll();
    // The same, to another sink: the pieces as they would be drawn, in order (the queue empties).
    void drainTo(const std::function<void(const QString& text, bool inlineText)>& sink);
    // The view is cleared: what is queued for it is reported as formatted, then dropped.
    void dropQueued();
    // Everything dropped: the view starts over with another source.
    void reset();

    TickResult tick(const Settings& settings);

    // A fixed slice instead of the one that follows the tick's cost (tests and fuzzers).
    void fixSlice(int bytes);

    // State, for the owner's accessors and the tests.
    const QByteArray& recvBuffer() const { return recv; }
    const QByteArray& pendingDisplay() const { return pending; }
    QString displayText() const; // queued, not yet drawn
    qint64 queuedChars() const;
    int sliceBytes() const { return slice; }
    bool draining() const { return drain; }
    bool portOpen() const { return open; }

private:
    struct Piece {
        QString text;
        bool inlineText;
    };

    void moveToPending(const Settings& settings, const QByteArray& front, const QByteArray& back);
    void formatPending(const Settings& settings, const QByteArray& front, const QByteArray& back,
        bool final, bool gated = true);
    void finish(const Settings& settings);
    bool drawSlice(int maxChars);
    void closeTail();
    void reportTail();
    void discardQueued();
    qint64 drawBudget() const;
    const QString& prefixNow(bool showTime);
    qint64 now() const { return monotonic(); }

    Owner* owner;
    std::function<qint64()> monotonic;
    std::function<QTime()> wall;

    QByteArray recv; // received, not yet taken by a tick
    QByteArray pending; // taken, waiting for the wrap gate
    // Formatted text in order: finished pieces, then the block being formatted into.
    QVector<Piece> queue;
    qint64 queueChars = 0;
    QString tail;
    int tailDrawn = 0; // chars of tail already drawn
    int tailReported = 0; // chars of tail already reported as formatted
    bool reportFormatted = false;

    bool held = false;
    bool open = false;
    bool drain = false;
    bool inTick = false;
    bool localQueued = false; // the owner's lines wait: draw on the next tick
    bool cleared = false; // the view was cleared during this tick
    bool lastShowValid = false;
    qint64 lastShowMs = 0;
    bool drawnOnce = false;
    qint64 lastDrawMs = 0;
    int slice = InitialSliceBytes;
    bool sliceFixed = false;
    // What the owner's drawing costs, so that one redraw stays within its share of a tick.
    double drawCharsPerMs = 0;

    QString marker;
    RxFormat::PrefixCache prefixes;
    qint64 stampMs = -1;
    QTime stampTime;
};
