// The log filter: the range search, its incremental form, and the window tick by tick.
#include "app/mainwindow.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "views/core/logfiltercore.h"
#include "views/logfilterdialog.h"

#include <QtWidgets>

#include <memory>

using Keyword = LogFilterCore::Keyword;
using Keywords = LogFilterCore::Keywords;

static QStringList numbered(int from, int to)
{
    QStringList lines;
    for (int i = from; i < to; ++i)
        lines << QStringLiteral("L%1").arg(i);
    return lines;
}

// The range search the slow way, run after run until one has its context: {found, first, last}.
static QList<int> lineByLine(const QStringList& cache, const QString& keyword, int direction, int n)
{
    const int count = cache.size();
    auto has = [&](int i) {
        return i < count && !keyword.isEmpty()
            && cache.at(i).contains(keyword, Qt::CaseInsensitive);
    };
    const int up = direction == 2 ? 0 : n; // lines wanted above the run, and below it
    const int down = direction == 1 ? 0 : n;
    for (int i = 0; i < count && direction >= 0 && direction <= 2; ++i) {
        if (!has(i))
            continue;
        int h = i;
        while (has(h + 1))
            ++h;
        if (h + down < count)
            return { true, qMax(0, i - up), h + down };
    }
    return { false, -1, -1 };
}

// `count` lines of up to two words each.
static QStringList randomLines(QRandomGenerator& rng, int count)
{
    static const char* const words[] = { "ERR", "err", "ok", "warn", "x", "" };
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines << QString();
        for (int n = rng.bounded(3); n > 0; --n)
            lines.last() += QLatin1String(words[rng.bounded(6)]) + QLatin1Char(' ');
    }
    return lines;
}

using Keys = QVector<Keyword>; // set in the window from the first keyword on
Q_DECLARE_METATYPE(Keys)

