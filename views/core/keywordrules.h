#pragma once

#include <QRegExp>
#include <QString>
#include <QStringMatcher>
#include <QVector>

// The whole-word patterns of the keyword rows. A row's pattern is compiled again only when its
// keyword text differs from the text it was compiled from, so an edit counts at once.
class KeywordRules {
public:
    explicit KeywordRules(int rows);

    // The keyword as a regular expression that must begin and end at a word boundary.
    static QString wholeWordPattern(const QString& keyword);
    // True when the keyword holds no regular-expression syntax and so only matches itself.
    static bool isLiteral(const QString& keyword);

    // The compiled pattern of a row (case-sensitive, QRegExp::RegExp syntax).
    QRegExp& pattern(int row, const QString& keyword);

    // Calls mark(pos, len) for the matches of the row's keyword in text from the left, never
    // overlapping. An empty match ends the search: it could only repeat at the same place.
    template <typename Mark>
    void forEachMatch(int row, const QString& keyword, const QString& text, Mark&& mark);

    int rows() const { return entries.size(); }

private:
    struct Entry {
        QString keyword;
        QRegExp rx;
        QStringMatcher literal; // set for literal keywords only
        bool isLiteral = false;
        bool compiled = false;
    };
    Entry& entry(int row, const QString& keyword);
    QVector<Entry> entries;
};

template <typename Mark>
void KeywordRules::forEachMatch(int row, const QString& keyword, const QString& text, Mark&& mark)
{
    Entry& e = entry(row, keyword);
    int pos = 0;
    // Most blocks hold none of the keywords; a plain search rules them out far cheaper than
    // the regular expression, and no match can start before the keyword's first occurrence.
    if (e.isLiteral) {
        pos = e.literal.indexIn(text);
        if (pos < 0)
            return;
    }
    pos = e.rx.indexIn(text, pos);
    while (pos >= 0) {
        const int len = e.rx.matchedLength();
        if (len <= 0)
            return;
        mark(pos, len);
        pos = e.rx.indexIn(text, pos + len);
    }
}
