#pragma once

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The English catalogue as a table that reads both ways. Texts a window shows were set in code
// long before a language switch and their source is no longer known; they are turned into the
// other language by what they read.
class TextCatalogue {
public:
    // Reads a Qt Linguist .ts file, finished translations only. False when it is not one.
    bool load(const QByteArray& ts);
    int size() const { return entries.size(); }

    // The English of a source text, looked up in `context` first and then in any context of ours:
    // helper functions outside a class translate in a context lupdate cannot know. Null when
    // there is none, and for contexts not ours (Qt's own texts).
    QString english(const QString& context, const QString& source) const;

    // A shown text in the other language, from Chinese to English when `toEnglish`, else back.
    // Texts with %1… are matched as patterns, their arguments carried over (and translated when
    // they are texts of ours); a known text followed by another known text is translated in both
    // parts. Anything else is data and comes back unchanged. `context` decides between entries
    // that read the same.
    QString retranslate(const QString& shown, bool toEnglish, const QString& context = {}) const;

    // English texts that more than one source text of one context translates to ("context\ntext"):
    // switching back could not tell which one was meant.
    QStringList ambiguities() const;

    // Whether a text holds Chinese: ideographs, CJK punctuation or full-width forms.
    static bool hasChinese(const QString& text);

private:
    struct Entry {
        QString context;
        QString source;
        QString english;
    };
    struct Pattern {
        int entry;
        bool toEnglish;
        QRegularExpression regex;
        QVector<int> argNumbers;
    };
    bool find(const QString& shown, bool toEnglish, const QString& context, int depth,
        QString* out) const;
    const QString& from(const Entry& e, bool toEnglish) const
    {
        return toEnglish ? e.source : e.english;
    }
    const QString& to(const Entry& e, bool toEnglish) const
    {
        return toEnglish ? e.english : e.source;
    }
    int lookUp(const QString& text, bool toEnglish, const QString& context) const;

    QVector<Entry> entries;
    QSet<QString> contexts;
    // Keyed by the text alone and by context + '\n' + text, in both directions.
    QHash<QString, int> bySource;
    QHash<QString, int> byEnglish;
    QVector<Pattern> patterns;
    // Entries without arguments, longest first, for texts made of two.
    QVector<int> prefixes;
};
