// The receive area's find bar on the real window: keys, counting, wrapping, following new lines.
#include "app/mainwindow.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>

namespace {

// A 10,000-line view: "alpha" in three spellings at its start, middle and end, "data" everywhere.
QString tenThousandLines()
{
    QStringList lines;
    for (int i = 0; i < 10000; ++i)
        lines << QString("[12:00:00.000]RX←◆line %1 data").arg(i, 5, 10, QChar('0'));
    lines[0] += " Alpha";
    lines[5000] += " ALPHA";
    lines[9999] += " alpha";
    return lines.join('\n');
}

} // namespace

class tst_FindBar : public PtyWindowTest {
    Q_OBJECT

private slots:
    void ctrlFOpensTheBar();
    void menuEntry();
    void countAndSelectedMatch_data();
    void countAndSelectedMatch();
    void wrapsAroundBothWays();
    void otherVisibleMatchesMarked();
    void noMatchShowsZero();
    void selectingDoesNotTouchClipboard();
    void escapeReturnsFocusAndStateLasts();
    void viewStaysOnMatchWhileLinesArrive();
    void followsTheEndWhenMatchIsThere();
    void countFollowsAFullViewSaved();
    void linesNotHeldBackWhileBarIsOpen();

private:
    void showWindow(MainWindow& w);
    QLineEdit* edit(MainWindow& w) { return w.findChild<QLineEdit*>("findLineEdit"); }
    QWidget* bar(MainWindow& w) { return w.findChild<QWidget*>("findBarWidget"); }
    QString countText(MainWindow& w) { return w.findChild<QLabel*>("findCountLabel")->text(); }
    QString selected(MainWindow& w) { return w.form()->recvShowText->selectedText(); }
    int selectedLine(MainWindow& w)
    {
        return int(w.form()->recvShowText->lineAt(w.form()->recvShowText->selectionStart()));
    }
    bool selectionVisible(MainWindow& w)
    {
        TextBrowser* view = w.form()->recvShowText;
        const qint64 line = view->lineAt(view->selectionStart());
        return line >= view->firstVisibleLine() && line <= view->lastVisibleLine();
    }
    void fill(MainWindow& w, const QString& text);
    void writeLines(const QString& pattern, int first, int count);
    // Opens the bar and types the term.
    void find(MainWindow& w, const QString& term);
};

void tst_FindBar::showWindow(MainWindow& w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// Appends like the pipeline does and lets the window lay the view out, which ends at its end.
void tst_FindBar::fill(MainWindow& w, const QString& text)
{
    TextBrowser* view = w.form()->recvShowText;
    view->appendPlainText(text);
    QScrollBar* scroll = view->verticalScrollBar();
    QTRY_VERIFY(scroll->maximum() > 0 && scroll->value() == scroll->maximum());
    QTest::qWait(50); // and stays there
    QCOMPARE(scroll->value(), scroll->maximum());
}

void tst_FindBar::writeLines(const QString& pattern, int first, int count)
{
    QByteArray bytes;
    for (int i = first; i < first + count; ++i)
        bytes += pattern.arg(i).toUtf8() + "\n";
    QVERIFY(pty->write(bytes));
}

void tst_FindBar::find(MainWindow& w, const QString& term)
{
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(edit(w), term);
}

void tst_FindBar::ctrlFOpensTheBar()
{
    MainWindow w;
    showWindow(w);
    QWidget* findBar = bar(w);
    QVERIFY(findBar);
    QVERIFY(!findBar->isVisible());
    QCOMPARE(findBar->parentWidget(), w.form()->recvAreaGroupBox);

    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(findBar->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit(w)));
    // Directly below the view.
    QVERIFY(findBar->geometry().top() >= w.form()->recvShowText->geometry().bottom());
    QCOMPARE(edit(w)->placeholderText(), QString("查找"));
    QCOMPARE(w.findChild<QPushButton*>("findPreviousButton")->text(), QString("上一个"));
    QCOMPARE(w.findChild<QPushButton*>("findNextButton")->text(), QString("下一个"));
    QCOMPARE(w.findChild<QCheckBox*>("findCaseCheckBox")->text(), QString("区分大小写"));
    QVERIFY(!w.findChild<QCheckBox*>("findCaseCheckBox")->isChecked());
    QCOMPARE(countText(w), QString("0/0"));
    QVERIFY(w.findChild<QToolButton*>("findCloseButton"));
}

