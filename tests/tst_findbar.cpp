// Finding text: the matcher alone, then the receive area's find bar on the real window.
#include "app/mainwindow.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "views/core/findcore.h"

#include <QtWidgets>

// A match as "position:index/count".
static QString str(const TextFinder::Match& m)
{
    return QString("%1:%2/%3").arg(m.position).arg(m.index).arg(m.count);
}

// Every case starts on a shown, active window with the bar still closed.
class tst_FindBar : public PtyWindowTest {
    Q_OBJECT

private slots:
    // calls: c count, nX next from X, pX previous before X, aX the match at X, sF,T,L positions
    // from F to T, at most L (T and L may be left out).
    void finder_data()
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

    void finder()
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

    void init()
    {
        PtyWindowTest::init();
        w.reset(new MainWindow);
        view = w->form()->recvShowText;
        scroll = view->verticalScrollBar();
        edit = w->findChild<QLineEdit*>("findLineEdit");
        bar = w->findChild<QWidget*>("findBarWidget");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void cleanup()
    {
        w.reset();
        PtyWindowTest::cleanup();
    }

    void ctrlFOpensTheBar()
    {
        QVERIFY(bar && edit && !bar->isVisible());
        QCOMPARE(bar->parentWidget(), w->form()->recvAreaGroupBox);

        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(edit->hasFocus());
        QVERIFY(bar->geometry().top() >= view->geometry().bottom()); // directly below the view
        QCOMPARE(QStringList({ edit->placeholderText(), button("findPreviousButton")->text(),
                     button("findNextButton")->text(), caseBox()->text(), count() }),
            QStringList({ "查找", "上一个", "下一个", "区分大小写", "0/0" }));
        QVERIFY(!caseBox()->isChecked() && w->findChild<QToolButton*>("findCloseButton"));
    }

    void menuEntry()
    {
        const QList<QAction*> actions = w->form()->functionSetMenu->actions();
        QAction* find = actions.last();
        QCOMPARE(find->text() + ' ' + find->shortcut().toString(), QString("查找(F) Ctrl+F"));
        // The form's own entries keep their places; the language menu comes before the find entry.
        QCOMPARE(actions.size(), 7);
        QCOMPARE(actions.at(4), w->form()->actionUpdateLog);
        find->trigger();
        QVERIFY(bar->isVisible());
    }

    void countAndSelectedMatch_data()
    {
        const auto add = columns<QString, bool, QString>("term", "matchCase", "found");
        add("start, case on", "Alpha", true, "1/1 Alpha@0");
        add("middle, case on", "ALPHA", true, "1/1 ALPHA@5000");
        add("end, case on", "alpha", true, "1/1 alpha@9999");
        // From the view's position, at its end: the last of the three comes first.
        add("any case, from the end", "alpha", false, "3/3 alpha@9999");
        add("start, any case", "line 00000", false, "1/1 line 00000@0");
        add("middle, any case", "LINE 05000", false, "1/1 line 05000@5000");
        add("none with case", "Line 05000", true, "0/0");
        add("bigTextEnds: the last line, any case", "09999 DATA ALPHA", false,
            "1/1 09999 data alpha@9999");
    }

    void countAndSelectedMatch()
    {
        QFETCH(QString, term);
        QFETCH(bool, matchCase);
        fill();
        find(term, matchCase);
        QTEST(found(), "found");
        QVERIFY(edit->hasFocus());
    }

    void wrapsAroundBothWays()
    {
        fill();
        find("alpha");
        QCOMPARE(QStringList({ found(), key(Qt::Key_Return), key(Qt::Key_Enter),
                     key(Qt::Key_Return, Qt::ShiftModifier), key(Qt::Key_Return, Qt::ShiftModifier),
                     click(button("findNextButton")), click(button("findPreviousButton")) }),
            QStringList({ "3/3 alpha@9999", "1/3 Alpha@0", "2/3 ALPHA@5000", "1/3 Alpha@0",
                "3/3 alpha@9999", "1/3 Alpha@0", "3/3 alpha@9999" }));
        // The buttons leave the typing where it was.
        QVERIFY(edit->hasFocus());

        // Turning case on keeps to the match in view when it still matches.
        QCOMPARE(click(caseBox()), QString("1/1 alpha@9999"));
        QCOMPARE(key(Qt::Key_Return), QString("1/1 alpha@9999"));
    }

    void otherVisibleMatchesMarked()
    {
        fill();
        find("DATA");
        QCOMPARE(count().section('/', 1), QString("10000"));

        const QVector<TextBrowser::Mark> marks = view->markList();
        // Only lines in view are marked, and not the selected match.
        QVERIFY(marks.size() > 3 && marks.size() < 200);
        for (const TextBrowser::Mark& mark : marks) {
            QCOMPARE(view->text(mark.start, mark.start + mark.length), QString("data"));
            QVERIFY(mark.start != view->selectionStart());
        }

        // Scrolling marks the lines that come into view.
        scroll->setValue(0);
        QVERIFY(!view->markList().isEmpty());
        QCOMPARE(view->lineAt(view->markList().first().start), qint64(0));

        key(Qt::Key_Escape);
        QVERIFY(view->markList().isEmpty());
    }

    void noMatchShowsZero()
    {
        view->appendPlainText("RX←◆one\nRX←◆two");
        find("tw");
        QCOMPARE(
            QStringList({ found(), key(Qt::Key_X), key(Qt::Key_Return), key(Qt::Key_Backspace) }),
            QStringList({ "1/1 tw@1", "0/0", "0/0", "1/1 tw@1" }));
        edit->clear();
        QCOMPARE(found(), QString("0/0"));
    }

    void selectingDoesNotTouchClipboard()
    {
        fill();
        QGuiApplication::clipboard()->setText("the user's own");
        find("alpha");
        key(Qt::Key_Return);
        QCOMPARE(key(Qt::Key_Return, Qt::ShiftModifier), QString("3/3 alpha@9999"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("the user's own"));
        QCOMPARE(w->findChild<QLabel*>("selLabel")->text(), QString("Sel: 0"));

        // The user's own selection still goes to the clipboard.
        view->setSelection(view->lineStart(3), view->store().lineEnd(3));
        QCOMPARE(
            QGuiApplication::clipboard()->text(), QString("[12:00:00.000]RX←◆line 00003 data"));
    }

    void escapeReturnsFocusAndStateLasts()
    {
        view->appendPlainText("RX←◆Boot OK\nRX←◆boot again");
        QWidget* sendEdit = w->form()->sendDataTextEdit;
        sendEdit->setFocus();
        QTRY_VERIFY(sendEdit->hasFocus());

        QTest::keyClick(sendEdit, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(edit->hasFocus());
        QTest::mouseClick(caseBox(), Qt::LeftButton);
        QTest::keyClicks(edit, "boot");
        QCOMPARE(count(), QString("1/1"));
        key(Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(sendEdit->hasFocus());
        // Typing goes where it went before.
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QVERIFY(w->form()->sendDataTextEdit->toPlainText().endsWith("x"));

        // Open again: the term and the case stay for the run, the term ready to be retyped.
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QStringList({ edit->text(), edit->selectedText(), count() }),
            QStringList({ "boot", "boot", "1/1" }));
        QVERIFY(caseBox()->isChecked());

        // The close button does the same as Escape.
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(edit->hasFocus());
        QTest::mouseClick(w->findChild<QToolButton*>("findCloseButton"), Qt::LeftButton);
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(view->hasFocus());
    }

    void viewStaysOnMatchWhileLinesArrive()
    {
        openPort(*w, NoTime);
        receive("needle in the hay\n" + lines("hay %1", 1, 399));
        QTRY_COMPARE(scroll->value(), scroll->maximum());

        find("needle");
        QCOMPARE(found(), QString("1/1 needle@0"));
        const int shownAt = scroll->value();
        QVERIFY(shownAt < scroll->maximum());

        receive(lines("more hay %1", 400, 300));
        QCOMPARE(scroll->value(), shownAt);
        QCOMPARE(found(), QString("1/1 needle@0"));

        // The count follows new lines.
        QVERIFY(pty->write("another needle\n"));
        QTRY_COMPARE(count(), QString("1/2"));
        QCOMPARE(scroll->value(), shownAt);

        // Scrolling to the end by hand: the view follows again.
        scroll->setValue(scroll->maximum());
        receive(lines("late hay %1", 701, 100));
        QCOMPARE(scroll->value(), scroll->maximum());

        // Closing the bar: the view had been following, so it goes back to the end.
        scroll->setValue(shownAt);
        key(Qt::Key_Escape);
        QCOMPARE(scroll->value(), scroll->maximum());
        QTRY_VERIFY(view->hasFocus());
    }

    void followsTheEndWhenMatchIsThere()
    {
        openPort(*w, NoTime);
        receive(lines("line %1", 0, 300) + "the tail\n");
        QTRY_COMPARE(scroll->value(), scroll->maximum());

        find("tail");
        QCOMPARE(found(), QString("1/1 tail@300"));
        QCOMPARE(scroll->value(), scroll->maximum());

        receive(lines("after %1", 0, 200));
        QTRY_COMPARE(scroll->value(), scroll->maximum());
        QVERIFY(scroll->maximum() > 0);
        // The match at the end did not grow into the appended lines.
        QCOMPARE(found(), QString("1/1 tail@300 out of view"));
    }

    void countFollowsAFullViewSaved()
    {
        w->form()->maxRowsSpinBox->setValue(20000);
        openPort(*w, NoTime | AutoSave);
        receive(lines("boot %1", 0, 3));
        find("marker");
        QCOMPARE(count(), QString("0/0"));
        // The full view goes to the record writer whole; the bar counts in the view that follows.
        QVERIFY(pty->write(lines("filler line %1 with some padding to fill the view", 3, 19997)
            + lines("marker %1", 0, 4)));
        QTRY_COMPARE_WITH_TIMEOUT(w->displayedLines(), qint64(20004), 30000);
        QTRY_COMPARE(w->recordsInHand(), 0);
        QTRY_COMPARE(int(view->lineCount()), 4);
        QTRY_COMPARE(count().section('/', 1), QString("4"));
        QTest::mouseClick(button("findNextButton"), Qt::LeftButton);
        QCOMPARE(view->selectedText(), QString("marker"));
        // And it still hears the view's document change.
        QVERIFY(pty->write("marker 4\n"));
        QTRY_COMPARE(count().section('/', 1), QString("5"));
    }

    void linesNotHeldBackWhileBarIsOpen()
    {
        openPort(*w, NoTime);
        receive(lines("boot %1", 0, 5));
        find("boot 1");
        QCOMPARE(count(), QString("1/1"));
        click(button("findNextButton"));
        click(button("findPreviousButton"));

        // Each line reaches the view while a match is selected and the bar has the focus.
        for (int i = 5; i < 8; ++i) {
            receive(lines("boot %1", i, 1));
            QCOMPARE(view->store().line(view->lineCount() - 1), QString("RX←◆boot %1").arg(i));
        }
        QCOMPARE(view->selectedText(), QString("boot 1"));
        QVERIFY(bar->isVisible());
    }

private:
    QPushButton* button(const char* name) { return w->findChild<QPushButton*>(name); }
    QCheckBox* caseBox() { return w->findChild<QCheckBox*>("findCaseCheckBox"); }
    QString count() { return w->findChild<QLabel*>("findCountLabel")->text(); }
    // The count, then the selected match and its line, and whether it is out of view.
    QString found()
    {
        if (!view->hasSelection())
            return count();
        const qint64 line = view->lineAt(view->selectionStart());
        const bool seen = line >= view->firstVisibleLine() && line <= view->lastVisibleLine();
        return QString("%1 %2@%3").arg(count(), view->selectedText()).arg(line)
            + (seen ? "" : " out of view");
    }
    QString key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(edit, Qt::Key(key), modifiers);
        return found();
    }
    QString click(QAbstractButton* button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        return found();
    }
    // Opens the bar, sets the case switch as asked and types the term.
    void find(const QString& term, bool matchCase = false)
    {
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        if (matchCase)
            QTest::mouseClick(caseBox(), Qt::LeftButton);
        QTest::keyClicks(edit, term);
    }
    // 10,000 lines with "data", "alpha" spelt three ways at start, middle and end; view at the end.
    void fill()
    {
        QStringList lines;
        for (int i = 0; i < 10000; ++i)
            lines << QString("[12:00:00.000]RX←◆line %1 data").arg(i, 5, 10, QChar('0'));
        lines[0] += " Alpha";
        lines[5000] += " ALPHA";
        lines[9999] += " alpha";
        view->appendPlainText(lines.join('\n'));
        QCOMPARE(int(view->lineCount()), 10000);
        QTRY_VERIFY(scroll->maximum() > 0 && scroll->value() == scroll->maximum());
        QTest::qWait(50); // and stays there
        QCOMPARE(scroll->value(), scroll->maximum());
    }
    static QByteArray lines(const QString& pattern, int first, int count)
    {
        QByteArray bytes;
        for (int i = first; i < first + count; ++i)
            bytes += pattern.arg(i).toUtf8() + "\n";
        return bytes;
    }
    // Sends the lines and waits until all of them are in the view.
    void receive(const QByteArray& bytes)
    {
        const int expected = int(view->lineCount()) + bytes.count('\n');
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE(int(view->lineCount()), expected);
    }

    std::unique_ptr<MainWindow> w;
    TextBrowser* view = nullptr;
    QScrollBar* scroll = nullptr;
    QLineEdit* edit = nullptr;
    QWidget* bar = nullptr;
};

QTEST_MAIN(tst_FindBar)
#include "tst_findbar.moc"
