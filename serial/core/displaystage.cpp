#include "serial/core/displaystage.h"

#include <QElapsedTimer>

#include <algorithm>

using namespace RxFormat;

DisplayStage::DisplayStage()
    : marker(rxMarker())
{
    QElapsedTimer started;
    started.start();
    monotonic = [started] { return started.elapsed(); };
    wall = [] { return QTime::currentTime(); };
}

void DisplayStage::setClock(std::function<qint64()> monotonicMs, std::function<QTime()> wallTime)
{
    monotonic = std::move(monotonicMs);
    wall = std::move(wallTime);
    stampMs = -1;
}

void DisplayStage::receive(const QByteArray& bytes) { recv.append(bytes); }

QByteArray DisplayStage::unpark()
{
    QByteArray bytes;
    bytes.swap(parked);
    return bytes;
}

void DisplayStage::begin(Steps* steps, const Limit& given)
{
    out = steps;
    limit = given;
    cleared = false;
}

void DisplayStage::end()
{
    // The dialogue's lines come through queueLine() while its step is applied: after this call's
    // redraw, behind the lines it drew.
    *out += upgradeSteps;
    upgradeSteps.clear();
    out = nullptr;
}

DisplayStage::Steps DisplayStage::queueLine(const QString& line, int tag)
{
    Steps steps;
    begin(&steps, limit);
    reportTail();
    tail += line;
    tail += QLatin1Char('\n');
    reportTail(true, tag);
    localQueued = true;
    drawQueued();
    end();
    return steps;
}

void DisplayStage::reportTail(bool local, int tag)
{
    if (tailReported >= tail.size() && counted == 0)
        return;
    Step step;
    step.kind = Step::Format;
    step.text = tailReported == 0 ? tail : tail.mid(tailReported);
    step.spans = tailSpansBetween(tailReported, tail.size());
    step.local = local;
    step.tag = tag;
    step.counted = counted;
    tailReported = tail.size();
    counted = 0;
    out->append(step);
}

DisplayStage::Steps DisplayStage::queueInline(const QString& text)
{
    Steps steps;
    if (text.isEmpty())
        return steps;
    begin(&steps, limit);
    closeTail();
    Step step;
    step.kind = Step::Format;
    step.text = text;
    step.inlineText = true;
    step.local = true;
    out->append(step);
    queue.append({ text, true, {} });
    queueChars += text.size();
    localQueued = true;
    drawQueued();
    end();
    return steps;
}

void DisplayStage::closeTail()
{
    reportTail();
    if (tailDrawn < tail.size()) {
        const QString rest = tailDrawn == 0 ? tail : tail.mid(tailDrawn);
        queue.append({ rest, false, tailSpansBetween(tailDrawn, tail.size()) });
        queueChars += rest.size();
    }
    tail.clear();
    tailSpans.clear();
    tailDrawn = 0;
    tailReported = 0;
}

DisplayStage::Spans DisplayStage::tailSpansBetween(int from, int to) const
{
    Spans spans;
    // The runs are in order and apart: a held view may keep many of them in tail.
    auto it = std::partition_point(tailSpans.cbegin(), tailSpans.cend(),
        [from](const AnsiDecoder::Span& span) { return span.start + span.length <= from; });
    for (; it != tailSpans.cend() && it->start < to; ++it) {
        const AnsiDecoder::Span& span = *it;
        const int start = qMax(span.start, from);
        const int end = qMin(span.start + span.length, to);
        if (end > start)
            spans.append({ start - from, end - start, span.format });
    }
    return spans;
}

void DisplayStage::filterLine(QString& out, int from, bool lineEnds)
{
    // Most lines hold no escape: only a colour left on from an earlier line applies to them.
    const int end = out.size() - 1; // before the '\n'
    const QChar esc(0x1b);
    if (ansi.idle() && out.indexOf(esc, from) < 0) {
        if (ansi.format() != 0 && end > from)
            tailSpans.append({ from, end - from, ansi.format() });
        return;
    }
    Spans spans;
    const QString clean = ansi.decode(out.mid(from, end - from), &spans, lineEnds);
    out.truncate(from);
    out += clean;
    out += QLatin1Char('\n');
    for (const AnsiDecoder::Span& span : spans)
        tailSpans.append({ from + span.start, span.length, span.format });
}

