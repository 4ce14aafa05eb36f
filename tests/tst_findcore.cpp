// Plain-text matching of the find bar: counting, stepping, wrapping, case.
#include "testdata.h"
#include "views/core/findcore.h"

#include <QtTest>

// A match as "position:index/count".
static QString str(const TextFinder::Match& m)
{
    return QString("%1:%2/%3").arg(m.position).arg(m.index).arg(m.count);
}

class tst_FindCore : public QObject {
    Q_OBJECT

private slots:
    // calls: c count, nX next from X, pX previous before X, aX the match at X, sF,T,L positions
    // from F to T, at most L (T and L may be left out).
    void calls_data()
    {
        const auto add = columns<QString, bool, QString, QString, QString>(
            "term", "matchCase", "text", "calls", "found");
        add("emptyTermFindsNothing", QString(), false, "abc", "c s n0", "0 [] -1:-1/0");
        const QString text = "Error\nerror ERROR\nerr\nTerrorist";
        add("countIgnoresOrHonoursCase: any case", "error", false, text, "c", "4");
        add("countIgnoresOrHonoursCase: case", "error", true, text, "c", "2");
        add("countIgnoresOrHonoursCase: case, capitals", "ERROR", true, text, "c", "1");
        // Not only ASCII: the receive area is mostly Chinese text.
        add("countIgnoresOrHonoursCase: Chinese", "接收", false, "接收 数据\n接收", "c", "2");
        // Stepping lands on the same matches that were counted.
        add("matchesDoNotOverlap", "aa", false, "aaaaa", "c s n1", "2 [0,2] 2:1/2");
        // 14: the end of the text
        add("nextWrapsToFirst", "ab", false, "x ab y ab z ab", "n0 n3 n13 n14",
            "2:0/3 7:1/3 2:0/3 2:0/3");
        add("previousWrapsToLast", "ab", false, "x ab y ab z ab", "p7 p2 p0",
            "2:0/3 12:2/3 12:2/3");
        add("atNumbersTheMatch", "AB", false, "ab ab ab", "a3 a4", "3:1/3 -1:-1/3");
        add("noMatch", "zz", true, "ZZ zZ", "c n0 p5", "0 -1:-1/0 -1:-1/0");
        add("oneCharacter: any case", "o", false, "Oo o", "c p3", "3 1:1/3");
        add("oneCharacter: case", "o", true, "Oo o", "c", "2");
        add("oneCharacter: case, capital", "O", true, "Oo o", "n1", "0:0/1");
        add("positionsInRange", "ab", false, "ab ab ab ab", "s3,8 s3,7 s0,-1,2", "[3,6] [3] [0,3]");
    }

    void calls()
    {
        QFETCH(QString, term);
        QFETCH(bool, matchCase);
        QFETCH(QString, text);
        QFETCH(QString, calls);
        const TextFinder find(term, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        QStringList found;
        for (const QString& call : calls.split(' ')) {
            const QStringList args = call.mid(1).split(',');
            const int x = args.value(0).toInt();
            const char kind = call.at(0).toLatin1();
            if (kind == 'c') {
                found << QString::number(find.count(text));
            } else if (kind == 's') {
                QStringList at;
                for (int p : find.positions(
                         text, x, args.value(1, "-1").toInt(), args.value(2, "-1").toInt()))
                    at << QString::number(p);
                found << '[' + at.join(',') + ']';
            } else {
                found << str(kind == 'n' ? find.next(text, x)
                        : kind == 'p'    ? find.previous(text, x)
                                         : find.at(text, x));
            }
        }
        QTEST(found.join(' '), "found");
    }

    void caselessTermsSearchedAsIs()
    {
        QVERIFY(TextFinder::isCaseless("接收正常") && TextFinder::isCaseless("12:34.5 = -1,"));
        QVERIFY(!TextFinder::isCaseless("状态ok") && !TextFinder::isCaseless("Ⅻ"));
        QCOMPARE(TextFinder("正常 12").caseSensitivity(), Qt::CaseSensitive);
        QCOMPARE(TextFinder("正常 ok").caseSensitivity(), Qt::CaseInsensitive);
        QCOMPARE(TextFinder("正常").count("状态正常\n正常 ok\n异常"), 2);
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
