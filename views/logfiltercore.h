#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QStringMatcher>

#include <array>

// The log filter without its window: a cache of received lines, fed with each batch the receive
// area shows, and worked through once per timer tick into the HTML the window displays.
class LogFilterCore {
    Q_DECLARE_TR_FUNCTIONS(LogFilterCore)

public:
    // How a keyword's first run of matching lines is widened (the window's combo box index).
    enum Direction { Around = 0, Above = 1, Below = 2 };

    struct Keyword {
        QString text;
        int direction = Around;
        int count = 0;
    };
    static constexpr int kKeywords = 4;
    using Keywords = std::array<Keyword, kKeywords>;

    // Unmatched data faster than one line per tick would otherwise grow the cache without end.
    static constexpr int kMaxLines = 20000;
    // Above this many cached lines an idle tick drops the oldest one.
    static constexpr int kTrimAbove = 100;
    static constexpr int kTicksPerStart = 3;

    // The lines that keyword selects in cache: the first run of consecutive lines containing it
    // (ignoring case), widened by count lines as direction says. Above is cut at line 0; Around
    // and Below wait until the line count lines past the run exists.
    static bool findKeywordRange(const QStringList& cache, const QString& keyword, int direction,
                                 int count, int& first, int& last);

    // Caches the lines of text, or empties the cache while no keyword is set. Returns true when
    // the timer was idle and must be started now.
    bool feed(const QString& text, bool anyKeyword);

    struct Tick {
        bool stop = false; // the timer has had its ticks
        QString html;      // lines to show, each followed by "<br>"
    };
    Tick tick(const Keywords& keywords);

    // findKeywordRange on lines() for keyword slot k, but it keeps what earlier calls learnt
    // about the cached lines, so a call costs only the lines that arrived since the last one.
    bool keywordRange(int slot, const Keyword& keyword, int& first, int& last);

    // The line made safe for HTML, the first occurrence of the first keyword found in it
    // (comparing case) in bold.
    static QString markLine(const QString& line, const Keywords& keywords);

    const QStringList& lines() const { return cache; }
    bool isRunning() const { return countdown > 0; }
    int ticksLeft() const { return countdown; }

private:
    // What a keyword slot knows about the cache, in line numbers counted since the start.
    struct Scan {
        QString keyword;
        QStringMatcher matcher;
        qint64 next = 0;     // first line not examined yet
        qint64 first = -1;   // first matching line; -1 while none is known
        qint64 runEnd = -1;  // last line of the run of matches starting at first
        bool closed = false; // the line after runEnd does not match
    };

    void dropFront(int n);
    static QString markLine(const QString& line, const Keywords& keywords, const QString& strong);

    QStringList cache;
    qint64 base = 0; // line number of cache.first()
    int countdown = 0;
    std::array<Scan, kKeywords> scans;
};
