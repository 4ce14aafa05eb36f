// The display stage fed in random chunks: every wrap mode, text and hex.
#include "fuzzinput.h"
#include "serial/rxformat.h"

#include <QStringList>

#include <cstdlib>

namespace {

struct Stage {
    int mode = 0;
    bool hex = false;
    int slice = INT_MAX;
    QString front, back;
    QByteArray recv, pending;
    QString out;

    void feed(const QByteArray& chunk)
    {
        recv += chunk;
        RxFormat::moveCompleteLines(recv, pending, slice);
        const QString& typed = mode == 2 ? front : back;
        const bool found = (mode == 2 || mode == 3) && RxFormat::delimiterPresent(pending, typed);
        if (!RxFormat::gatePasses(mode, pending, 1000, 10, found))
            return;
        if (pending.isEmpty())
            return;
        if (hex) {
            const QByteArray rest = RxFormat::splitHexFrames(pending,
                mode, RxFormat::delimiterBytes(front), RxFormat::delimiterBytes(back),
                RxFormat::rxMarker(), out);
            recv.prepend(rest);
        } else {
            RxFormat::formatTextLines(RxFormat::foldCrLf(pending), RxFormat::rxMarker(), out);
        }
        pending.clear();
    }
};

QByteArray bytesOfHexLines(const QString& out)
{
    QByteArray bytes;
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (!line.startsWith(RxFormat::rxMarker()))
            abort();
        bytes += QByteArray::fromHex(line.mid(RxFormat::rxMarker().size()).toLatin1());
    }
    return bytes;
}

int longestRunWithoutNewline(const QByteArray& b)
{
    int run = 0, longest = 0;
    for (char c : b) {
        run = c == '\n' ? 0 : run + 1;
        longest = qMax(longest, run);
    }
    return longest;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Stage stage;
    stage.mode = in.number(5);  // 4 is "any other mode"
    stage.hex = in.number(2);
    stage.slice = in.number(2) ? 1 + in.number(200) * 64 : INT_MAX;
    const int chunk = 1 + in.number(64);
    stage.front = QString::fromLatin1(in.piece(8));
    stage.back = QString::fromLatin1(in.piece(8));
    const QByteArray stream = in.rest();

    for (int i = 0; i < stream.size(); i += chunk)
        stage.feed(stream.mid(i, chunk));
    // Idle ticks drain what the per-tick slice left behind.
    for (int idle = 0; idle < 3;) {
        const int before = stage.recv.size() + stage.pending.size();
        stage.feed(QByteArray());
        idle = stage.recv.size() + stage.pending.size() == before ? idle + 1 : 0;
    }

    if (stage.hex) {
        // Nothing lost, duplicated or reordered: shown bytes, then what still waits.
        if (stage.mode != 4
            && bytesOfHexLines(stage.out) + stage.pending + stage.recv != stream)
            abort();
        if (stage.mode == 4 && !stage.out.isEmpty())
            abort();
    } else if (stage.mode == 0 && longestRunWithoutNewline(stream) < RxFormat::NewlineFlushBytes) {
        // Below the flush the lines do not depend on how the stream was cut.
        Stage whole;
        whole.slice = INT_MAX;
        whole.feed(stream);
        if (whole.out != stage.out)
            abort();
    }
    return 0;
}
