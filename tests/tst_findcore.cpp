// Plain-text matching of the find bar: counting, stepping, wrapping, case.
#include "testdata.h"
#include "views/core/findcore.h"

#include <QtTest>

namespace {

// A match as "position:index/count".
QString str(const TextFinder::Match& m)
{
    return QString("%1:%2/%3").arg(m.position).arg(m.index).arg(m.count);
}

// What a step (next, previous or at) finds from each of the offsets.
QStringList steps(const std::function<TextFinder::Match(int)>& step, const QList<int>& offsets)
{
    QStringList found;
    for (int offset : offsets)
        found << str(step(offset));
    return found;
}

} // namespace

class tst_FindCore : public QObject {
    Q_OBJECT

private slots:
    void emptyTermFindsNothing()
    {
        const TextFinder find;
        QVERIFY(find.count("abc") == 0 && find.positions("abc").isEmpty());
        QCOMPARE(str(find.next("abc", 0)), QString("-1:-1/0"));
    }

    void countIgnoresOrHonoursCase()
    {
        const QString text = "Error\nerror ERROR\nerr\nTerrorist";
        QCOMPARE(TextFinder("error").count(text), 4);
        QCOMPARE(TextFinder("error", Qt::CaseSensitive).count(text), 2);
        QCOMPARE(TextFinder("ERROR", Qt::CaseSensitive).count(text), 1);
        // Not only ASCII: the receive area is mostly Chinese text.
        QCOMPARE(TextFinder("接收").count("接收 数据\n接收"), 2);
    }

    void matchesDoNotOverlap()
    {
        const TextFinder find("aa");
        QCOMPARE(find.count("aaaaa"), 2);
        QCOMPARE(find.positions("aaaaa"), QVector<int>({ 0, 2 }));
        // Stepping lands on the same matches that were counted.
        QCOMPARE(str(find.next("aaaaa", 1)), QString("2:1/2"));
    }

    void nextWrapsToFirst()
    {
        const QString text = "x ab y ab z ab";
        const TextFinder find("ab");
        QCOMPARE(steps([&](int from) { return find.next(text, from); }, { 0, 3, 13, text.size() }),
            QStringList({ "2:0/3", "7:1/3", "2:0/3", "2:0/3" }));
    }

    void previousWrapsToLast()
    {
        const QString text = "x ab y ab z ab";
        const TextFinder find("ab");
        QCOMPARE(steps([&](int before) { return find.previous(text, before); }, { 7, 2, 0 }),
            QStringList({ "2:0/3", "12:2/3", "12:2/3" }));
    }

    void atNumbersTheMatch()
    {
        const QString text = "ab ab ab";
        const TextFinder find("AB");
        QCOMPARE(steps([&](int position) { return find.at(text, position); }, { 3, 4 }),
            QStringList({ "3:1/3", "-1:-1/3" }));
    }

    void noMatch()
    {
        const TextFinder find("zz", Qt::CaseSensitive);
        QCOMPARE(find.count("ZZ zZ"), 0);
        QCOMPARE(str(find.next("ZZ zZ", 0)) + ' ' + str(find.previous("ZZ zZ", 5)),
            QString("-1:-1/0 -1:-1/0"));
    }

    void caselessTermsSearchedAsIs()
    {
        QVERIFY(TextFinder::isCaseless("接收正常") && TextFinder::isCaseless("12:34.5 = -1,"));
        QVERIFY(!TextFinder::isCaseless("状态ok") && !TextFinder::isCaseless("Ⅻ"));
        QCOMPARE(TextFinder("正常 12").caseSensitivity(), Qt::CaseSensitive);
        QCOMPARE(TextFinder("正常 ok").caseSensitivity(), Qt::CaseInsensitive);
        QCOMPARE(TextFinder("正常").count("状态正常\n正常 ok\n异常"), 2);
    }

    void oneCharacter()
    {
        QCOMPARE(TextFinder("o").count("Oo o"), 3);
        QCOMPARE(TextFinder("o", Qt::CaseSensitive).count("Oo o"), 2);
        QCOMPARE(TextFinder("O", Qt::CaseSensitive).next("Oo o", 1).position, 0);
        QCOMPARE(TextFinder("o").previous("Oo o", 3).position, 1);
    }

    void positionsInRange()
    {
        const QString text = "ab ab ab ab";
        const TextFinder find("ab");
        QCOMPARE(find.positions(text, 3, 8), QVector<int>({ 3, 6 }));
        QCOMPARE(find.positions(text, 3, 7), QVector<int>({ 3 }));
        QCOMPARE(find.positions(text, 0, -1, 2), QVector<int>({ 0, 3 }));
    }

    void bigTextEnds()
    {
        QStringList lines;
        for (int i = 0; i < 10000; ++i)
            lines << QString("[12:00:00.000]RX←◆line %1 value=%2").arg(i).arg(i * 7);
        lines[0] += " FIRST";
        lines[5000] += " Middle";
        lines[9999] += " last";
        const QString text = lines.join('\n');
        QCOMPARE(TextFinder("first").count(text), 1);
        QCOMPARE(TextFinder("middle", Qt::CaseSensitive).count(text), 0);
        QCOMPARE(TextFinder("line").count(text), 10000);
        QCOMPARE(str(TextFinder("LAST").next(text, 0)), QString("%1:0/1").arg(text.size() - 4));
        QCOMPARE(TextFinder("line").previous(text, 0).index, 9999);
    }

    void piecesAgreeWithWholeText_data()
    {
        const auto add = columns<QString>("term");
        for (const char* term : { "ab", "b", "line 1", "接收", "zz" })
            add(term, QString::fromUtf8(term));
    }

    // The store's chunks: '\n' within a piece but none between pieces, the last shown in part.
    void piecesAgreeWithWholeText()
    {
        QFETCH(QString, term);
        const QStringList chunks = { "ab line 1\nabab", "b接收 line 10\nab", "line 1ab接收\nxab" };
        const int shownOfLast = 10;
        QString whole;
        TextFinder::Pieces pieces;
        for (const QString& chunk : chunks) {
            if (!whole.isEmpty())
                whole += '\n';
            const bool last = &chunk == &chunks.last();
            pieces.append({ &chunk, last ? shownOfLast : chunk.size(), whole.size() });
            whole += last ? chunk.left(shownOfLast) : chunk;
        }
        for (Qt::CaseSensitivity cs : { Qt::CaseSensitive, Qt::CaseInsensitive }) {
            const TextFinder find(term, cs);
            QCOMPARE(find.count(pieces), find.count(whole));
            for (int at = 0; at <= whole.size(); ++at) {
                QCOMPARE(str(find.next(pieces, at)), str(find.next(whole, at)));
                QCOMPARE(str(find.previous(pieces, at)), str(find.previous(whole, at)));
                QCOMPARE(str(find.at(pieces, at)), str(find.at(whole, at)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(tst_FindCore)
#include "tst_findcore.moc"