void tst_FindBar::menuEntry()
{
    MainWindow w;
    showWindow(w);
    const QList<QAction*> actions = w.form()->functionSetMenu->actions();
    QAction* find = actions.last();
    QCOMPARE(find->text(), QString("查找(F)"));
    QCOMPARE(find->shortcut(), QKeySequence("Ctrl+F"));
    // The form's own entries keep their places; the language menu comes before the find entry.
    QCOMPARE(actions.size(), 7);
    QCOMPARE(actions.at(4), w.form()->actionUpdateLog);
    find->trigger();
    QVERIFY(bar(w)->isVisible());
}

void tst_FindBar::countAndSelectedMatch_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("line");

    QTest::newRow("start, case on") << "Alpha" << true << "1/1" << 0;
    QTest::newRow("middle, case on") << "ALPHA" << true << "1/1" << 5000;
    QTest::newRow("end, case on") << "alpha" << true << "1/1" << 9999;
    // From the view's position, at its end: the last of the three comes first.
    QTest::newRow("any case, from the end") << "alpha" << false << "3/3" << 9999;
    QTest::newRow("start, any case") << "line 00000" << false << "1/1" << 0;
    QTest::newRow("middle, any case") << "LINE 05000" << false << "1/1" << 5000;
    QTest::newRow("none with case") << "Line 05000" << true << "0/0" << -1;
}

void tst_FindBar::countAndSelectedMatch()
{
    QFETCH(QString, term);
    QFETCH(bool, matchCase);
    QFETCH(QString, count);
    QFETCH(int, line);

    MainWindow w;
    showWindow(w);
    TextBrowser* view = w.form()->recvShowText;
    fill(w, tenThousandLines());
    QCOMPARE(int(view->lineCount()), 10000);

    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    if (matchCase)
        QTest::mouseClick(w.findChild<QCheckBox*>("findCaseCheckBox"), Qt::LeftButton);
    QTest::keyClicks(edit(w), term);
    QCOMPARE(countText(w), count);
    if (line < 0) {
        QVERIFY(!view->hasSelection());
        return;
    }
    QCOMPARE(selected(w).toLower(), term.toLower());
    QCOMPARE(selectedLine(w), line);
    QVERIFY(selectionVisible(w));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit(w)));
}

