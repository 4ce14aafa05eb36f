// The log filter: the range search, its incremental form, and the window tick by tick.
#include "app/mainwindow.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "views/logfiltercore.h"
#include "views/logfilterdialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QtTest>

#include <set>

using Keyword = LogFilterCore::Keyword;
using Keywords = LogFilterCore::Keywords;

class tst_LogFilter : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    // the range search on its own
    void findKeywordRange_data();
    void findKeywordRange();
    void rangeSearchAgreesWithLineByLineSearch();
    void incrementalSearchAgreesWithFreshSearch();
    void markLine_data();
    void markLine();

    // the window
    void directions_data();
    void directions();
    void belowWaitsForFollowingLines();
    void overlappingRangesShownOnce();
    void discardedStretchIsNeverShown();
    void shownAsPlainText_data();
    void shownAsPlainText();
    void boldDoesNotLeakIntoNextBatch();
    void idleTickTrimsOneLinePast100_data();
    void idleTickTrimsOneLinePast100();
    void cacheIsBounded();
    void emptyKeywordsCacheNothing();
    void clearedKeywordsEmptyCacheAtNextFeed();
    void timerRunsThreeTicksPerStart();
    void timerStopsByItself();
    void outputShowsAtNextTick();
    void heldMouseKeepsOutputPending();
    void clearButtonKeepsPendingBatch();
    void debugLineForFirstKeyword();
    void receivedLinesReachTheFilter();

private:
    static void setKeyword(LogFilterDialog& d, int k, const QString& text, int direction = 0,
                           int count = 0);
    static QString shown(LogFilterDialog& d);
    static QString boldMask(LogFilterDialog& d);
    static void ticks(LogFilterDialog& d, int n);
};

static QStringList numbered(int from, int to)
{
    QStringList lines;
    for (int i = from; i < to; ++i)
        lines << QStringLiteral("L%1").arg(i);
    return lines;
}

static QtMessageHandler testHandler = nullptr;

void tst_LogFilter::cleanup()
{
    if (testHandler)
        qInstallMessageHandler(testHandler);
}

void tst_LogFilter::setKeyword(LogFilterDialog& d, int k, const QString& text, int direction,
                               int count)
{
    d.findChild<QLineEdit*>(QStringLiteral("key%1LineEdit").arg(k))->setText(text);
    d.findChild<QComboBox*>(QStringLiteral("key%1ComboBox").arg(k))->setCurrentIndex(direction);
    d.findChild<QSpinBox*>(QStringLiteral("key%1SpinBox").arg(k))->setValue(count);
}

QString tst_LogFilter::shown(LogFilterDialog& d)
{
    return d.findChild<QTextBrowser*>(QStringLiteral("textBrowser"))->toPlainText();
}

// One character per shown character: '^' bold, '.' not bold, line ends kept.
QString tst_LogFilter::boldMask(LogFilterDialog& d)
{
    QTextDocument* doc = d.findChild<QTextBrowser*>(QStringLiteral("textBrowser"))->document();
    const QString text = doc->toPlainText();
    QString mask;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            mask += QLatin1Char('\n');
            continue;
        }
        QTextCursor c(doc);
        c.setPosition(i + 1);
        mask += c.charFormat().fontWeight() > QFont::Normal ? QLatin1Char('^') : QLatin1Char('.');
    }
    return mask;
}

void tst_LogFilter::ticks(LogFilterDialog& d, int n)
{
    for (int i = 0; i < n; ++i)
        d.doTimeoutCache();
}

// Keeps the per-tick debug line out of the output of the long tests.
static void quietNum1(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg && text.startsWith(QLatin1String("num1")))
        return;
    testHandler(type, context, text);
}

static void quiet()
{
    QtMessageHandler previous = qInstallMessageHandler(quietNum1);
    if (previous != quietNum1)
        testHandler = previous;
}

// --- the range search --------------------------------------------------------------------------

