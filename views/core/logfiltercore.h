#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QStringMatcher>

#include <array>

// The log filter without its window: a cache of received lines, fed with each batch the receive
// area shows, and worked through tick by tick into the HTML the window displays.
//
// Every line within the context of a match of any keyword is shown, once, in arrival order. A
// match is shown as soon as it is examined, with the lines above it that are still cached; the
// lines below it that a direction asks for are shown as they arrive.
class LogFilterCore {
    Q_DECLARE_TR_FUNCTIONS(LogFilterCore)

public:
    // How a keyword's matching lines are widened (the window's combo box index).
    enum Direction { Around = 0, Above = 1, Below = 2 };

    struct Keyword {
        QString text;
        int direction = Around;
        int count = 0;
    };
    static constexpr int kKeywords = 4;
    using Keywords = std::array<Keyword, kKeywords>;

    // Lines fed faster than the ticks examine them wait here; beyond either bound the oldest go,
    // and the output says how many went unexamined.
    static constexpr int kMaxLines = 20000;
    static constexpr qint64 kMaxChars = 4 << 20;
    // Time one tick may spend examining lines; what is left waits for the next tick.
    static constexpr int kTickBudgetMs = 4;

    // The lines that keyword selects in cache: the first run of consecutive lines containing it
    // (ignoring case), widened by count lines as direction says. Above is cut at line 0; Around
    // and Below wait until the line count lines past the run exists.
    static bool findKeywordRange(const QStringList& cache, const QString& keyword, int direction,
        int count, int& first, int& last);

    // Caches the lines of text, or empties the cache while no keyword is set. Returns true when
    // lines wait to be examined.
    bool feed(const QString& text, bool anyKeyword);

    // Examines the waiting lines for at most budgetMs (at least one line); a negative budget
    // examines them all.
    QString tick(const Keywords& keywords, int budgetMs = kTickBudgetMs);

    // The line made safe for HTML, the first occurrence of the first keyword found in it
    // (comparing case) in bold.
    static QString markLine(const QString& line, const Keywords& keywords);
    // The line that stands for n lines lost unexamined.
    static QString droppedLine(qint64 n);

    // Lines not yet examined, and examined ones kept as possible context above a later match.
    const QStringList& lines() const { return cache; }
    int unexamined() const { return cache.size() - examined; }
    bool hasWork() const { return unexamined() > 0 || dropped > 0; }
    qint64 cachedChars() const { return chars; }
    // Lines dropped unexamined over the whole run.
    qint64 droppedTotal() const { return droppedAll; }

private:
    void dropFront(int n);
    void bound();
    static QString markLine(const QString& line, const Keywords& keywords, const QString& strong);

    QStringList cache;
    int examined = 0; // leading cache lines already examined (and not shown)
    qint64 chars = 0; // characters in cache
    qint64 base = 0; // line number of cache.first(), counted since the start
    qint64 showUntil = -1; // line number up to which lines below a match are owed
    qint64 dropped = 0; // unexamined lines dropped since the last tick
    qint64 droppedAll = 0;
    std::array<QStringMatcher, kKeywords> matchers;
    std::array<QString, kKeywords> patterns;
};
