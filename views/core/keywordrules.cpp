#include "views/core/keywordrules.h"

KeywordRules::KeywordRules(int rows)
    : entries(rows)
{
}

QString KeywordRules::wholeWordPattern(const QString& keyword)
{
    return QLatin1String("\\b") + keyword + QLatin1String("\\b");
}

bool KeywordRules::isLiteral(const QString& keyword)
{
    static const QString syntax = QStringLiteral("\\^$.[]|()?*+{}");
    for (const QChar c : keyword)
        if (syntax.contains(c))
            return false;
    return !keyword.isEmpty();
}

KeywordRules::Entry& KeywordRules::entry(int row, const QString& keyword)
{
    Entry& e = entries[row];
    if (!e.compiled || e.keyword != keyword) {
        e.keyword = keyword;
        e.rx = QRegExp(wholeWordPattern(keyword), Qt::CaseSensitive, QRegExp::RegExp);
        e.isLiteral = isLiteral(keyword);
        e.literal = QStringMatcher(e.isLiteral ? keyword : QString(), Qt::CaseSensitive);
        e.compiled = true;
    }
    return e;
}

QRegExp& KeywordRules::pattern(int row, const QString& keyword) { return entry(row, keyword).rx; }