void tst_FindBar::wrapsAroundBothWays()
{
    MainWindow w;
    showWindow(w);
    fill(w, tenThousandLines());
    find(w, "alpha");
    QCOMPARE(countText(w), QString("3/3"));
    QCOMPARE(selectedLine(w), 9999);

    QTest::keyClick(edit(w), Qt::Key_Return);
    QCOMPARE(countText(w), QString("1/3"));
    QCOMPARE(selectedLine(w), 0);
    QCOMPARE(selected(w), QString("Alpha"));
    QVERIFY(selectionVisible(w));
    QTest::keyClick(edit(w), Qt::Key_Enter);
    QCOMPARE(countText(w), QString("2/3"));
    QCOMPARE(selectedLine(w), 5000);
    QVERIFY(selectionVisible(w));

    QTest::keyClick(edit(w), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(countText(w), QString("1/3"));
    QTest::keyClick(edit(w), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(countText(w), QString("3/3"));
    QCOMPARE(selectedLine(w), 9999);
    QVERIFY(selectionVisible(w));

    QTest::mouseClick(w.findChild<QPushButton*>("findNextButton"), Qt::LeftButton);
    QCOMPARE(countText(w), QString("1/3"));
    QTest::mouseClick(w.findChild<QPushButton*>("findPreviousButton"), Qt::LeftButton);
    QCOMPARE(countText(w), QString("3/3"));
    // The buttons leave the typing where it was.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit(w)));

    // Turning case on keeps to the match in view when it still matches.
    QTest::mouseClick(w.findChild<QCheckBox*>("findCaseCheckBox"), Qt::LeftButton);
    QCOMPARE(countText(w), QString("1/1"));
    QCOMPARE(selectedLine(w), 9999);
    QTest::keyClick(edit(w), Qt::Key_Return);
    QCOMPARE(countText(w), QString("1/1"));
    QCOMPARE(selectedLine(w), 9999);
}

void tst_FindBar::otherVisibleMatchesMarked()
{
    MainWindow w;
    showWindow(w);
    TextBrowser* view = w.form()->recvShowText;
    fill(w, tenThousandLines());
    find(w, "DATA");
    QCOMPARE(countText(w).section('/', 1), QString("10000"));

    const QVector<TextBrowser::Mark> marks = view->markList();
    QVERIFY(marks.size() > 3);
    // Only lines in view are marked, and not the selected match.
    QVERIFY(marks.size() < 200);
    const qint64 selectedAt = view->selectionStart();
    for (const TextBrowser::Mark& mark : marks) {
        QCOMPARE(view->text(mark.start, mark.start + mark.length), QString("data"));
        QVERIFY(mark.start != selectedAt);
    }

    // Scrolling marks the lines that come into view.
    view->verticalScrollBar()->setValue(0);
    const QVector<TextBrowser::Mark> top = view->markList();
    QVERIFY(!top.isEmpty());
    QCOMPARE(view->lineAt(top.first().start), qint64(0));

    QTest::keyClick(edit(w), Qt::Key_Escape);
    QVERIFY(view->markList().isEmpty());
}

void tst_FindBar::noMatchShowsZero()
{
    MainWindow w;
    showWindow(w);
    TextBrowser* view = w.form()->recvShowText;
    view->appendPlainText("RX←◆one\nRX←◆two");
    find(w, "tw");
    QCOMPARE(countText(w), QString("1/1"));
    QTest::keyClicks(edit(w), "x");
    QCOMPARE(countText(w), QString("0/0"));
    QVERIFY(!view->hasSelection());
    QTest::keyClick(edit(w), Qt::Key_Return);
    QCOMPARE(countText(w), QString("0/0"));
    QTest::keyClick(edit(w), Qt::Key_Backspace);
    QCOMPARE(countText(w), QString("1/1"));
    edit(w)->clear();
    QCOMPARE(countText(w), QString("0/0"));
    QVERIFY(!view->hasSelection());
}

void tst_FindBar::selectingDoesNotTouchClipboard()
{
    MainWindow w;
    showWindow(w);
    TextBrowser* view = w.form()->recvShowText;
    fill(w, tenThousandLines());
    QGuiApplication::clipboard()->setText("the user's own");
    find(w, "alpha");
    QTest::keyClick(edit(w), Qt::Key_Return);
    QTest::keyClick(edit(w), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(selected(w), QString("alpha"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("the user's own"));
    QCOMPARE(w.findChild<QLabel*>("selLabel")->text(), QString("Sel: 0"));

    // The user's own selection still goes to the clipboard.
    view->setSelection(view->lineStart(3), view->store().lineEnd(3));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("[12:00:00.000]RX←◆line 00003 data"));
}

void tst_FindBar::escapeReturnsFocusAndStateLasts()
{
    MainWindow w;
    showWindow(w);
    w.form()->recvShowText->appendPlainText("RX←◆Boot OK\nRX←◆boot again");
    QWidget* sendEdit = w.form()->sendDataTextEdit;
    sendEdit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), sendEdit);

    QTest::keyClick(sendEdit, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar(w)->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit(w)));
    QTest::mouseClick(w.findChild<QCheckBox*>("findCaseCheckBox"), Qt::LeftButton);
    QTest::keyClicks(edit(w), "boot");
    QCOMPARE(countText(w), QString("1/1"));
    QTest::keyClick(edit(w), Qt::Key_Escape);
    QVERIFY(!bar(w)->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), sendEdit);
    // Typing goes where it went before.
    QTest::keyClicks(QApplication::focusWidget(), "x");
    QVERIFY(w.form()->sendDataTextEdit->toPlainText().endsWith("x"));

    // Open again: the term and the case stay for the run, the term ready to be retyped.
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(edit(w)->text(), QString("boot"));
    QCOMPARE(edit(w)->selectedText(), QString("boot"));
    QVERIFY(w.findChild<QCheckBox*>("findCaseCheckBox")->isChecked());
    QCOMPARE(countText(w), QString("1/1"));

    // The close button does the same as Escape.
    w.form()->recvShowText->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.form()->recvShowText));
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit(w)));
    QTest::mouseClick(w.findChild<QToolButton*>("findCloseButton"), Qt::LeftButton);
    QVERIFY(!bar(w)->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.form()->recvShowText));
}

