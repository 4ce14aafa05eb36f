#pragma once

#include <QString>
#include <QStringMatcher>
#include <QVector>

// Plain-text search over the receive view's text. Matches are taken left to right and never
// overlap, so counting and stepping agree on which matches exist.
class TextFinder {
public:
    struct Match {
        int count = 0; // matches in the whole text
        int index = -1; // 0-based number of the chosen match, -1 when none
        int position = -1; // where the chosen match starts, -1 when none
    };

    // Text kept in pieces, such as the line store's chunks: the first `length` characters of
    // each, starting at `base` in the whole. A match never spans two pieces.
    struct Piece {
        const QString* text;
        int length;
        qint64 base;
    };
    using Pieces = QVector<Piece>;

    TextFinder(const QString& term = QString(), Qt::CaseSensitivity cs = Qt::CaseInsensitive);

    QString term() const { return matcher.pattern(); }
    int length() const { return matcher.pattern().size(); }
    Qt::CaseSensitivity caseSensitivity() const { return matcher.caseSensitivity(); }

    // True when no character of the term has a case (Chinese, digits, punctuation): then the
    // faster case-sensitive search finds the same matches.
    static bool isCaseless(const QString& term);

    int count(const QString& text) const;
    int count(const Pieces& pieces) const;
    // The first match starting at or after `from`, wrapping around to the first one.
    Match next(const QString& text, int from) const;
    Match next(const Pieces& pieces, int from) const;
    // The last match starting before `before`, wrapping around to the last one.
    Match previous(const QString& text, int before) const;
    Match previous(const Pieces& pieces, int before) const;
    // The match starting exactly at `position`, if there is one; the count either way.
    Match at(const QString& text, int position) const;
    Match at(const Pieces& pieces, int position) const;
    // Start positions of the matches in text[from, to), at most `limit` of them.
    QVector<int> positions(const QString& text, int from = 0, int to = -1, int limit = -1) const;

private:
    enum class Pick { FirstFrom, LastBefore, Exactly };
    Match scan(const Pieces& pieces, qint64 position, Pick pick) const;
    static Pieces whole(const QString& text) { return { { &text, text.size(), 0 } }; }
    int indexIn(const QString& text, int from) const;

    QStringMatcher matcher;
};