void tst_LogFilter::findKeywordRange_data()
{
    QTest::addColumn<QStringList>("cache");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    const QStringList three = { "a", "ERR 5", "b" };
    QTest::newRow("empty cache") << QStringList() << "ERR" << 0 << 0 << false << 0 << 0;
    QTest::newRow("empty keyword") << three << "" << 1 << 0 << false << 0 << 0;
    QTest::newRow("no line contains it") << three << "WARN" << 1 << 0 << false << 0 << 0;
    QTest::newRow("around 0, case ignored") << three << "err" << 0 << 0 << true << 1 << 1;
    QTest::newRow("around 1") << three << "ERR" << 0 << 1 << true << 0 << 2;
    QTest::newRow("around 2 lacks a line after") << three << "ERR" << 0 << 2 << false << 0 << 0;
    QTest::newRow("around cut at line 0")
        << QStringList { "ERR", "a", "b" } << "ERR" << 0 << 2 << true << 0 << 2;
    QTest::newRow("above 3 cut at line 0") << three << "ERR" << 1 << 3 << true << 0 << 1;
    QTest::newRow("above on the last line")
        << QStringList { "a", "b", "ERR" } << "ERR" << 1 << 1 << true << 1 << 2;
    QTest::newRow("below 2 on the last line")
        << QStringList { "a", "b", "ERR" } << "ERR" << 2 << 2 << false << 0 << 0;
    QTest::newRow("below 2 with two lines after")
        << QStringList { "a", "ERR", "b", "c" } << "ERR" << 2 << 2 << true << 1 << 3;
    QTest::newRow("a run counts as one")
        << QStringList { "a", "ERR 1", "ERR 2", "b" } << "ERR" << 0 << 1 << true << 0 << 3;
    QTest::newRow("run up to the last line, below 0")
        << QStringList { "a", "ERR", "ERR" } << "ERR" << 2 << 0 << true << 1 << 2;
    QTest::newRow("run up to the last line, around 1")
        << QStringList { "ERR", "ERR" } << "ERR" << 0 << 1 << false << 0 << 0;
    QTest::newRow("only the first run")
        << QStringList { "ERR", "a", "ERR", "b" } << "ERR" << 1 << 0 << true << 0 << 0;
    QTest::newRow("later run cannot qualify either")
        << QStringList { "a", "ERR", "b", "ERR" } << "ERR" << 2 << 3 << false << 0 << 0;
    QTest::newRow("substring, not word")
        << QStringList { "xx", "ERRORS" } << "rror" << 1 << 0 << true << 1 << 1;
    QTest::newRow("Chinese inside a run") << QStringList { "温度过高了" } << "过高" << 1 << 0
                                          << true << 0 << 0;
    QTest::newRow("unknown direction") << three << "ERR" << 3 << 0 << false << 0 << 0;
}

void tst_LogFilter::findKeywordRange()
{
    QFETCH(QStringList, cache);
    QFETCH(QString, keyword);
    QFETCH(int, direction);
    QFETCH(int, count);
    QFETCH(bool, found);
    QFETCH(int, first);
    QFETCH(int, last);
    int gotFirst = -7;
    int gotLast = -7;
    QCOMPARE(LogFilterCore::findKeywordRange(cache, keyword, direction, count, gotFirst, gotLast),
             found);
    if (found) {
        QCOMPARE(gotFirst, first);
        QCOMPARE(gotLast, last);
    } else {
        QCOMPARE(gotFirst, -7); // outputs untouched
        QCOMPARE(gotLast, -7);
    }
}

// The search line by line, going on with the next line whenever a run lacks its context.
static bool lineByLine(const QStringList& cache, const QString& keyword, int direction, int n,
                       int& first, int& last)
{
    const int count = cache.size();
    auto has = [&](int i) {
        return !keyword.isEmpty() && cache.at(i).indexOf(keyword, 0, Qt::CaseInsensitive) >= 0;
    };
    for (int i = 0; i < count; ++i) {
        if (!has(i))
            continue;
        int h = i;
        while (h + 1 < count && has(h + 1))
            ++h;
        if (direction == 0 && h + n < count) {
            first = qMax(0, i - n);
            last = h + n;
            return true;
        }
        if (direction == 1) {
            first = qMax(0, i - n);
            last = h;
            return true;
        }
        if (direction == 2 && h + n < count) {
            first = i;
            last = h + n;
            return true;
        }
    }
    return false;
}

static QString randomLine(QRandomGenerator& rng)
{
    static const char* const words[] = { "ERR", "err", "ok", "warn", "x", "" };
    QString line;
    const int n = rng.bounded(3);
    for (int i = 0; i < n; ++i)
        line += QLatin1String(words[rng.bounded(6)]) + QLatin1Char(' ');
    return line;
}