qint64 DisplayStage::queuedChars() const { return queueChars + tail.size() - tailDrawn; }

QString DisplayStage::displayText() const
{
    QString text;
    for (const Piece& piece : queue)
        text += piece.text;
    return text + tail.mid(tailDrawn);
}

void DisplayStage::drawQueued()
{
    if (held || queuedChars() == 0)
        return;
    // A backlog held back by the mouse is not drawn in one go because an echo joined it.
    drawSlice(int(qMin<qint64>(drawBudget(), INT_MAX)));
    lastDrawMs = now();
    drawnOnce = true;
    localQueued = queuedChars() > 0;
}

qint64 DisplayStage::drawBudget() const
{
    if (!sliceFixed && drawCharsPerMs > 0)
        return qBound<qint64>(16 << 10, qint64(drawCharsPerMs * DrawBudgetMs), 1 << 20);
    return 4 * qint64(slice);
}

void DisplayStage::dropQueued() { discardQueued(); }

void DisplayStage::drawCost(qint64 chars, qint64 ms)
{
    reportedDrawMs += ms;
    // Only redraws big enough to time say something about the rate.
    if (chars > (8 << 10) && ms > 0) {
        const double rate = double(chars) / double(ms);
        drawCharsPerMs = drawCharsPerMs > 0 ? 0.7 * drawCharsPerMs + 0.3 * rate : rate;
    }
}

void DisplayStage::setHeld(bool on) { held = on; }

DisplayStage::Steps DisplayStage::portOpened(const Settings& settings, const Limit& given)
{
    Steps steps;
    begin(&steps, given);
    // Half a line of the last session must not become the head of the first line of this one.
    if (waitingBytes() > 0)
        finish(settings);
    // Nor its colour or half a sequence the head of this session's text.
    ansi.reset();
    open = true;
    drain = false;
    end();
    return steps;
}

void DisplayStage::portClosed()
{
    open = false;
    drain = true;
}

void DisplayStage::discardQueued()
{
    cleared = true;
    queue.clear();
    queueChars = 0;
    tail.clear();
    tailSpans.clear();
    tailDrawn = 0;
    tailReported = 0;
    counted = 0;
    localQueued = false;
}

void DisplayStage::reset()
{
    parked.clear();
    recv.clear();
    pending.clear();
    ansi.reset();
    discardQueued();
    drain = false;
}

const QString& DisplayStage::prefixNow(bool showTime)
{
    if (!showTime)
        return prefixes.prefix(false, marker, QTime());
    // The clock is read at most once per millisecond; a burst shares one stamp.
    const qint64 ms = now();
    if (ms != stampMs || !stampTime.isValid()) {
        stampMs = ms;
        stampTime = wall();
    }
    return prefixes.prefix(true, marker, stampTime);
}

void DisplayStage::moveToPending(
    const Settings& settings, const QByteArray& front, const QByteArray& back)
{
    if (recv.isEmpty())
        return;
    const RxFormat::WrapMode mode = settings.wrapMode;
    // Frame-time wrap shows whatever arrived in the interval as one frame, cut only where a
    // backlog exceeds the slice and a line.
    if (mode == FrameTimeWrap) {
        moveCompleteLines(recv, pending, qMax(slice, NewlineFlushBytes));
        return;
    }
    // Hex frames of the delimiter wraps are cut only between two frames.
    if (settings.hex && (mode == FrontDelimiterWrap || mode == BackDelimiterWrap)
        && recv.size() > slice) {
        const int cut = frameCut(recv, mode, front, back, slice);
        if (cut > 0) {
            pending.append(recv.constData(), cut);
            recv.remove(0, cut);
            return;
        }
    }
    moveCompleteLines(recv, pending, slice);
}

