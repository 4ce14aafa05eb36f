#include "serial/core/ansidecoder.h"

#include <QStringList>

namespace {

constexpr ushort Esc = 0x1b;
// A sequence longer than this is broken: what follows is text again.
constexpr int MaxSequence = 256;

constexpr quint32 BoldBit = 1u << 18;

// The 16 standard colours, darkened a little where the view's white background needs it.
constexpr quint32 standardColors[16] = { 0xff000000, 0xffcd0000, 0xff00a000, 0xffa08000, 0xff0000ee,
    0xffcd00cd, 0xff00a0a0, 0xff808080, 0xff606060, 0xffff0000, 0xff00c000, 0xffc0c000, 0xff5c5cff,
    0xffff00ff, 0xff00c0c0, 0xffa0a0a0 };

quint32 rgb(int r, int g, int b)
{
    return 0xff000000u | quint32(r) << 16 | quint32(g) << 8 | quint32(b);
}

int red(quint32 c) { return int(c >> 16 & 0xff); }
int green(quint32 c) { return int(c >> 8 & 0xff); }
int blue(quint32 c) { return int(c & 0xff); }

int cubeLevel(int step) { return step == 0 ? 0 : 55 + 40 * step; }

int cubeStep(int value) { return value < 48 ? 0 : value < 115 ? 1 : (value - 35) / 40; }

} // namespace

quint32 AnsiDecoder::makeFormat(int foreground, int background, bool bold)
{
    return quint32(foreground + 1) | quint32(background + 1) << 9 | (bold ? BoldBit : 0);
}

int AnsiDecoder::foreground(quint32 format) { return int(format & 0x1ff) - 1; }

int AnsiDecoder::background(quint32 format) { return int(format >> 9 & 0x1ff) - 1; }

bool AnsiDecoder::bold(quint32 format) { return format & BoldBit; }

quint32 AnsiDecoder::paletteColor(int index)
{
    if (index < 16)
        return standardColors[qMax(0, index)];
    if (index < 232) {
        const int i = index - 16;
        return rgb(cubeLevel(i / 36), cubeLevel(i / 6 % 6), cubeLevel(i % 6));
    }
    const int grey = 8 + 10 * (qMin(index, 255) - 232);
    return rgb(grey, grey, grey);
}

int AnsiDecoder::nearestIndex(int r, int g, int b)
{
    const int cube = 16 + 36 * cubeStep(r) + 6 * cubeStep(g) + cubeStep(b);
    const int average = (r + g + b) / 3;
    const int grey = 232 + qBound(0, (average - 3) / 10, 23);
    const auto distance = [&](quint32 c) {
        const int dr = red(c) - r, dg = green(c) - g, db = blue(c) - b;
        return dr * dr + dg * dg + db * db;
    };
    return distance(paletteColor(grey)) < distance(paletteColor(cube)) ? grey : cube;
}

void AnsiDecoder::reset()
{
    open.clear();
    current = 0;
}

void AnsiDecoder::applySgr(const QString& parameters)
{
    // Sub-parameters ("38:2:r:g:b") read like parameters.
    QString list = parameters;
    list.replace(QLatin1Char(':'), QLatin1Char(';'));
    const QStringList fields = list.split(QLatin1Char(';'));
    int fg = foreground(current), bg = background(current);
    bool isBold = bold(current);
    for (int i = 0; i < fields.size(); ++i) {
        const int n = fields.at(i).isEmpty() ? 0 : fields.at(i).toInt();
        if (n == 0) {
            fg = bg = -1;
            isBold = false;
        } else if (n == 1) {
            isBold = true;
        } else if (n == 22) {
            isBold = false;
        } else if (n >= 30 && n <= 37) {
            fg = n - 30;
        } else if (n >= 90 && n <= 97) {
            fg = n - 90 + 8;
        } else if (n == 39) {
            fg = -1;
        } else if (n >= 40 && n <= 47) {
            bg = n - 40;
        } else if (n >= 100 && n <= 107) {
            bg = n - 100 + 8;
        } else if (n == 49) {
            bg = -1;
        } else if (n == 38 || n == 48) {
            const auto field
                = [&](int k) { return i + k < fields.size() ? fields.at(i + k).toInt() : 0; };
            int color = -1;
            if (field(1) == 5 && i + 2 < fields.size()) {
                color = qBound(0, field(2), 255);
                i += 2;
            } else if (field(1) == 2 && i + 4 < fields.size()) {
                color = nearestIndex(
                    qBound(0, field(2), 255), qBound(0, field(3), 255), qBound(0, field(4), 255));
                i += 4;
            } else {
                break; // malformed: the rest of the list cannot be read
            }
            (n == 38 ? fg : bg) = color;
        }
    }
    current = makeFormat(fg, bg, isBold);
}

QString AnsiDecoder::decode(const QString& piece, QVector<Span>* spans, bool lineEnds)
{
    QString out;
    out.reserve(piece.size());
    int runStart = 0;
    quint32 runFormat = current;
    const auto closeRun = [&] {
        if (out.size() > runStart && runFormat != 0 && spans)
            spans->append({ runStart, out.size() - runStart, runFormat });
        runStart = out.size();
        runFormat = current;
    };
    for (const QChar c : piece) {
        const ushort u = c.unicode();
        if (!open.isEmpty()) {
            if (open.size() == 1) {
                // ESC and one character; a second ESC starts over.
                if (u == '[' || u == ']')
                    open += c;
                else if (u != Esc)
                    open.clear();
                continue;
            }
            if (open.at(1) == QLatin1Char('[')) {
                if (u >= 0x40 && u <= 0x7e) {
                    if (u == 'm') {
                        closeRun();
                        applySgr(open.mid(2));
                        runFormat = current;
                    }
                    open.clear();
                    continue;
                }
                if (u >= 0x20 && u <= 0x3f && open.size() < MaxSequence) {
                    open += c;
                    continue;
                }
                // Broken: the character is text again (or the start of the next sequence).
                open.clear();
            } else {
                // OSC: ends at BEL or ESC '\'.
                const bool escBefore = open.endsWith(QChar(Esc));
                if (u == 0x07 || (escBefore && u == '\\') || open.size() >= MaxSequence)
                    open.clear();
                else
                    open += c;
                continue;
            }
        }
        if (u == Esc) {
            open = c;
            continue;
        }
        out += c;
    }
    closeRun();
    if (lineEnds)
        open.clear();
    return out;
}