void tst_LogFilter::rangeSearchAgreesWithLineByLineSearch()
{
    QRandomGenerator rng(4711);
    const QStringList keywords = { "err", "OK", "warn", "r", "zz" };
    for (int round = 0; round < 3000; ++round) {
        QStringList cache;
        const int size = rng.bounded(12);
        for (int i = 0; i < size; ++i)
            cache << randomLine(rng);
        const QString keyword = keywords.at(rng.bounded(keywords.size()));
        const int direction = rng.bounded(3);
        const int n = rng.bounded(4);
        int f1 = -1, l1 = -1, f2 = -1, l2 = -1;
        const bool a = LogFilterCore::findKeywordRange(cache, keyword, direction, n, f1, l1);
        const bool b = lineByLine(cache, keyword, direction, n, f2, l2);
        QCOMPARE(a, b);
        QCOMPARE(f1, f2);
        QCOMPARE(l1, l2);
    }
}

// Across feeds, ticks, dropped lines and edited keywords, the remembered search gives what a
// fresh search of the cache gives, and a tick shows and discards what that implies.
void tst_LogFilter::incrementalSearchAgreesWithFreshSearch()
{
    quiet();
    QRandomGenerator rng(1234);
    const QStringList choices = { "err", "ok", "", "warn", "o", "ERR" };
    LogFilterCore core;
    Keywords kws;
    int shownLines = 0;
    for (int step = 0; step < 4000; ++step) {
        if (rng.bounded(5) == 0) {
            Keyword& k = kws[size_t(rng.bounded(4))];
            k = { choices.at(rng.bounded(choices.size())), rng.bounded(3), rng.bounded(4) };
        }
        if (rng.bounded(3) != 0) {
            QStringList batch;
            const int n = 1 + rng.bounded(rng.bounded(10) == 0 ? 150 : 6);
            for (int i = 0; i < n; ++i)
                batch << randomLine(rng);
            core.feed(batch.join(QLatin1Char('\n')), true);
        }
        const QStringList before = core.lines();
        std::set<int> selected;
        for (int k = 0; k < 4; ++k) {
            const Keyword& kw = kws[size_t(k)];
            int f1 = -1, l1 = -1, f2 = -1, l2 = -1;
            const bool fresh
                = LogFilterCore::findKeywordRange(before, kw.text, kw.direction, kw.count, f1, l1);
            QCOMPARE(core.keywordRange(k, kw, f2, l2), fresh);
            if (fresh) {
                QCOMPARE(f2, f1);
                QCOMPARE(l2, l1);
                for (int i = f1; i <= l1; ++i)
                    selected.insert(i);
            }
        }
        QString html;
        for (int i : selected)
            html += LogFilterCore::markLine(before.at(i), kws) + QStringLiteral("<br>");
        const LogFilterCore::Tick t = core.tick(kws);
        QCOMPARE(t.html, html);
        if (!selected.empty())
            QCOMPARE(core.lines(), before.mid(*selected.rbegin() + 1));
        else if (before.size() > 100)
            QCOMPARE(core.lines(), before.mid(1));
        else
            QCOMPARE(core.lines(), before);
        shownLines += int(selected.size());
    }
    QVERIFY(shownLines > 1000); // the walk did select lines, often
}

void tst_LogFilter::markLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QString>("html");
    QTest::newRow("first keyword wins") << "WARN and ERR and ERR" << QStringList { "ERR", "WARN" }
                                        << "WARN and <strong>ERR</strong> and ERR";
    QTest::newRow("empty keyword skipped") << "a WARN" << QStringList { "", "WARN" }
                                           << "a <strong>WARN</strong>";
    QTest::newRow("case compared") << "ERR 5" << QStringList { "err" } << "ERR 5";
    QTest::newRow("escaped around the mark")
        << "<i>&ERR>" << QStringList { "ERR" } << "&lt;i&gt;&amp;<strong>ERR</strong>&gt;";
    QTest::newRow("keyword with markup characters")
        << "a<b" << QStringList { "<" } << "a<strong>&lt;</strong>b";
    QTest::newRow("no match inside an entity") << "a&b amp" << QStringList { "amp" }
                                               << "a&amp;b <strong>amp</strong>";
}

