#include "views/logfiltercore.h"

#include <QDebug>

#include <algorithm>

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
    cache.append(text.split(QLatin1Char('\n'), Qt::KeepEmptyParts));
    if (cache.size() > kMaxLines)
        dropFront(cache.size() - kMaxLines);
    if (countdown > 0)
        return false;
    countdown = kTicksPerStart;
    return true;
}

bool LogFilterCore::keywordRange(int slot, const Keyword& keyword, int& first, int& last)
{
    Scan& s = scans[size_t(slot)];
    if (s.keyword != keyword.text) {
        s = Scan();
        s.keyword = keyword.text;
        s.matcher.setPattern(keyword.text);
        s.matcher.setCaseSensitivity(Qt::CaseInsensitive);
    }
    // Lines dropped since the last call take what was known about them along.
    if (s.first >= 0 && s.first < base) {
        if (s.runEnd >= base)
            s.first = base;
        else
            s.first = -1;
    }
    if (s.next < base)
        s.next = base;
    if (keyword.text.isEmpty())
        return false;

    const qint64 end = base + cache.size();
    if (s.first < 0) {
        while (s.next < end && !contains(s.matcher, cache.at(int(s.next - base))))
            ++s.next;
        if (s.next == end)
            return false;
        s.first = s.runEnd = s.next++;
        s.closed = false;
    }
    while (!s.closed && s.next < end) {
        if (contains(s.matcher, cache.at(int(s.next - base))))
            s.runEnd = s.next;
        else
            s.closed = true;
        ++s.next;
    }
    return widen(int(s.first - base), int(s.runEnd - base), cache.size(), keyword.direction,
                 keyword.count, first, last);
}

LogFilterCore::Tick LogFilterCore::tick(const Keywords& keywords)
{
    Tick t;
    if (countdown > 0 && --countdown == 0)
        t.stop = true;
    if (cache.isEmpty())
        return t;

    struct Range {
        int first;
        int last;
    };
    std::array<Range, kKeywords> ranges;
    int found = 0;
    for (int k = 0; k < kKeywords; ++k) {
        int first = 0;
        int last = 0;
        if (!keywordRange(k, keywords[size_t(k)], first, last))
            continue;
        if (k == 0)
            qDebug() << "num1" << keywords[0].count << "start" << first << "end" << last;
        ranges[size_t(found++)] = { first, last };
    }
    if (found == 0) {
        if (cache.size() > kTrimAbove)
            dropFront(1);
        return t;
    }

    // The union of the ranges, each line once, in cache order.
    std::sort(ranges.begin(), ranges.begin() + found,
              [](const Range& a, const Range& b) { return a.first < b.first; });
    const QString strong = tr("<strong>%1</strong>");
    const QString br = QStringLiteral("<br>");
    int next = 0;
    for (int r = 0; r < found; ++r) {
        for (int i = qMax(ranges[size_t(r)].first, next); i <= ranges[size_t(r)].last; ++i) {
            t.html += markLine(cache.at(i), keywords, strong);
            t.html += br;
        }
        next = qMax(next, ranges[size_t(r)].last + 1);
    }
    // Everything up to the last selected line is done with, shown or not.
    dropFront(next);
    return t;
}

QString LogFilterCore::markLine(const QString& line, const Keywords& keywords)
{
    return markLine(line, keywords, tr("<strong>%1</strong>"));
}

QString LogFilterCore::markLine(const QString& line, const Keywords& keywords,
                                const QString& strong)
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

void LogFilterCore::dropFront(int n)
{
    n = qMin(n, cache.size());
    if (n <= 0)
        return;
    cache.erase(cache.begin(), cache.begin() + n);
    base += n;
}