void tst_FindBar::viewStaysOnMatchWhileLinesArrive()
{
    MainWindow w;
    showWindow(w);
    openPort(w, NoTime);
    TextBrowser* view = w.form()->recvShowText;
    QScrollBar* scroll = view->verticalScrollBar();

    QVERIFY(pty->write("needle in the hay\n"));
    writeLines("hay %1", 1, 399);
    QTRY_COMPARE(int(view->lineCount()), 400);
    QTRY_COMPARE(scroll->value(), scroll->maximum());

    find(w, "needle");
    QCOMPARE(countText(w), QString("1/1"));
    QCOMPARE(selectedLine(w), 0);
    const int shownAt = scroll->value();
    QVERIFY(shownAt < scroll->maximum());

    writeLines("more hay %1", 400, 300);
    QTRY_COMPARE(int(view->lineCount()), 700);
    QCOMPARE(scroll->value(), shownAt);
    QCOMPARE(selected(w), QString("needle"));
    QVERIFY(selectionVisible(w));

    // The count follows new lines.
    QVERIFY(pty->write("another needle\n"));
    QTRY_COMPARE(countText(w), QString("1/2"));
    QCOMPARE(scroll->value(), shownAt);

    // Scrolling to the end by hand: the view follows again.
    scroll->setValue(scroll->maximum());
    writeLines("late hay %1", 701, 100);
    QTRY_COMPARE(int(view->lineCount()), 801);
    QCOMPARE(scroll->value(), scroll->maximum());

    // Closing the bar: the view had been following, so it goes back to the end.
    scroll->setValue(shownAt);
    QTest::keyClick(edit(w), Qt::Key_Escape);
    QCOMPARE(scroll->value(), scroll->maximum());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
}

void tst_FindBar::followsTheEndWhenMatchIsThere()
{
    MainWindow w;
    showWindow(w);
    openPort(w, NoTime);
    TextBrowser* view = w.form()->recvShowText;
    QScrollBar* scroll = view->verticalScrollBar();

    writeLines("line %1", 0, 300);
    QVERIFY(pty->write("the tail\n"));
    QTRY_COMPARE(int(view->lineCount()), 301);
    QTRY_COMPARE(scroll->value(), scroll->maximum());

    find(w, "tail");
    QCOMPARE(countText(w), QString("1/1"));
    QCOMPARE(selectedLine(w), 300);
    QCOMPARE(scroll->value(), scroll->maximum());

    writeLines("after %1", 0, 200);
    QTRY_COMPARE(int(view->lineCount()), 501);
    QTRY_COMPARE(scroll->value(), scroll->maximum());
    QVERIFY(scroll->maximum() > 0);
    // The match at the end did not grow into the appended lines.
    QCOMPARE(selected(w), QString("tail"));
    QCOMPARE(selectedLine(w), 300);
}

void tst_FindBar::countFollowsAFullViewSaved()
{
    MainWindow w;
    w.form()->maxRowsSpinBox->setValue(20000);
    showWindow(w);
    openPort(w, NoTime | AutoSave);
    TextBrowser* view = w.form()->recvShowText;
    writeLines("boot %1", 0, 3);
    QTRY_COMPARE(int(view->lineCount()), 3);
    find(w, "marker");
    QCOMPARE(countText(w), QString("0/0"));
    // The full view goes to the record writer whole; the bar counts in the view that follows.
    writeLines("filler line %1 with some padding to fill the view", 3, 19997);
    writeLines("marker %1", 0, 4);
    QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(20004), 30000);
    QTRY_COMPARE(w.recordsInHand(), 0);
    QTRY_COMPARE(int(view->lineCount()), 4);
    QTRY_COMPARE(
        bar(w)->findChild<QLabel*>("findCountLabel")->text().section('/', 1), QString("4"));
    QTest::mouseClick(w.findChild<QPushButton*>("findNextButton"), Qt::LeftButton);
    QCOMPARE(selected(w), QString("marker"));
    // And it still hears the view's document change.
    writeLines("marker %1", 4, 1);
    QTRY_COMPARE(countText(w).section('/', 1), QString("5"));
}

void tst_FindBar::linesNotHeldBackWhileBarIsOpen()
{
    MainWindow w;
    showWindow(w);
    openPort(w, NoTime);
    TextBrowser* view = w.form()->recvShowText;

    writeLines("boot %1", 0, 5);
    QTRY_COMPARE(int(view->lineCount()), 5);
    find(w, "boot 1");
    QCOMPARE(countText(w), QString("1/1"));
    QTest::mouseClick(w.findChild<QPushButton*>("findNextButton"), Qt::LeftButton);
    QTest::mouseClick(w.findChild<QPushButton*>("findPreviousButton"), Qt::LeftButton);

    // Each line reaches the view while a match is selected and the bar has the focus.
    for (int i = 5; i < 8; ++i) {
        QVERIFY(pty->write(QString("boot %1\n").arg(i).toUtf8()));
        QTRY_COMPARE(int(view->lineCount()), i + 1);
        QCOMPARE(view->store().line(view->lineCount() - 1), QString("RX←◆boot %1").arg(i));
    }
    QCOMPARE(selected(w), QString("boot 1"));
    QVERIFY(bar(w)->isVisible());
}

QTEST_MAIN(tst_FindBar)
#include "tst_findbar.moc"