void tst_LogFilter::markLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, keywords);
    QFETCH(QString, html);
    Keywords kws;
    for (int i = 0; i < keywords.size(); ++i)
        kws[size_t(i)].text = keywords.at(i);
    QCOMPARE(LogFilterCore::markLine(line, kws), html);
}

// --- the window --------------------------------------------------------------------------------

void tst_LogFilter::directions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("相邻 0, selection ignores case")
        << "a\nERR 5\nb" << "err" << 0 << 0 << "ERR 5" << QStringList { "b" };
    QTest::newRow("相邻 1") << "a\nb\nERR\nc\nd" << "ERR" << 0 << 1 << "b\nERR\nc"
                          << QStringList { "d" };
    QTest::newRow("相邻 1 at the last line waits")
        << "a\nb\nERR" << "ERR" << 0 << 1 << "" << QStringList { "a", "b", "ERR" };
    QTest::newRow("向上 3 cut at the first line")
        << "a\nERR\nb" << "ERR" << 1 << 3 << "a\nERR" << QStringList { "b" };
    QTest::newRow("向上 0 on the last line") << "a\nERR" << "ERR" << 1 << 0 << "ERR"
                                           << QStringList();
    QTest::newRow("向下 2 at the last line waits")
        << "a\nb\nERR" << "ERR" << 2 << 2 << "" << QStringList { "a", "b", "ERR" };
    QTest::newRow("向下 1") << "a\nERR\nb\nc" << "ERR" << 2 << 1 << "ERR\nb"
                          << QStringList { "c" };
    QTest::newRow("empty parts are lines") << "\nERR\n\nx" << "ERR" << 0 << 1 << "\nERR\n"
                                           << QStringList { "x" };
}

void tst_LogFilter::directions()
{
    QFETCH(QString, text);
    QFETCH(QString, keyword);
    QFETCH(int, direction);
    QFETCH(int, count);
    QFETCH(QString, view);
    QFETCH(QStringList, left);
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, keyword, direction, count);
    d.appendFilteredLog(text);
    ticks(d, 2); // the first tick selects, the second shows
    QCOMPARE(shown(d), view);
    QCOMPARE(d.filter().lines(), left);
}

void tst_LogFilter::belowWaitsForFollowingLines()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR", 2, 2);
    d.appendFilteredLog("a\nERR");
    ticks(d, 2);
    d.appendFilteredLog("b");
    ticks(d, 2);
    QCOMPARE(shown(d), QString());
    QCOMPARE(d.filter().lines(), QStringList({ "a", "ERR", "b" }));
    d.appendFilteredLog("c");
    QTest::ignoreMessage(QtDebugMsg, "num1 2 start 1 end 3");
    ticks(d, 2);
    QCOMPARE(shown(d), QString("ERR\nb\nc"));
    QVERIFY(d.filter().lines().isEmpty());
}

void tst_LogFilter::overlappingRangesShownOnce()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "WARN", 0, 1);
    setKeyword(d, 2, "ERR", 0, 1);
    d.appendFilteredLog("a\nERR\nWARN\nb\nc");
    ticks(d, 2);
    QCOMPARE(shown(d), QString("a\nERR\nWARN\nb"));
    QCOMPARE(d.filter().lines(), QStringList({ "c" }));
}

void tst_LogFilter::discardedStretchIsNeverShown()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR");
    setKeyword(d, 2, "WARN");
    QStringList lines = numbered(0, 10);
    lines[8] += " ERR";
    lines[2] += " WARN";
    lines[5] += " WARN";
    d.appendFilteredLog(lines.join('\n'));
    ticks(d, 2);
    QCOMPARE(shown(d), QString("L2 WARN\nL8 ERR"));
    QCOMPARE(d.filter().lines(), QStringList({ "L9" }));
    d.appendFilteredLog("L10");
    ticks(d, 3);
    QCOMPARE(shown(d), QString("L2 WARN\nL8 ERR")); // the match on line 5 went with the stretch
}