class tst_LogFilter : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        // Keeps the per-tick debug line out of the test output; the tests about it turn it on.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        parent.reset(new QWidget);
        d = new LogFilterDialog(parent.get());
    }

    void cleanup() { parent.reset(); }

    void findKeywordRange_data()
    {
        // range: first..last, or none
        const auto add = columns<QStringList, QString, int, int, QString>(
            "cache", "keyword", "direction", "count", "range");
        const QStringList three = { "a", "ERR 5", "b" };
        add("empty cache", {}, "ERR", 0, 0, "none");
        add("empty keyword", three, "", 1, 0, "none");
        add("no line contains it", three, "WARN", 1, 0, "none");
        add("around 0, case ignored", three, "err", 0, 0, "1..1");
        add("around 1", three, "ERR", 0, 1, "0..2");
        add("around 2 lacks a line after", three, "ERR", 0, 2, "none");
        add("around cut at line 0", { "ERR", "a", "b" }, "ERR", 0, 2, "0..2");
        add("above 3 cut at line 0", three, "ERR", 1, 3, "0..1");
        add("above on the last line", { "a", "b", "ERR" }, "ERR", 1, 1, "1..2");
        add("below 2 on the last line", { "a", "b", "ERR" }, "ERR", 2, 2, "none");
        add("below 2 with two lines after", { "a", "ERR", "b", "c" }, "ERR", 2, 2, "1..3");
        add("a run counts as one", { "a", "ERR 1", "ERR 2", "b" }, "ERR", 0, 1, "0..3");
        add("run up to the last line, below 0", { "a", "ERR", "ERR" }, "ERR", 2, 0, "1..2");
        add("run up to the last line, around 1", { "ERR", "ERR" }, "ERR", 0, 1, "none");
        add("only the first run", { "ERR", "a", "ERR", "b" }, "ERR", 1, 0, "0..0");
        add("later run cannot qualify either", { "a", "ERR", "b", "ERR" }, "ERR", 2, 3, "none");
        add("substring, not word", { "xx", "ERRORS" }, "rror", 1, 0, "1..1");
        add("Chinese inside a run", { "温度过高了" }, "过高", 1, 0, "0..0");
        add("unknown direction", three, "ERR", 3, 0, "none");
    }

    void findKeywordRange()
    {
        QFETCH(QStringList, cache);
        QFETCH(QString, keyword);
        QFETCH(int, direction);
        QFETCH(int, count);
        int first = -7, last = -7;
        const bool found
            = LogFilterCore::findKeywordRange(cache, keyword, direction, count, first, last);
        // Without a range the outputs stay untouched.
        const QString none = first == -7 && last == -7 ? "none" : "none, but outputs written";
        QTEST(found ? QString("%1..%2").arg(first).arg(last) : none, "range");
    }

    void rangeSearchAgreesWithLineByLineSearch()
    {
        QRandomGenerator rng(4711);
        const QStringList keywords = { "err", "OK", "warn", "r", "zz" };
        for (int round = 0; round < 3000; ++round) {
            const QStringList cache = randomLines(rng, rng.bounded(12));
            const QString keyword = keywords.at(rng.bounded(keywords.size()));
            const int direction = rng.bounded(3);
            const int n = rng.bounded(4);
            int first = -1, last = -1;
            const bool found
                = LogFilterCore::findKeywordRange(cache, keyword, direction, n, first, last);
            QCOMPARE((QList<int> { found, first, last }), lineByLine(cache, keyword, direction, n));
        }
    }

    // Random feeds and ticks: exactly the lines in some match's context, each once, in order. Per
    // round the keywords share how far they reach above a match (how far below is free).
    void filterShowsEveryLineInContext()
    {
        QRandomGenerator rng(1234);
        const QStringList choices = { "err", "ok", "", "warn", "o", "ERR" };
        int shownLines = 0;
        for (int round = 0; round < 300; ++round) {
            Keywords kws;
            const int above = rng.bounded(4);
            for (Keyword& k : kws) {
                k.text = choices.at(rng.bounded(choices.size()));
                k.direction = rng.bounded(above == 0 ? 3 : 2);
                k.count = above != 0 ? above : k.direction == 2 ? rng.bounded(4) : 0;
            }
            LogFilterCore core;
            QStringList all;
            QString html;
            for (int feeds = 1 + rng.bounded(30); feeds > 0; --feeds) {
                const QStringList batch
                    = randomLines(rng, 1 + rng.bounded(rng.bounded(10) == 0 ? 150 : 6));
                all += batch;
                core.feed(batch.join(QLatin1Char('\n')), true);
                for (int t = rng.bounded(3); t > 0; --t)
                    html += core.tick(kws, rng.bounded(2) ? -1 : 0);
            }
            while (core.hasWork())
                html += core.tick(kws, 0);

            QString expected;
            for (int x = 0; x < all.size(); ++x) {
                bool in = false;
                for (const Keyword& k : kws) {
                    const int up = k.direction == 2 ? 0 : k.count;
                    const int down = k.direction == 1 ? 0 : k.count;
                    for (int j = qMax(0, x - down); j <= qMin(all.size() - 1, x + up) && !in; ++j)
                        in = !k.text.isEmpty() && all.at(j).contains(k.text, Qt::CaseInsensitive);
                }
                if (in) {
                    expected += LogFilterCore::markLine(all.at(x), kws) + QStringLiteral("<br>");
                    ++shownLines;
                }
            }
            QCOMPARE(html, expected);
            QVERIFY(core.lines().size() <= above);
        }
        QVERIFY(shownLines > 1000); // the walk did select lines, often
    }

    void markLine_data()
    {
        const auto add = columns<QString, QStringList, QString>("line", "keywords", "html");
        add("first keyword wins", "WARN and ERR and ERR", { "ERR", "WARN" },
            "WARN and <strong>ERR</strong> and ERR");
        add("empty keyword skipped", "a WARN", { "", "WARN" }, "a <strong>WARN</strong>");
        add("case compared", "ERR 5", { "err" }, "ERR 5");
        add("escaped around the mark", "<i>&ERR>", { "ERR" },
            "&lt;i&gt;&amp;<strong>ERR</strong>&gt;");
        add("keyword with markup characters", "a<b", { "<" }, "a<strong>&lt;</strong>b");
        add("no match inside an entity", "a&b amp", { "amp" }, "a&amp;b <strong>amp</strong>");
    }

    void markLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, keywords);
        Keywords kws;
        for (int i = 0; i < keywords.size(); ++i)
            kws[size_t(i)].text = keywords.at(i);
        QTEST(LogFilterCore::markLine(line, kws), "html");
    }

    // The window: each batch fed with two ticks (one selects, one shows); what it shows and keeps.
    void filteredView_data()
    {
        // bold: '^' bold, '.' not; null: not looked at
        const auto add = columns<Keys, QStringList, QString, QStringList, QString>(
            "keys", "feeds", "view", "left", "bold");
        const auto err = [](int direction, int count) {
            return Keys { { "ERR", direction, count } };
        };

        add("相邻 0, selection ignores case", { { "err" } }, { "a\nERR 5\nb" }, "ERR 5", {}, {});
        add("相邻 1", err(0, 1), { "a\nb\nERR\nc\nd" }, "b\nERR\nc", { "d" }, {});
        add("相邻 1 at the last line shows at once", err(0, 1), { "a\nb\nERR" }, "b\nERR", {}, {});
        add("向上 3 cut at the first line", err(1, 3), { "a\nERR\nb" }, "a\nERR", { "b" }, {});
        add("向上 0 on the last line", err(1, 0), { "a\nERR" }, "ERR", {}, {});
        add("向下 2 at the last line shows at once", err(2, 2), { "a\nb\nERR" }, "ERR", {}, {});
        add("向下 1", err(2, 1), { "a\nERR\nb\nc" }, "ERR\nb", {}, {});
        add("empty parts are lines", err(0, 1), { "\nERR\n\nx" }, "\nERR\n", { "x" }, {});
        add("overlappingRangesShownOnce", { { "WARN", 0, 1 }, { "ERR", 0, 1 } },
            { "a\nERR\nWARN\nb\nc" }, "a\nERR\nWARN\nb", { "c" }, {});
        add("matchesInsideAnotherRangeAreShown", { { "ERR" }, { "WARN" } },
            { "L0\nL1\nL2 WARN\nL3\nL4\nL5 WARN\nL6\nL7\nL8 ERR\nL9" }, "L2 WARN\nL5 WARN\nL8 ERR",
            {}, {});
        add("boldDoesNotLeakIntoNextBatch", err(2, 1), { "x ERR\nafter", "y ERR\nnext" },
            "x ERR\nafter\ny ERR\nnext", {}, "..^^^\n.....\n..^^^\n....");
        // Shown as plain text: what the device sent, never read as markup.
        const auto plain
            = [&](const char* tag, const QString& line, const QString& keyword,
                  const QString& bold) { add(tag, { { keyword } }, { line }, line, {}, bold); };
        plain("tags", "<b>ERR</b> & x", "ERR", "...^^^........");
        plain("entity text from the device", "a &amp; ERR", "ERR", "........^^^");
        plain("no tag in the batch, case differs", "1 < 2 && ERR", "err", "............");
        plain("keyword next to an escaped character", "a<b lt", "lt", "....^^");
        plain("blanks and tabs kept", "  a    b\tERR ", "ERR", ".........^^^.");
        plain("Chinese", "温度 过高 ERR", "过高", "...^^....");
        plain("looks like a document type", "<!DOCTYPE x> ERR", "ERR", ".............^^^");
    }

    void filteredView()
    {
        QFETCH(Keys, keys);
        QFETCH(QStringList, feeds);
        QFETCH(QString, bold);
        for (int i = 0; i < keys.size(); ++i)
            setKeyword(i + 1, keys[i].text, keys[i].direction, keys[i].count);
        for (const QString& text : feeds)
            feed(text);
        QTEST(shown(), "view");
        QTEST(d->filter().lines(), "left");
        if (!bold.isNull())
            QCOMPARE(boldMask(), bold);
    }

    void belowShowsMatchAtOnceAndContextLater()
    {
        setKeyword(1, "ERR", 2, 2);
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
        QTest::ignoreMessage(QtDebugMsg, "num1 2 start 1 end 1");
        // The last line of a burst waits for nothing.
        QCOMPARE(feed("a\nERR"), QString("ERR [timer off]"));
        QVERIFY(d->filter().lines().isEmpty());
        QCOMPARE(feed("b"), QString("ERR\nb [timer off]"));
        QCOMPARE(feed("c\nd"), QString("ERR\nb\nc [timer off]"));
        QVERIFY(d->filter().lines().isEmpty());
    }

    void everyRunOfOneTickIsShown()
    {
        setKeyword(1, "ALARM", 0, 1);
        QStringList lines = numbered(0, 400);
        QStringList expected;
        for (int i = 0; i < 400; i += 4) {
            lines[i + 1] += " ALARM";
            expected << lines.at(i) << lines.at(i + 1) << lines.at(i + 2);
        }
        // Two ticks on a quiet machine; the time budget may spread it over more, never drop a run.
        QCOMPARE(feed(lines.join('\n'), 50), expected.join('\n') + " [timer off]");
    }

    void unmatchedLinesAreNotKept_data()
    {
        columns<int, int, int>("direction", "count", "kept");
        row("相邻 0", 0, 0, 0);
        row("向下 5 needs nothing above", 2, 5, 0);
        row("向上 3 keeps three", 1, 3, 3);
        row("相邻 10 keeps ten", 0, 10, 10);
    }

    void unmatchedLinesAreNotKept()
    {
        QFETCH(int, direction);
        QFETCH(int, count);
        QFETCH(int, kept);
        setKeyword(3, "never", direction, count);
        QCOMPARE(feed(numbered(0, 150).join('\n'), 1), QString(" [timer off]"));
        // Only what a later match could still show above it stays.
        QCOMPARE(d->filter().lines(), numbered(150 - kept, 150));
        QCOMPARE(feed("never mind"),
            (numbered(150 - kept, 150) << "never mind").join('\n') + " [timer off]");
    }

    void cacheIsBoundedByLines()
    {
        setKeyword(1, "L0");
        setKeyword(2, "never");
        d->appendFilteredLog(numbered(0, 15000).join('\n'));
        QCOMPARE(d->filter().lines().size(), 15000);
        setKeyword(1, "never");
        d->appendFilteredLog(numbered(15000, 21000).join('\n'));
        QCOMPARE(d->filter().lines(), numbered(21000 - LogFilterCore::kMaxLines, 21000));

        // A batch past the bound keeps its newest lines and says there how many went unexamined.
        setKeyword(1, "GONE");
        QStringList big = numbered(0, 20005);
        big[3] += " GONE";
        big[20004] += " GONE";
        d->appendFilteredLog(big.join('\n'));
        QCOMPARE(d->filter().lines(), big.mid(big.size() - LogFilterCore::kMaxLines));
        QTRY_COMPARE(state(), QString("…（21005 行未过滤即被丢弃）…\nL20004 GONE [timer off]"));
        QCOMPARE(d->filter().droppedTotal(), qint64(21005));
    }

    void cacheIsBoundedByCharacters()
    {
        setKeyword(1, "ERR");
        const QString wide(1 << 20, QLatin1Char('x'));
        d->appendFilteredLog(QStringList { wide, wide, wide, wide, wide, wide, "ERR" }.join('\n'));
        QVERIFY(d->filter().cachedChars() <= LogFilterCore::kMaxChars);
        QCOMPARE(d->filter().lines().last(), QString("ERR"));
        QCOMPARE(ticks(2), QString("…（3 行未过滤即被丢弃）…\nERR [timer off]"));
    }

    void displayIsBounded()
    {
        QCOMPARE(d->displayLimit(), 100000);
        d->setDisplayLimit(50);
        setKeyword(1, "L");
        for (int i = 0; i < 200; i += 7)
            feed(numbered(i, qMin(200, i + 7)).join('\n'), 1);
        QCOMPARE(ticks(1), numbered(150, 200).join('\n') + " [timer off]");
        QCOMPARE(d->displayedLines(), 50);
        d->findChild<QPushButton*>("clearButton")->click();
        QCOMPARE(d->displayedLines(), 0);
    }

    void emptyKeywordsCacheNothing()
    {
        QCOMPARE(feed("ERR\nb", 0), QString(" [timer off]"));
        QVERIFY(d->filter().lines().isEmpty());
        QCOMPARE(ticks(3), QString(" [timer off]"));
    }

    void clearedKeywordsEmptyCacheAtNextFeed()
    {
        setKeyword(4, "never");
        d->appendFilteredLog("a\nb\nc");
        QCOMPARE(d->filter().lines().size(), 3);
        setKeyword(4, "");
        QCOMPARE(d->filter().lines().size(), 3); // only a feed looks at the keywords
        d->appendFilteredLog("d");
        QVERIFY(d->filter().lines().isEmpty());
    }

    void timerRunsWhileWorkRemains()
    {
        setKeyword(1, "ERR");
        // Nothing to show leaves nothing to do; output still to be shown keeps the timer on.
        QCOMPARE(QStringList({ feed("a", 0), ticks(1), feed("ERR", 1), ticks(1) }),
            QStringList({ " [timer on]", " [timer off]", " [timer on]", "ERR [timer off]" }));
        QCOMPARE(d->cacheTimer()->interval(), 10);
    }

    // A busy log: 4,000 lines in bursts, every fourth an alarm; all shown, the last one at once.
    void busyLogShowsEveryMatch()
    {
        setKeyword(1, "ALARM");
        QStringList all;
        for (int i = 0; i < 4000;) {
            QStringList burst;
            for (int k = 0; k < 40; ++k, ++i)
                burst << QString("[12:00:00.000]RX←◆%1 %2")
                             .arg(i)
                             .arg(i % 4 == 3 ? "ALARM over temperature" : "status ok");
            all += burst;
            d->appendFilteredLog(burst.join('\n'));
            QTest::qWait(10); // the gap between a device's bursts
        }
        QTRY_VERIFY_WITH_TIMEOUT(!d->cacheTimer()->isActive(), 10000);
        QCOMPARE(shown().split('\n'), all.filter("ALARM"));
    }

    void outputShowsAtNextTick()
    {
        setKeyword(1, "ERR");
        QCOMPARE(QStringList({ feed("ERR 1", 1), d->pendingHtml(), ticks(1) }),
            QStringList({ " [timer on]", "<strong>ERR</strong> 1<br>", "ERR 1 [timer off]" }));
        // The tick that produced output keeps the timer going until it is shown.
        QCOMPARE(feed("x\nERR 2", 1), QString("ERR 1 [timer on]"));
        QTRY_COMPARE(state(), QString("ERR 1\nERR 2 [timer off]"));
    }

    void heldMouseKeepsOutputPending()
    {
        setKeyword(1, "ERR");
        QWidget* viewport = browser()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!d->isDisplayReleased());
        feed("ERR 1");
        QCOMPARE(feed("ERR 2"), QString(" [timer on]"));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(d->isDisplayReleased());
        QCOMPARE(ticks(1), QString("ERR 1\nERR 2 [timer off]"));
    }

    void clearButtonKeepsPendingBatch()
    {
        setKeyword(1, "ERR");
        feed("ERR 1");
        QCOMPARE(feed("ERR 2", 1), QString("ERR 1 [timer on]"));
        d->findChild<QPushButton*>("clearButton")->click();
        QCOMPARE(shown(), QString());
        QCOMPARE(ticks(1), QString("ERR 2 [timer off]"));
    }

    void debugLineForFirstKeyword()
    {
        setKeyword(1, "ERR", 0, 1);
        setKeyword(2, "b", 0, 0);
        d->appendFilteredLog("a\nERR\nb");
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
        QTest::ignoreMessage(QtDebugMsg, "num1 1 start 0 end 2");
        ticks(1);
    }

    void receivedLinesReachTheFilter()
    {
        PtyTestBench bench;
        QVERIFY(bench.ready);
        MainWindow w;
        w.form()->showTimeCheckBox->setChecked(false);
        d = w.logFilter();
        setKeyword(1, "fault", 2, 1);
        QVERIFY(bench.openIn(w));
        QVERIFY(bench.pty.write("boot\nFAULT <7> & more\nnext\nidle\n"));
        QTRY_COMPARE(shown(), QString("RX←◆FAULT <7> & more\nRX←◆next"));
        QVERIFY(bench.boxes.calls.isEmpty());
    }

