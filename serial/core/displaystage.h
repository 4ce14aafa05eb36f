#pragma once

#include "serial/core/ansidecoder.h"
#include "serial/core/rxformat.h"

#include <QByteArray>
#include <QString>
#include <QTime>
#include <QVector>

#include <climits>

#include <functional>

// The receive display stage: takes the received bytes, cuts them into lines by the wrap mode on
// each 10 ms tick, formats them, and tells its owner what to do: record the text, draw it (paced,
// in order, with the owner's own lines among it), clear at the line limit, feed the boot-loader
// dialogue. It knows nothing of widgets and never calls out; the window, the tests and the fuzzers
// all drive this one class and apply the steps it returns.
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
    // Drawn text at the head of the string being formatted into goes once it is this long.
    static constexpr int DropDrawnChars = 1 << 20;

    // What the window's controls say at the time of a tick.
    struct Settings {
        RxFormat::WrapMode wrapMode = RxFormat::NewlineWrap;
        bool hex = false;
        bool showTime = true;
        int frameIntervalMs = 20;
        QString frontText; // delimiters as typed ("0D 0A")
        QString backText;
        bool upgrade = false; // the boot-loader dialogue takes the received bytes
        QByteArray codec = RxFormat::defaultCodec(); // of the text display
        bool ansiColor = true; // the text display takes escape sequences as colours
    };
    using Spans = QVector<AnsiDecoder::Span>;

    // What the owner does, in this order. The stage never calls its owner: every call returns
    // the steps it led to.
    struct Step {
        enum Kind {
            Format, // text was formatted: the record (line store, live record) takes it now
            Draw, // the view takes text
            Clear, // the line limit was reached: the view is cleared here
            Upgrade // the boot-loader dialogue takes bytes
        };
        Kind kind = Format;
        // Format: whole lines, each with its "\n", or inline text that continues the last line.
        // Draw: whole lines without the last "\n", or inline text.
        QString text;
        Spans spans; // Format, Draw: colour runs, positions within text
        bool inlineText = false;
        bool local = false; // Format: the owner's own line (queueLine, queueInline)
        int tag = 0; // Format: what the owner gave with its line
        int counted = 0; // Format: received lines in the text, for the line counter
        bool save = false; // Clear: save the view's lines first
        QByteArray bytes; // Upgrade; what the dialogue leaves goes back with putBackUpgrade()
    };
    using Steps = QVector<Step>;

    // The line limit as the owner's counter stands at the time of a call.
    struct Limit {
        qint64 linesLeft = LLONG_MAX; // received lines until the view is cleared
        qint64 maxLines = LLONG_MAX; // the limit again after a clear
        bool save = false; // the clear saves first
    };

    struct TickResult {
        Steps steps;
        bool mayStop = false; // the port is closed and nothing waits: the timer may rest
        bool readPort = false; // there is room again: read what the port still holds
        // A backlog of BigBacklogBytes or more has all been shown: malloc keeps its pages unless
        // they are handed back, and every burst would leave the process bigger.
        bool releaseMemory = false;
    };

    DisplayStage();

    // Monotonic milliseconds and the wall clock of the time stamps; tests set their own.
    void setClock(std::function<qint64()> monotonicMs, std::function<QTime()> wallTime);

    // A backlog this big is worth handing its memory back once shown.
    static constexpr qint64 BigBacklogBytes = 4 << 20;

    // Intake: received bytes, in order. The owner takes at most room() bytes.
    void receive(const QByteArray& bytes);
    // Bytes read while reception is paused: they count against the room and wait, untouched,
    // until the owner takes them back on resume.
    void park(const QByteArray& bytes) { parked += bytes; }
    QByteArray unpark();
    qint64 parkedBytes() const { return parked.size(); }
    qint64 room() const { return MaxWaitingBytes - waitingBytes() - parked.size(); }
    bool full() const { return room() <= 0; }
    qint64 waitingBytes() const { return qint64(recv.size()) + pending.size(); }

    // The owner's own lines (a transmit echo, a notice): queued behind what is formatted already,
    // and drawn at once unless the view is held, a redraw's worth at most (the rest on the next
    // ticks).
    Steps queueLine(const QString& line, int tag = 0);
    Steps queueInline(const QString& text);

    // A mouse button held on the view: nothing is drawn meanwhile.
    void setHeld(bool held);
    bool isHeld() const { return held; }

    // A new session: what the last one left unfinished is shown as its own lines first.
    Steps portOpened(const Settings& settings, const Limit& limit);
    Steps portOpened(const Settings& settings) { return portOpened(settings, Limit()); }
    // The port closed: what is waiting is still shown, the last unfinished line included.
    void portClosed();

    // The owner cleared the view: what was queued for it is dropped (the record has it).
    void dropQueued();
    // What applying Draw steps cost the owner: one redraw is sized to stay within its share of a
    // tick, and the slice follows the whole tick's cost.
    void drawCost(qint64 chars, qint64 ms);
    // Everything dropped: the view starts over with another source.
    void reset();
    // Bytes the boot-loader dialogue did not take yet: they come first in its next step.
    void putBackUpgrade(const QByteArray& bytes) { pending.prepend(bytes); }

    TickResult tick(const Settings& settings, const Limit& limit);
    TickResult tick(const Settings& settings) { return tick(settings, Limit()); }

    // A fixed slice instead of the one that follows the tick's cost (tests and fuzzers).
    void fixSlice(int bytes);

    // State, for the owner's accessors and the tests.
    const QByteArray& recvBuffer() const { return recv; }
    const QByteArray& pendingDisplay() const { return pending; }
    QString displayText() const; // queued, not yet drawn
    qint64 queuedChars() const;
    // The string being formatted into, drawn part included.
    int formattingChars() const { return tail.size(); }
    int sliceBytes() const { return slice; }
    bool draining() const { return drain; }
    bool portOpen() const { return open; }