void DisplayStage::formatPending(const Settings& settings, const QByteArray& front,
    const QByteArray& back, bool final, bool gated)
{
    const RxFormat::WrapMode mode = settings.wrapMode;
    if (!final && gated) {
        const bool delimited = mode == FrontDelimiterWrap || mode == BackDelimiterWrap;
        const bool found = delimited
            && delimiterPresent(
                pending, mode == FrontDelimiterWrap ? settings.frontText : settings.backText);
        if (!gatePasses(mode, pending, now() - lastShowMs, settings.frameIntervalMs, found))
            return;
    }
    lastShowMs = now();
    if (pending.isEmpty())
        return;

    const bool showTime = settings.showTime;
    const PrefixSource prefix
        = [this, showTime]() -> const QString& { return prefixNow(showTime); };
    const LineSink onLine = [this] { lineDone(); };
    QByteArray bytes = pending;
    pending.clear();
    if (settings.hex) {
        const QByteArray rest = splitHexFrames(bytes, mode, front, back, prefix, tail, onLine);
        if (!rest.isEmpty()) {
            if (final)
                formatHexLine(rest, prefix, tail, onLine);
            else
                recv.prepend(rest);
        }
    } else {
        // An unfinished run is shown in whole lines; what makes no line waits for more.
        const QByteArray codec = canonicalCodec(settings.codec);
        const int waits = final ? 0 : unfinishedRun(bytes, mode != NewlineWrap, codec);
        if (waits > 0) {
            recv.prepend(bytes.right(waits));
            bytes.chop(waits);
        }
        LineFilter filter;
        if (settings.ansiColor)
            filter = [this](QString& out, int from, bool lineEnds) {
                filterLine(out, from, lineEnds);
            };
        else
            ansi.reset();
        formatTextLines(foldCrLf(bytes), prefix, tail, onLine, codec, filter);
    }
    reportTail();
}

void DisplayStage::lineDone()
{
    ++counted;
    if (--limit.linesLeft > 0)
        return;
    // The line limit: what was formatted so far belongs to the view that goes; the string being
    // formatted into starts over.
    reportTail();
    Step clear;
    clear.kind = Step::Clear;
    clear.save = limit.save;
    out->append(clear);
    discardQueued();
    limit.linesLeft = limit.maxLines;
}

void DisplayStage::finish(const Settings& settings)
{
    pending.append(recv);
    recv.clear();
    if (settings.upgrade) {
        feedUpgrade();
        return;
    }
    formatPending(
        settings, delimiterBytes(settings.frontText), delimiterBytes(settings.backText), true);
}

void DisplayStage::emitDraw(const QString& text, bool inlineText, const Spans& spans)
{
    Step step;
    step.kind = Step::Draw;
    step.text = text;
    step.spans = spans;
    step.inlineText = inlineText;
    out->append(step);
}

void DisplayStage::feedUpgrade()
{
    // Every tick, bytes or not: the dialogue keeps its time-outs by them.
    Step step;
    step.kind = Step::Upgrade;
    step.bytes = pending;
    pending.clear();
    upgradeSteps.append(step);
}

bool DisplayStage::drawSlice(int maxChars)
{
    qint64 budget = maxChars;
    bool drew = false;
    // Pieces come out whole; the block being formatted into is drawn a slice at a time.
    while (!queue.isEmpty() && budget > 0) {
        Piece piece = queue.takeFirst();
        queueChars -= piece.text.size();
        budget -= piece.text.size();
        if (!piece.inlineText && piece.text.endsWith(QLatin1Char('\n')))
            piece.text.chop(1);
        emitDraw(piece.text, piece.inlineText, piece.spans);
        drew = true;
    }
    if (budget > 0 && tailDrawn < tail.size()) {
        int end = tail.size();
        if (end - tailDrawn > budget) {
            // Whole lines only: cut after the last line end within the budget, or after the
            // first line when that alone is longer.
            const int from = tailDrawn + int(budget) - 1;
            int cut = tail.lastIndexOf(QLatin1Char('\n'), from);
            if (cut < tailDrawn)
                cut = tail.indexOf(QLatin1Char('\n'), from);
            end = cut < 0 ? tail.size() : cut + 1;
        }
        QString text
            = tailDrawn == 0 && end == tail.size() ? tail : tail.mid(tailDrawn, end - tailDrawn);
        const Spans spans = tailSpansBetween(tailDrawn, end);
        if (end == tail.size()) {
            reportTail();
            tail.clear();
            tailSpans.clear();
            tailDrawn = 0;
            tailReported = 0;
        } else {
            tailDrawn = end;
            // A tail drawn while it grows may never be drawn to its end: what is drawn goes, or
            // the string would hold everything formatted in a long flood.
            if (tailDrawn >= DropDrawnChars && tailDrawn * 2 >= tail.size())
                dropDrawnTail();
        }
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        emitDraw(text, false, spans);
        drew = true;
    }
    return drew;
}