void tst_LogFilter::shownAsPlainText_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("bold");

    QTest::newRow("tags") << "<b>ERR</b> & x" << "ERR" << "...^^^........";
    QTest::newRow("entity text from the device") << "a &amp; ERR" << "ERR" << "........^^^";
    QTest::newRow("no tag in the batch, case differs")
        << "1 < 2 && ERR" << "err" << "............";
    QTest::newRow("keyword next to an escaped character") << "a<b lt" << "lt" << "....^^";
    QTest::newRow("blanks and tabs kept") << "  a    b\tERR " << "ERR" << ".........^^^.";
    QTest::newRow("Chinese") << "温度 过高 ERR" << "过高" << "...^^....";
    QTest::newRow("looks like a document type") << "<!DOCTYPE x> ERR" << "ERR"
                                                << ".............^^^";
}

void tst_LogFilter::shownAsPlainText()
{
    QFETCH(QString, line);
    QFETCH(QString, keyword);
    QFETCH(QString, bold);
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, keyword);
    d.appendFilteredLog(line);
    ticks(d, 2);
    QCOMPARE(shown(d), line);
    QCOMPARE(boldMask(d), bold);
}

void tst_LogFilter::boldDoesNotLeakIntoNextBatch()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR", 2, 1);
    d.appendFilteredLog("x ERR\nafter");
    ticks(d, 2);
    d.appendFilteredLog("y ERR\nnext");
    ticks(d, 2);
    QCOMPARE(shown(d), QString("x ERR\nafter\ny ERR\nnext"));
    QCOMPARE(boldMask(d), QString("..^^^\n.....\n..^^^\n...."));
}

void tst_LogFilter::idleTickTrimsOneLinePast100_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("after");
    QTest::newRow("100 stay") << 100 << QList<int> { 100, 100, 100 };
    QTest::newRow("101 lose one") << 101 << QList<int> { 100, 100, 100 };
    QTest::newRow("150 lose one per tick") << 150 << QList<int> { 149, 148, 147 };
}

void tst_LogFilter::idleTickTrimsOneLinePast100()
{
    QFETCH(int, lines);
    QFETCH(QList<int>, after);
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 3, "never");
    d.appendFilteredLog(numbered(0, lines).join('\n'));
    for (int expected : after) {
        d.doTimeoutCache();
        QCOMPARE(d.filter().lines().size(), expected);
    }
    QCOMPARE(d.filter().lines().last(), QString("L%1").arg(lines - 1)); // the oldest go first
    QCOMPARE(shown(d), QString());
}

void tst_LogFilter::cacheIsBounded()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "L0");
    setKeyword(d, 2, "never");
    d.appendFilteredLog(numbered(0, 15000).join('\n'));
    QCOMPARE(d.filter().lines().size(), 15000);
    setKeyword(d, 1, "never");
    d.appendFilteredLog(numbered(15000, 21000).join('\n'));
    QCOMPARE(d.filter().lines().size(), LogFilterCore::kMaxLines);
    QCOMPARE(d.filter().lines().first(), QString("L1000"));

    // One batch larger than the bound keeps its newest lines; a match among the dropped ones
    // is gone for good.
    setKeyword(d, 1, "GONE");
    QStringList big = numbered(0, 20005);
    big[3] += " GONE";
    d.appendFilteredLog(big.join('\n'));
    QCOMPARE(d.filter().lines().size(), LogFilterCore::kMaxLines);
    QCOMPARE(d.filter().lines().first(), QString("L5"));
    QCOMPARE(d.filter().lines().last(), QString("L20004"));
    ticks(d, 3);
    QCOMPARE(shown(d), QString());
}

void tst_LogFilter::emptyKeywordsCacheNothing()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    d.appendFilteredLog("ERR\nb");
    QVERIFY(d.filter().lines().isEmpty());
    QVERIFY(!d.cacheTimer()->isActive());
    ticks(d, 3);
    QCOMPARE(shown(d), QString());
}

void tst_LogFilter::clearedKeywordsEmptyCacheAtNextFeed()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 4, "never");
    d.appendFilteredLog("a\nb\nc");
    QCOMPARE(d.filter().lines().size(), 3);
    setKeyword(d, 4, "");
    QCOMPARE(d.filter().lines().size(), 3); // only a feed looks at the keywords
    d.appendFilteredLog("d");
    QVERIFY(d.filter().lines().isEmpty());
}

