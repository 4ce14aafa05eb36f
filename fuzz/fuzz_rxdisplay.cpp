// The display stage fed in random chunks: every wrap mode, text and hex, every codec, slices,
// holds, own lines and a close that drains it.
#include "fuzzinput.h"
#include "serial/core/displaystage.h"

#include <QStringList>
#include <QTextCodec>

#include <cstdlib>

namespace {

struct Bench {
    QString drawn;
    QString reported; // what the record would get
    qint64 now = 0;
    DisplayStage stage;
    DisplayStage::Settings settings;

    Bench()
    {
        stage.setClock([this] { return now; }, [] { return QTime(12, 0); });
    }
    void apply(const DisplayStage::Steps& steps)
    {
        for (const DisplayStage::Step& step : steps) {
            // Colour runs lie in their text, in order, on no line end.
            int at = 0;
            for (const AnsiDecoder::Span& span : step.spans) {
                if (span.start < at || span.length <= 0
                    || span.start + span.length > step.text.size()
                    || step.text.midRef(span.start, span.length).contains(QLatin1Char('\n')))
                    abort();
                at = span.start + span.length;
            }
            if (step.kind == DisplayStage::Step::Format) {
                reported += step.text;
            } else if (step.kind == DisplayStage::Step::Draw) {
                if (!step.inlineText && !drawn.isEmpty())
                    drawn += QLatin1Char('\n');
                drawn += step.text;
            }
        }
    }
    DisplayStage::TickResult tick()
    {
        now += 10;
        DisplayStage::TickResult result = stage.tick(settings);
        apply(result.steps);
        return result;
    }
};

// The bytes of the hex lines, own lines (no marker) left out.
QByteArray bytesOfHexLines(const QString& out)
{
    QByteArray bytes;
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line == QLatin1String("own"))
            continue;
        if (!line.startsWith(RxFormat::rxMarker()))
            abort();
        bytes += QByteArray::fromHex(line.mid(RxFormat::rxMarker().size()).toLatin1());
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Bench b;
    // 4 is a mode the settings never give: it reads as the newline wrap.
    b.settings.wrapMode = RxFormat::wrapModeFromInt(in.number(5));
    b.settings.hex = in.number(2);
    b.settings.showTime = false;
    const QList<QByteArray> codecs = RxFormat::codecNames();
    b.settings.codec = codecs.at(in.number(codecs.size()));
    b.settings.ansiColor = in.number(2);
    if (in.number(2))
        b.stage.fixSlice(1 + in.number(200) * 64);
    const int chunk = 1 + in.number(64);
    const int holdEvery = in.number(8); // 0: never held
    const bool ownLines = in.number(2);
    b.settings.frontText = QString::fromLatin1(in.piece(8));
    b.settings.backText = QString::fromLatin1(in.piece(8));
    const QByteArray stream = in.rest();

    b.apply(b.stage.portOpened(b.settings));
    int round = 0;
    for (int i = 0; i < stream.size(); i += chunk, ++round) {
        b.stage.receive(stream.mid(i, chunk));
        if (holdEvery)
            b.stage.setHeld(round / holdEvery % 2 == 1);
        if (ownLines && round % 5 == 0)
            b.apply(b.stage.queueLine(QStringLiteral("own")));
        b.tick();
    }
    b.stage.setHeld(false);
    // Closed: the stage must come to rest with everything shown.
    b.stage.portClosed();
    bool stopped = false;
    for (int i = 0; i < 100000 && !stopped; ++i)
        stopped = b.tick().mayStop;
    if (!stopped || b.stage.waitingBytes() != 0 || b.stage.queuedChars() != 0)
        abort();

    // The reported text is what was drawn, in the same order (nothing is cleared here).
    QString reported = b.reported;
    if (reported.endsWith(QLatin1Char('\n')))
        reported.chop(1);
    if (reported != b.drawn)
        abort();
    // Nothing lost, duplicated or reordered.
    if (b.settings.hex && bytesOfHexLines(b.drawn) != stream)
        abort();
    // Text: every line is a received line or an own line, whole; with colours no escape shows.
    if (!b.settings.hex)
        for (const QString& line : b.drawn.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if ((line != QLatin1String("own") && !line.startsWith(RxFormat::rxMarker()))
                || (b.settings.ansiColor && line.contains(QChar(0x1b))))
                abort();
    // Valid UTF-8 is never cut inside a character, whatever the reads and the wrap.
    if (!b.settings.hex && b.settings.codec == "UTF-8") {
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        QTextCodec::codecForName("UTF-8")->toUnicode(stream.constData(), stream.size(), &state);
        if (state.invalidChars == 0 && state.remainingChars == 0
            && b.drawn.contains(QChar::ReplacementCharacter))
            abort();
    }
    return 0;
}