private:
    struct Piece {
        QString text;
        bool inlineText;
        Spans spans;
    };

    void moveToPending(const Settings& settings, const QByteArray& front, const QByteArray& back);
    void formatPending(const Settings& settings, const QByteArray& front, const QByteArray& back,
        bool final, bool gated = true);
    void finish(const Settings& settings);
    bool drawSlice(int maxChars);
    void drawQueued();
    void lineDone();
    void emitDraw(const QString& text, bool inlineText, const Spans& spans = {});
    // The runs of tail between two positions, relative to the first.
    Spans tailSpansBetween(int from, int to) const;
    void dropDrawnTail();
    void filterLine(QString& out, int from, bool lineEnds);
    void feedUpgrade();
    void closeTail();
    void reportTail(bool local = false, int tag = 0);
    void discardQueued();
    qint64 drawBudget() const;
    const QString& prefixNow(bool showTime);
    qint64 now() const { return monotonic(); }
    // Where the steps of the call under way go.
    void begin(Steps* steps, const Limit& limit);
    void end();

    std::function<qint64()> monotonic;
    std::function<QTime()> wall;

    QByteArray parked; // read while paused
    bool bigBacklog = false;
    QByteArray recv; // received, not yet taken by a tick
    QByteArray pending; // taken, waiting for the wrap gate
    // Formatted text in order: finished pieces, then the block being formatted into.
    QVector<Piece> queue;
    qint64 queueChars = 0;
    QString tail;
    Spans tailSpans; // positions within tail
    AnsiDecoder ansi;
    int tailDrawn = 0; // chars of tail already drawn
    int tailReported = 0; // chars of tail already reported as formatted
    int counted = 0; // received lines formatted since the last report

    Steps* out = nullptr;
    Steps upgradeSteps; // go out at the end of the tick
    Limit limit;
    bool held = false;
    bool open = false;
    bool drain = false;
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
    qint64 reportedDrawMs = 0;

    QString marker;
    RxFormat::PrefixCache prefixes;
    qint64 stampMs = -1;
    QTime stampTime;
};