private:
    std::unique_ptr<QWidget> parent; // of the dialogs, as the main window is
    LogFilterDialog* d = nullptr; // the dialog under test: a child of parent, or the window's

    void setKeyword(int k, const QString& text, int direction = 0, int count = 0)
    {
        d->findChild<QLineEdit*>(QStringLiteral("key%1LineEdit").arg(k))->setText(text);
        d->findChild<QComboBox*>(QStringLiteral("key%1ComboBox").arg(k))
            ->setCurrentIndex(direction);
        d->findChild<QSpinBox*>(QStringLiteral("key%1SpinBox").arg(k))->setValue(count);
    }

    QTextBrowser* browser() const { return d->findChild<QTextBrowser*>("textBrowser"); }
    QString shown() const { return browser()->toPlainText(); }

    // What is shown, and whether the timer still runs.
    QString state() const
    {
        return shown() + (d->cacheTimer()->isActive() ? " [timer on]" : " [timer off]");
    }

    // One character per shown character: '^' bold, '.' not bold, line ends kept.
    QString boldMask() const
    {
        QTextDocument* doc = browser()->document();
        const QString text = doc->toPlainText();
        QString mask;
        for (int i = 0; i < text.size(); ++i) {
            QTextCursor c(doc);
            c.setPosition(i + 1);
            mask += text.at(i) == QLatin1Char('\n')           ? QLatin1Char('\n')
                : c.charFormat().fontWeight() > QFont::Normal ? QLatin1Char('^')
                                                              : QLatin1Char('.');
        }
        return mask;
    }

    // n ticks of the timer; what the window is in after them
    QString ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            d->doTimeoutCache();
        return state();
    }

    QString feed(const QString& text, int tickCount = 2)
    {
        d->appendFilteredLog(text);
        return ticks(tickCount);
    }
};

QTEST_MAIN(tst_LogFilter)
#include "tst_logfilter.moc"
