#pragma once

#include <QString>
#include <QVector>

// Terminal escape sequences in received text: takes the decoded text a piece at a time, returns it
// without the sequences, and turns the colour codes (SGR) into runs. An unfinished sequence and
// the colour state carry over to the next piece, as they do in a terminal.
class AnsiDecoder {
public:
    // A run of text in one format, positions relative to the text it belongs to.
    struct Span {
        int start;
        int length;
        quint32 format;
        bool operator==(const Span& other) const
        {
            return start == other.start && length == other.length && format == other.format;
        }
    };

    // Formats: 0 is the plain text. Colours are palette indexes of the 256-colour table.
    static quint32 makeFormat(int foreground, int background, bool bold);
    static int foreground(quint32 format); // -1: the view's own
    static int background(quint32 format); // -1: none
    static bool bold(quint32 format);
    // 0xAARRGGBB, as QRgb holds it.
    static quint32 paletteColor(int index);
    // The nearest palette colour of a true colour.
    static int nearestIndex(int red, int green, int blue);

    // The clean text of piece; the runs that are not plain go to spans, relative to the returned
    // text. lineEnds: a line end follows the piece, which ends a sequence left open.
    QString decode(const QString& piece, QVector<Span>* spans, bool lineEnds = false);
    void reset();
    quint32 format() const { return current; }
    bool idle() const { return open.isEmpty(); } // no sequence waits for its end

private:
    void applySgr(const QString& parameters);

    QString open; // an unfinished sequence, from its ESC
    quint32 current = 0;
};

Q_DECLARE_TYPEINFO(AnsiDecoder::Span, Q_PRIMITIVE_TYPE);
