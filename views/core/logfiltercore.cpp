#include "views/core/logfiltercore.h"

#include <QDebug>
#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace {

bool contains(const QStringMatcher& matcher, const QString& line)
{
    return matcher.indexIn(line) >= 0;
}

// The range around the run i..h of a cache of count lines.
bool widen(int i, int h, int count, int direction, int n, int& first, int& last)
{
    n = qMax(0, n);
    switch (direction) {
    case LogFilterCore::Around:
        if (h + n >= count)
            return false;
        first = qMax(0, i - n);
        last = h + n;
        return true;
    case LogFilterCore::Above:
        first = qMax(0, i - n);
        last = h;
        return true;
    case LogFilterCore::Below:
        if (h + n >= count)
            return false;
        first = i;
        last = h + n;
        return true;
    default:
        return false;
    }
}

} // namespace

bool LogFilterCore::findKeywordRange(const QStringList& cache, const QString& keyword,
    int direction, int count, int& first, int& last)
{
    if (cache.isEmpty() || keyword.isEmpty())
        return false;
    const QStringMatcher matcher(keyword, Qt::CaseInsensitive);
    const int size = cache.size();
    for (int i = 0; i < size; ++i) {
        if (!contains(matcher, cache.at(i)))
            continue;
        int h = i;
        while (h + 1 < size && contains(matcher, cache.at(h + 1)))
            ++h;
        // Only the first run needs a look: a later run ends later, so if this one lacks the
        // lines after it, every later one does too.
        return widen(i, h, size, direction, count, first, last);
    }
    return false;
}

bool LogFilterCore::feed(const QString& text, bool anyKeyword)
{
    if (!anyKeyword) {
        dropFront(cache.size());
        return false;
    }
    const int from = cache.size();
    cache.append(text.split(QLatin1Char('\n'), Qt::KeepEmptyParts));
    for (int i = from; i < cache.size(); ++i)
        chars += cache.at(i).size();
    bound();
    return hasWork();
}

void LogFilterCore::bound()
{
    int n = 0;
    qint64 c = chars;
    while (n < cache.size() && (cache.size() - n > kMaxLines || c > kMaxChars))
        c -= cache.at(n++).size();
    if (n == 0)
        return;
    const qint64 lost = qMax(0, n - examined);
    dropped += lost;
    droppedAll += lost;
    dropFront(n);
}

QString LogFilterCore::tick(const Keywords& keywords, int budgetMs)
{
    QString html;
    const QString br = QStringLiteral("<br>");
    if (dropped > 0) {
        // Where the lost lines were: after everything shown so far, before what follows.
        html += droppedLine(dropped).toHtmlEscaped() + br;
        dropped = 0;
    }
    if (cache.isEmpty())
        return html;

    struct Rule {
        int above;
        int below;
    };
    std::array<Rule, kKeywords> rules {};
    std::array<bool, kKeywords> active {};
    int keepAbove = 0;
    for (size_t k = 0; k < size_t(kKeywords); ++k) {
        const Keyword& kw = keywords[k];
        if (kw.text.isEmpty() || kw.direction < Around || kw.direction > Below)
            continue;
        if (patterns[k] != kw.text) {
            patterns[k] = kw.text;
            matchers[k] = QStringMatcher(kw.text, Qt::CaseInsensitive);
        }
        const int n = qBound(0, kw.count, 1000);
        rules[k] = { kw.direction == Below ? 0 : n, kw.direction == Above ? 0 : n };
        active[k] = true;
        keepAbove = qMax(keepAbove, rules[k].above);
    }

    // Examine what the budget allows; a match marks its own context among the lines at hand.
    QElapsedTimer clock;
    clock.start();
    std::vector<char> shown(size_t(cache.size()), 0);
    int end = examined;
    bool firstLogged = false;
    while (end < cache.size()) {
        const int j = end++;
        const QString& line = cache.at(j);
        if (base + j <= showUntil)
            shown[size_t(j)] = 1;
        for (size_t k = 0; k < size_t(kKeywords); ++k) {
            if (!active[k] || matchers[k].indexIn(line) < 0)
                continue;
            const int first = qMax(0, j - rules[k].above);
            const int last = qMin(cache.size() - 1, j + rules[k].below);
            if (k == 0 && !firstLogged) {
                firstLogged = true;
                qDebug() << "num1" << keywords[0].count << "start" << first << "end" << last;
            }
            for (int i = first; i <= last; ++i)
                shown[size_t(i)] = 1;
            showUntil = qMax(showUntil, base + j + rules[k].below);
        }
        if (budgetMs >= 0 && (end & 127) == 0 && clock.elapsed() >= budgetMs)
            break;
    }

    // Lines past the examined ones that a match marked are owed anyway: showUntil covers them.
    const QString strong = tr("<strong>%1</strong>");
    int lastShown = -1;
    for (int i = 0; i < end; ++i) {
        if (!shown[size_t(i)])
            continue;
        html += markLine(cache.at(i), keywords, strong);
        html += br;
        lastShown = i;
    }
    // Unshown lines before a shown one can no longer be shown in order; of those after it, the
    // newest keepAbove stay as context for a match still to come.
    const int after = end - (lastShown + 1);
    const int keep = qMin(after, keepAbove);
    dropFront(end - keep);
    examined = keep;
    return html;
}

QString LogFilterCore::markLine(const QString& line, const Keywords& keywords)
{
    return markLine(line, keywords, tr("<strong>%1</strong>"));
}

QString LogFilterCore::markLine(
    const QString& line, const Keywords& keywords, const QString& strong)
{
    // Searching the raw line, not the escaped one, keeps a keyword such as "amp" or "lt" from
    // matching inside an entity and breaking it.
    for (const Keyword& k : keywords) {
        if (k.text.isEmpty())
            continue;
        const int pos = line.indexOf(k.text, 0, Qt::CaseSensitive);
        if (pos < 0)
            continue;
        return line.left(pos).toHtmlEscaped() + strong.arg(k.text.toHtmlEscaped())
            + line.mid(pos + k.text.size()).toHtmlEscaped();
    }
    return line.toHtmlEscaped();
}

QString LogFilterCore::droppedLine(qint64 n) { return tr("…（%1 行未过滤即被丢弃）…").arg(n); }

void LogFilterCore::dropFront(int n)
{
    n = qMin(n, cache.size());
    if (n <= 0)
        return;
    for (int i = 0; i < n; ++i)
        chars -= cache.at(i).size();
    cache.erase(cache.begin(), cache.begin() + n);
    base += n;
    examined = qMax(0, examined - n);
}