void DisplayStage::dropDrawnTail()
{
    tail.remove(0, tailDrawn);
    tailReported = qMax(0, tailReported - tailDrawn);
    Spans kept;
    for (const AnsiDecoder::Span& span : tailSpans) {
        const int start = qMax(span.start, tailDrawn);
        const int end = span.start + span.length;
        if (end > start)
            kept.append({ start - tailDrawn, end - start, span.format });
    }
    tailSpans.swap(kept);
    tailDrawn = 0;
}

void DisplayStage::fixSlice(int bytes)
{
    slice = qMax(1, bytes);
    sliceFixed = true;
}

DisplayStage::TickResult DisplayStage::tick(const Settings& settings, const Limit& given)
{
    TickResult result;
    begin(&result.steps, given);
    const qint64 start = now();
    if (!lastShowValid) {
        lastShowMs = start;
        lastShowValid = true;
    }

    const qint64 drawChars = drawBudget();
    // Formatting stays a little ahead of drawing, or collects while the view is held.
    const bool roomToFormat = held ? queuedChars() < MaxHeldChars : queuedChars() < 2 * drawChars;
    if (roomToFormat) {
        const QByteArray front = delimiterBytes(settings.frontText);
        const QByteArray back = delimiterBytes(settings.backText);
        const qint64 before = waitingBytes();
        if (drain && recv.size() <= qMax(slice, NewlineFlushBytes)) {
            // The port is closed and this is the last slice: nothing more will complete it.
            finish(settings);
        } else {
            moveToPending(settings, front, back);
            // Closed: the slice is shown whatever the wrap gate says, a line at a time.
            if (settings.upgrade)
                feedUpgrade();
            else
                formatPending(settings, front, back, false, !drain);
            // Closed, and the wrap mode keeps putting the same bytes back: show them as they are.
            if (drain && waitingBytes() > 0 && waitingBytes() >= before)
                finish(settings);
        }
    }
    if (drain && waitingBytes() == 0)
        drain = false;

    bool drew = false;
    // A tick that cleared the view (the line limit, during formatting) has spent its time: the
    // redraw waits for the next one, so the two costs never add up in one pause.
    if (!held && !cleared && queuedChars() > 0) {
        const bool due = !drawnOnce || now() - lastDrawMs >= RedrawIntervalMs || localQueued
            || drain || queuedChars() >= drawChars;
        if (due) {
            drew = drawSlice(int(qMin<qint64>(drawChars, INT_MAX)));
            lastDrawMs = now();
            drawnOnce = true;
            localQueued = false;
        }
    }

    // The slice follows what a tick costs, the owner's last redraw included; a tick that
    // cleared the view says nothing about it.
    const qint64 cost = now() - start + reportedDrawMs;
    reportedDrawMs = 0;
    if (!cleared && !sliceFixed) {
        if (cost > TickBudgetMs)
            slice = qMax(MinSliceBytes, slice / 2);
        else if (drew && cost < TickBudgetMs * 2 / 3 && recv.size() > slice)
            slice = qMin(MaxSliceBytes, slice * 2);
    }

    const qint64 backlog = waitingBytes() + 2 * queuedChars() + parked.size();
    if (backlog >= BigBacklogBytes) {
        bigBacklog = true;
    } else if (bigBacklog && backlog == 0) {
        bigBacklog = false;
        result.releaseMemory = true;
    }
    result.mayStop = !open && !drain && waitingBytes() == 0 && queuedChars() == 0;
    result.readPort = room() > 0;
    end();
    return result;
}