void tst_LogFilter::timerRunsThreeTicksPerStart()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "never");
    d.appendFilteredLog("a");
    QVERIFY(d.cacheTimer()->isActive());
    QCOMPARE(d.cacheTimer()->interval(), 10);
    QCOMPARE(d.filter().ticksLeft(), 3);
    ticks(d, 2);
    d.appendFilteredLog("b"); // a feed while running does not extend the run
    QCOMPARE(d.filter().ticksLeft(), 1);
    QVERIFY(d.cacheTimer()->isActive());
    ticks(d, 1);
    QVERIFY(!d.cacheTimer()->isActive());
    d.appendFilteredLog("c");
    QVERIFY(d.cacheTimer()->isActive());
    QCOMPARE(d.filter().ticksLeft(), 3);
}

void tst_LogFilter::timerStopsByItself()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "never");
    int fired = 0;
    connect(d.cacheTimer(), &QTimer::timeout, [&] { ++fired; });
    d.appendFilteredLog("a");
    QTRY_VERIFY(!d.cacheTimer()->isActive());
    QTest::qWait(50);
    QCOMPARE(fired, 3);
}

void tst_LogFilter::outputShowsAtNextTick()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR");
    d.appendFilteredLog("ERR 1");
    ticks(d, 1);
    QCOMPARE(shown(d), QString());
    QCOMPARE(d.pendingHtml(), QString("<strong>ERR</strong> 1<br>"));
    ticks(d, 2); // the timer has now had its three ticks
    QCOMPARE(shown(d), QString("ERR 1"));

    // The output of the tick that stopped the timer waits for the next start.
    d.appendFilteredLog("x");
    ticks(d, 2);
    d.appendFilteredLog("ERR 2");
    ticks(d, 1);
    QVERIFY(!d.cacheTimer()->isActive());
    QCOMPARE(shown(d), QString("ERR 1"));
    d.appendFilteredLog("y");
    ticks(d, 1);
    QCOMPARE(shown(d), QString("ERR 1\nERR 2"));
}

void tst_LogFilter::heldMouseKeepsOutputPending()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR");
    QWidget* viewport = d.findChild<QTextBrowser*>("textBrowser")->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QVERIFY(!d.isDisplayReleased());
    d.appendFilteredLog("ERR 1");
    ticks(d, 2);
    d.appendFilteredLog("ERR 2");
    ticks(d, 2);
    QCOMPARE(shown(d), QString());
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
    QVERIFY(d.isDisplayReleased());
    ticks(d, 1);
    QCOMPARE(shown(d), QString("ERR 1\nERR 2"));
}

void tst_LogFilter::clearButtonKeepsPendingBatch()
{
    quiet();
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR");
    d.appendFilteredLog("ERR 1");
    ticks(d, 2);
    d.appendFilteredLog("ERR 2");
    ticks(d, 1);
    QCOMPARE(shown(d), QString("ERR 1"));
    d.findChild<QPushButton*>("clearButton")->click();
    QCOMPARE(shown(d), QString());
    ticks(d, 1);
    QCOMPARE(shown(d), QString("ERR 2"));
}

void tst_LogFilter::debugLineForFirstKeyword()
{
    QWidget parent;
    LogFilterDialog d(&parent);
    setKeyword(d, 1, "ERR", 0, 1);
    setKeyword(d, 2, "b", 0, 0);
    d.appendFilteredLog("a\nERR\nb");
    QTest::ignoreMessage(QtDebugMsg, "num1 1 start 0 end 2");
    ticks(d, 1);
}

void tst_LogFilter::receivedLinesReachTheFilter()
{
    quiet();
    TempWorkDir work;
    QVERIFY(work.installPlugin());
    MsgRecorder boxes;
    PtyPair pty;
    ExtraPorts env(pty.slavePath());
    MainWindow w;
    w.form()->showTimeCheckBox->setChecked(false);
    LogFilterDialog* d = w.logFilter();
    setKeyword(*d, 1, "fault", 2, 1);
    auto* combo = w.form()->serialNumComboBox;
    combo->setCurrentIndex(combo->findText(pty.slavePath(), Qt::MatchStartsWith));
    w.form()->openSerialButton->click();
    QVERIFY(w.port()->isOpen());
    QVERIFY(pty.write("boot\nFAULT <7> & more\nnext\nidle\n"));
    QTRY_COMPARE(shown(*d), QString("RX←◆FAULT <7> & more\nRX←◆next"));
    QVERIFY(boxes.calls.isEmpty());
}

QTEST_MAIN(tst_LogFilter)
#include "tst_logfilter.moc"
