#include "views/core/findcore.h"

TextFinder::TextFinder(const QString& term, Qt::CaseSensitivity cs)
    : matcher(term, isCaseless(term) ? Qt::CaseSensitive : cs)
{
}

bool TextFinder::isCaseless(const QString& term)
{
    for (const QChar c : term) {
        switch (c.category()) {
        case QChar::Letter_Other:
        case QChar::Number_DecimalDigit:
        case QChar::Separator_Space:
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
        case QChar::Symbol_Math:
        case QChar::Symbol_Currency:
            break;
        default:
            return false;
        }
    }
    return true;
}

int TextFinder::indexIn(const QString& text, int from) const
{
    // One character: QString's vectorised scan beats the skip table.
    if (length() == 1)
        return text.indexOf(matcher.pattern().at(0), from, matcher.caseSensitivity());
    return matcher.indexIn(text, from);
}

int TextFinder::count(const Pieces& pieces) const
{
    const int len = length();
    if (len == 0)
        return 0;
    int n = 0;
    for (const Piece& piece : pieces)
        for (int at = indexIn(*piece.text, 0); at >= 0 && at + len <= piece.length;
             at = indexIn(*piece.text, at + len))
            ++n;
    return n;
}

TextFinder::Match TextFinder::scan(const Pieces& pieces, qint64 position, Pick pick) const
{
    Match result;
    const int len = length();
    if (len == 0)
        return result;
    qint64 first = -1;
    qint64 last = -1;
    int lastIndex = -1;
    for (const Piece& piece : pieces) {
        for (int found = indexIn(*piece.text, 0); found >= 0 && found + len <= piece.length;
             found = indexIn(*piece.text, found + len)) {
            const qint64 at = piece.base + found;
            const int index = result.count++;
            if (first < 0)
                first = at;
            last = at;
            lastIndex = index;
            const bool picked = pick == Pick::FirstFrom ? result.index < 0 && at >= position
                : pick == Pick::LastBefore              ? at < position
                                                        : at == position;
            if (picked) {
                result.index = index;
                result.position = int(at);
            }
        }
    }
    if (result.index >= 0 || result.count == 0 || pick == Pick::Exactly)
        return result;
    // Nothing on the asked side: wrap around.
    if (pick == Pick::FirstFrom) {
        result.index = 0;
        result.position = int(first);
    } else {
        result.index = lastIndex;
        result.position = int(last);
    }
    return result;
}

int TextFinder::count(const QString& text) const { return count(whole(text)); }

TextFinder::Match TextFinder::next(const QString& text, int from) const
{
    return scan(whole(text), from, Pick::FirstFrom);
}

TextFinder::Match TextFinder::previous(const QString& text, int before) const
{
    return scan(whole(text), before, Pick::LastBefore);
}

TextFinder::Match TextFinder::at(const QString& text, int position) const
{
    return scan(whole(text), position, Pick::Exactly);
}

TextFinder::Match TextFinder::next(const Pieces& pieces, int from) const
{
    return scan(pieces, from, Pick::FirstFrom);
}

TextFinder::Match TextFinder::previous(const Pieces& pieces, int before) const
{
    return scan(pieces, before, Pick::LastBefore);
}

TextFinder::Match TextFinder::at(const Pieces& pieces, int position) const
{
    return scan(pieces, position, Pick::Exactly);
}

QVector<int> TextFinder::positions(const QString& text, int from, int to, int limit) const
{
    QVector<int> found;
    const int len = length();
    if (len == 0)
        return found;
    if (to < 0 || to > text.size())
        to = text.size();
    for (int at = indexIn(text, qMax(0, from)); at >= 0 && at + len <= to;
         at = indexIn(text, at + len)) {
        if (limit >= 0 && found.size() >= limit)
            break;
        found.append(at);
    }
    return found;
}
