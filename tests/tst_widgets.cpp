#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "shell/welcomedialog.h"
#include "tools/additionfunction.h"
#include "tools/advancedsend.h"
#include "ui_mainwindow.h"
#include "views/keyhighlightdialog.h"
#include "views/logfilterdialog.h"
#include "views/textbrowser.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScopedPointer>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>

// The receive view, the personal settings dialog, the main-window form and the shells of the
// secondary windows, without a main window behind them.
namespace {

// One data row: the tag, then the columns in order.
template <typename... T> void row(const char* tag, const T&... values)
{
    (QTest::newRow(tag) << ... << values);
}

} // namespace

class tst_Widgets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void menuEntries();
    void menuEnabledStates_data();
    void menuEnabledStates();
    void menuActions_data();
    void menuActions();
    void appendPlainTextIsLiteral_data();
    void appendPlainTextIsLiteral();
    void appendPlainTextFollowsTheEnd();
    void mouseSelection_data();
    void mouseSelection();
    void keysScrollSelectAndCopy();
    void longLinesWrapAtTheWidth();
    void accessibleTextIsTheStore();
    void fontChooser_data();
    void fontChooser();

    void settingsDefaults();
    void wrapModeByRadioButton_data();
    void wrapModeByRadioButton();
    void delimiterRowsKeepMode();
    void typedDelimiter_data();
    void typedDelimiter();
    void delimiterPresent_data();
    void delimiterPresent();
    void setMinTray_data();
    void setMinTray();

    void formComboItems_data();
    void formComboItems();
    void formActions_data();
    void formActions();
    void formToolBarAndMenus();

    void dialogTitles_data();
    void dialogTitles();
    void shellInterfaces();

private:
    static QAction* entry(QMenu* menu, const QString& text);
    static void chooseWrapMode(ExtraSettingDialog& dialog, const QString& button);
};

void tst_Widgets::initTestCase() { Q_INIT_RESOURCE(resources); }

void tst_Widgets::cleanup() { TextBrowser::setFontChooser(nullptr); }

QAction* tst_Widgets::entry(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

void tst_Widgets::chooseWrapMode(ExtraSettingDialog& dialog, const QString& button)
{
    dialog.setDelimiterWrapEnabled(true);
    dialog.findChild<QRadioButton*>(button)->click();
}

// --- receive view ------------------------------------------------------------------------------

void tst_Widgets::menuEntries()
{
    TextBrowser view;
    QScopedPointer<QMenu> menu(view.createContextMenu());
    QCOMPARE(menu->parent(), &view);

    const QList<QAction*> actions = menu->actions();
    QStringList texts;
    for (QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
    QCOMPARE(texts,
        QStringList({ "复制(&C)", "粘贴(&P)", "--", "字体", "清空", "保存数据", "--", "全选" }));

    QCOMPARE(actions.at(0)->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(actions.at(1)->shortcut(), QKeySequence(QKeySequence::Paste));
    QVERIFY(actions.at(3)->shortcut().isEmpty());
    QVERIFY(actions.at(4)->shortcut().isEmpty());
    QVERIFY(actions.at(5)->shortcut().isEmpty());
    QCOMPARE(actions.at(7)->shortcut(), QKeySequence(QKeySequence::SelectAll));

    // The shortcuts belong to the menu only: the view keeps no actions of its own.
    QVERIFY(view.actions().isEmpty());
}

void tst_Widgets::menuEnabledStates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("clear");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("selectAll");

    row("empty view", QString(), false, false, false, false, false);
    row("text, no selection", "RX line", false, false, true, true, true);
    row("text, selection", "RX line", true, true, true, true, true);
    row("single blank line", " ", false, false, true, true, true);
}

void tst_Widgets::menuEnabledStates()
{
    QFETCH(QString, text);
    QFETCH(bool, select);

    TextBrowser view;
    if (!text.isNull())
        view.appendPlainText(text);
    if (select)
        view.setSelection(0, 2);

    QScopedPointer<QMenu> menu(view.createContextMenu());
    QTEST(entry(menu.data(), "复制(&C)")->isEnabled(), "copy");
    QVERIFY(entry(menu.data(), "粘贴(&P)")->isEnabled());
    QVERIFY(entry(menu.data(), "字体")->isEnabled());
    QTEST(entry(menu.data(), "清空")->isEnabled(), "clear");
    QTEST(entry(menu.data(), "保存数据")->isEnabled(), "save");
    QTEST(entry(menu.data(), "全选")->isEnabled(), "selectAll");
}

void tst_Widgets::menuActions_data()
{
    QTest::addColumn<QString>("entryText");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<int>("saveRequests");
    QTest::addColumn<bool>("wholeSelected");

    const QString text = QStringLiteral("line 1\nline 2");
    row("clear empties the view only", "清空", QString(), 0, false);
    row("save asks the window", "保存数据", text, 1, false);
    row("select all", "全选", text, 0, true);
    row("paste into read-only view", "粘贴(&P)", text, 0, false);
}

void tst_Widgets::menuActions()
{
    QFETCH(QString, entryText);
    QFETCH(bool, wholeSelected);

    TextBrowser view;
    view.appendPlainText("line 1");
    view.appendPlainText("line 2");
    const QFont font(QStringLiteral("Monospace"), 13);
    view.setFont(font);
    QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));

    QSignalSpy saves(&view, &TextBrowser::signalSaveLog);
    QSignalSpy selections(&view, &TextBrowser::selectionChanged);
    QScopedPointer<QMenu> menu(view.createContextMenu());
    entry(menu.data(), entryText)->trigger();

    QTEST(view.toPlainText(), "textAfter");
    QTEST(saves.count(), "saveRequests");
    QCOMPARE(view.font().toString(), font.toString());
    if (wholeSelected) {
        QCOMPARE(view.selectedText(), view.toPlainText());
        QVERIFY(selections.count() > 0);
    } else {
        QVERIFY(!view.hasSelection());
    }
}

void tst_Widgets::appendPlainTextIsLiteral_data()
{
    QTest::addColumn<QString>("text");

    row("bold tag", "<b>x</b>");
    row("image tag", "<img src=\"missing.png\">");
    row("entity", "&lt;");
    row("whole document", "<html><body><p>hi</p></body></html>");
    row("line break tag", "a<br>b");
    row("plain text", "[12:00:00.000]RX←◆41 0D 0A ");
}

void tst_Widgets::appendPlainTextIsLiteral()
{
    QFETCH(QString, text);

    TextBrowser view;
    view.appendPlainText(text);
    QCOMPARE(view.toPlainText(), text);
    QCOMPARE(view.lineCount(), 1);
    QVERIFY(view.lineFormats(0).isEmpty());

    // A second line goes into a block of its own, like append().
    view.appendPlainText(text);
    QCOMPARE(view.toPlainText(), text + '\n' + text);
    QCOMPARE(view.lineCount(), 2);
}

void tst_Widgets::appendPlainTextFollowsTheEnd()
{
    TextBrowser view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QScrollBar* bar = view.verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        view.appendPlainText(QStringLiteral("line %1").arg(i));
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    // A user who scrolled up to read is not pulled back down.
    bar->setValue(0);
    for (int i = 0; i < 20; ++i)
        view.appendPlainText(QStringLiteral("more %1").arg(i));
    QCOMPARE(bar->value(), 0);

    // Back at the end, the view follows again.
    bar->setValue(bar->maximum());
    const int before = bar->maximum();
    view.appendPlainText(QStringLiteral("last"));
    QVERIFY(bar->maximum() > before);
    QCOMPARE(bar->value(), bar->maximum());
}

using ViewAction = std::function<void(TextBrowser&)>;
Q_DECLARE_METATYPE(ViewAction)

namespace {

// A view the user looks at: three lines, shown, the mouse aimed at positions of its text.
struct ShownView {
    TextBrowser view;
    ShownView()
    {
        view.appendPlainText("alpha beta_1 gamma\nsecond line\nthird");
        view.resize(400, 200);
        view.show();
        exposed = QTest::qWaitForWindowExposed(&view);
    }
    bool exposed = false;
};

QPoint at(TextBrowser& view, qint64 position) { return view.positionRect(position).center(); }

void drag(TextBrowser& view, qint64 to)
{
    QMouseEvent move(QEvent::MouseMove, at(view, to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(view, to));
}

} // namespace

void tst_Widgets::mouseSelection_data()
{
    QTest::addColumn<ViewAction>("act");
    QTest::addColumn<QString>("selected");
    const auto vp = [](TextBrowser& v) { return v.viewport(); };
    row("drag", ViewAction([=](TextBrowser& v) {
        QTest::mousePress(vp(v), Qt::LeftButton, {}, at(v, 6));
        drag(v, 25);
    }),
        "beta_1 gamma\nsecond");
    row("double click takes a word", ViewAction([=](TextBrowser& v) {
        QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8));
    }),
        "beta_1");
    row("double click, then drag by words", ViewAction([=](TextBrowser& v) {
        QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8));
        drag(v, 21);
    }),
        "beta_1 gamma\nsecond");
    row("triple click takes the line", ViewAction([=](TextBrowser& v) {
        QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8));
        QTest::mousePress(vp(v), Qt::LeftButton, {}, at(v, 8));
    }),
        "alpha beta_1 gamma\n");
    row("shift click extends", ViewAction([=](TextBrowser& v) {
        QTest::mouseClick(vp(v), Qt::LeftButton, {}, at(v, 0));
        QTest::mouseClick(vp(v), Qt::LeftButton, Qt::ShiftModifier, at(v, 5));
    }),
        "alpha");
    for (Qt::MouseButton button : { Qt::RightButton, Qt::MiddleButton })
        row(button == Qt::RightButton ? "right button" : "middle button",
            ViewAction([=](TextBrowser& v) {
                v.setSelection(0, 5);
                QTest::mouseClick(vp(v), button, {}, at(v, 8));
                QTest::mouseDClick(vp(v), button, {}, at(v, 8));
            }),
            "alpha");
}

void tst_Widgets::mouseSelection()
{
    QFETCH(ViewAction, act);
    ShownView shown;
    QVERIFY(shown.exposed);
    QSignalSpy changes(&shown.view, &TextBrowser::selectionChanged);
    act(shown.view);
    QTEST(shown.view.selectedText(), "selected");
    QVERIFY(!changes.isEmpty());
}

void tst_Widgets::keysScrollSelectAndCopy()
{
    TextBrowser view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // An empty view takes clicks, keys and a screen reader's questions like any other.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    int start = -1, end = -1;
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    QCOMPARE(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end), QString());
    QCOMPARE(text->textAtOffset(0, QAccessible::WordBoundary, &start, &end), QString());
    QVERIFY(!view.hasSelection());
    for (int i = 0; i < 200; ++i)
        view.appendPlainText(QStringLiteral("line %1").arg(i));
    QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(view.followsEnd());
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(view.firstVisibleLine(), qint64(0));
    QVERIFY(!view.followsEnd());
    // A page keeps its last row in sight.
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.firstVisibleLine(), qint64(bar->pageStep()));
    // New lines leave a view being read where it is.
    view.appendPlainText("more");
    QCOMPARE(view.firstVisibleLine(), qint64(bar->pageStep()));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(view.followsEnd());
    QCOMPARE(view.lastVisibleLine(), qint64(200));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), view.toPlainText());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), view.toPlainText());
}

void tst_Widgets::longLinesWrapAtTheWidth()
{
    TextBrowser view;
    QString words;
    for (int i = 0; i < 60; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    view.appendPlainText(words);
    view.appendPlainText("next");
    view.resize(300, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int rows = view.positionRect(words.size() - 1).y() - view.positionRect(0).y();
    QVERIFY(rows > 3 * view.fontMetrics().height());
    // Every row of the line fits the view, and a narrower view wraps it into more rows.
    QVERIFY(view.positionRect(words.size() - 1).x() < view.viewport()->width());
    QVERIFY(view.positionRect(words.indexOf("word10")).x() < 10);
    view.resize(200, 400);
    QTRY_VERIFY(view.positionRect(words.size() - 1).y() - view.positionRect(0).y() > rows);
    QCOMPARE(view.lineCount(), qint64(2));

    // A line taller than the view is read row by row: scrolled down from the top with the
    // wheel, every part of it comes into sight.
    view.resize(200, 60);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    qint64 seenUpTo = 0;
    for (int i = 0; i < 200 && !view.followsEnd(); ++i) {
        const qint64 from = view.positionAt(QPoint(0, 0));
        QVERIFY2(from <= seenUpTo, qPrintable(QString("%1 > %2").arg(from).arg(seenUpTo)));
        seenUpTo = qMax(seenUpTo, view.positionAt(QPoint(199, 59)));
        QWheelEvent wheel(QPointF(50, 30), view.mapToGlobal(QPoint(50, 30)), QPoint(),
            QPoint(0, -40), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
    }
    QVERIFY(view.followsEnd());
    QVERIFY(seenUpTo >= words.size() - 8);
}

void tst_Widgets::accessibleTextIsTheStore()
{
    TextBrowser view;
    view.appendPlainText("RX←◆one\nTX→◇two");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(a && a->textInterface());
    QAccessibleTextInterface* text = a->textInterface();
    QVERIFY(a->state().readOnly && a->state().multiLine);
    QCOMPARE(text->text(0, text->characterCount()), QString("RX←◆one\nTX→◇two"));
    int start = 0, end = 0;
    QCOMPARE(text->textAtOffset(9, QAccessible::LineBoundary, &start, &end), QString("TX→◇two"));
    QCOMPARE(text->textAtOffset(5, QAccessible::WordBoundary, &start, &end), QString("one"));
    text->setSelection(0, 4, 7);
    QCOMPARE(view.selectedText(), QString("one"));
    text->selection(0, &start, &end);
    QCOMPARE(start, 4);
    QCOMPARE(end, 7);
    // Lines shown later are read like the first ones (the events announcing them need an
    // active accessibility bridge, which the offscreen platform does not have).
    view.appendPlainText("three");
    QCOMPARE(text->characterCount(), int(view.characterCount()));
    QCOMPARE(text->textAfterOffset(9, QAccessible::LineBoundary, &start, &end), QString("three"));
}

void tst_Widgets::fontChooser_data()
{
    QTest::addColumn<bool>("accept");

    row("cancelled", false);
    row("accepted", true);
}

void tst_Widgets::fontChooser()
{
    QFETCH(bool, accept);

    TextBrowser view;
    const QFont start(QStringLiteral("Sans Serif"), 10);
    view.setFont(start);
    const QFont chosen(QStringLiteral("Monospace"), 17);

    QFont offered;
    int calls = 0;
    TextBrowser::setFontChooser([&](bool* ok, const QFont& initial) {
        ++calls;
        offered = initial;
        *ok = accept;
        return accept ? chosen : QFont(QStringLiteral("Serif"), 30);
    });

    QScopedPointer<QMenu> menu(view.createContextMenu());
    entry(menu.data(), "字体")->trigger();

    QCOMPARE(calls, 1);
    QCOMPARE(offered.toString(), start.toString());
    QCOMPARE(view.font().toString(), (accept ? chosen : start).toString());
}

// --- personal settings -------------------------------------------------------------------------

void tst_Widgets::settingsDefaults()
{
    QWidget parent;
    ExtraSettingDialog dialog(&parent);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillon - 个性设置"));
    QCOMPARE(dialog.wrapMode(), 0);
    QCOMPARE(dialog.frameTimeInterval(), 10);
    QVERIFY(dialog.frontDelimiter().isEmpty());
    QVERIFY(dialog.backDelimiter().isEmpty());
    QVERIFY(!dialog.delimiterPresent(QByteArray("\r\n")));
    QVERIFY(!dialog.isMinTray());

    for (const char* name : { "frontWrapRadioButton", "frontWrapLineEdit", "backWrapRadioButton",
             "backWrapLineEdit" }) {
        QWidget* widget = dialog.findChild<QWidget*>(name);
        QVERIFY2(widget, name);
        QVERIFY2(!widget->isEnabled(), name);
    }
    QVERIFY(dialog.findChild<QRadioButton*>("wrapRadioButton")->isChecked());
    QVERIFY(dialog.findChild<QRadioButton*>("timeWrapRadioButton")->isEnabled());
    QVERIFY(!dialog.findChild<QRadioButton*>("quitRadioButton")->isChecked());
    QVERIFY(!dialog.findChild<QRadioButton*>("minTrayRadioButton")->isChecked());
    QVERIFY(!dialog.findChild<QCheckBox*>("windowTopCheckBox")->isChecked());
    QVERIFY(dialog.findChild<QCheckBox*>("autoUpdateCheckBox")->isChecked());
    QVERIFY(!dialog.findChild<QCheckBox*>("debugLogCheckBox")->isChecked());

    const QSpinBox* interval = dialog.findChild<QSpinBox*>("timeWrapSpinBox");
    QCOMPARE(interval->minimum(), 10);
    QCOMPARE(interval->maximum(), 10000);
    QCOMPARE(interval->singleStep(), 5);
    QCOMPARE(dialog.findChild<QLineEdit*>("frontWrapLineEdit")->inputMask(),
        QStringLiteral("HH HH HH HH HH HH HH HH HH HH"));
}

void tst_Widgets::wrapModeByRadioButton_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("delimitersEnabled");
    QTest::addColumn<int>("mode");

    row("frame time", QStringList { "timeWrapRadioButton" }, false, 1);
    row("front delimiter", QStringList { "frontWrapRadioButton" }, true, 2);
    row("back delimiter", QStringList { "backWrapRadioButton" }, true, 3);
    row("back to newline", QStringList { "backWrapRadioButton", "wrapRadioButton" }, true, 0);
    row("front while hex display is off", QStringList { "frontWrapRadioButton" }, false, 0);
    row("same button twice", QStringList { "timeWrapRadioButton", "timeWrapRadioButton" }, false,
        1);
}

void tst_Widgets::wrapModeByRadioButton()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, delimitersEnabled);

    QWidget parent;
    ExtraSettingDialog dialog(&parent);
    dialog.setDelimiterWrapEnabled(delimitersEnabled);
    for (const QString& name : clicks)
        dialog.findChild<QRadioButton*>(name)->click();
    QTEST(dialog.wrapMode(), "mode");
}

void tst_Widgets::delimiterRowsKeepMode()
{
    QWidget parent;
    ExtraSettingDialog dialog(&parent);
    chooseWrapMode(dialog, "backWrapRadioButton");
    QCOMPARE(dialog.wrapMode(), 3);

    // Hex display switched off: rows disabled, the chosen mode stays in force.
    dialog.setDelimiterWrapEnabled(false);
    auto* back = dialog.findChild<QRadioButton*>("backWrapRadioButton");
    QCOMPARE(dialog.wrapMode(), 3);
    QVERIFY(back->isChecked());
    QVERIFY(!back->isEnabled());
    QVERIFY(!dialog.findChild<QLineEdit*>("backWrapLineEdit")->isEnabled());

    dialog.setDelimiterWrapEnabled(true);
    QVERIFY(back->isEnabled());
    QVERIFY(dialog.findChild<QLineEdit*>("frontWrapLineEdit")->isEnabled());
    QCOMPARE(dialog.wrapMode(), 3);
}

void tst_Widgets::typedDelimiter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");

    row("CR LF with blank", "0D 0A", QByteArray("\x0D\x0A"));
    row("CR LF without blank", "0D0A", QByteArray("\x0D\x0A"));
    row("lower case", "0d0a", QByteArray("\x0D\x0A"));
    row("nothing typed", "", QByteArray());
    row("non-hex refused by the mask", "zz", QByteArray());
    row("ten bytes, the mask holds no more", "0102030405060708090A0B",
        QByteArray::fromHex("0102030405060708090A"));
}

void tst_Widgets::typedDelimiter()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);

    QWidget parent;
    ExtraSettingDialog dialog(&parent);
    dialog.setDelimiterWrapEnabled(true);
    auto* front = dialog.findChild<QLineEdit*>("frontWrapLineEdit");
    auto* back = dialog.findChild<QLineEdit*>("backWrapLineEdit");
    QTest::keyClicks(front, typed);
    QTest::keyClicks(back, typed);

    QCOMPARE(dialog.frontDelimiter(), bytes);
    QCOMPARE(dialog.backDelimiter(), bytes);
}

void tst_Widgets::delimiterPresent_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("front");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");

    const QByteArray crlf("\x0D\x0A");
    row("front, whole bytes", "frontWrapRadioButton", "0D 0A", "", crlf, true);
    row("front, across a byte boundary", "frontWrapRadioButton", "d0", "", crlf, true);
    row("back pattern", "backWrapRadioButton", "", "0A", crlf, true);
    row("back mode ignores the front field", "backWrapRadioButton", "0D", "", crlf, false);
    row("front mode ignores the back field", "frontWrapRadioButton", "", "0A", crlf, false);
    row("newline mode", "wrapRadioButton", "0D", "0A", crlf, false);
    row("frame time mode", "timeWrapRadioButton", "0D", "0A", crlf, false);
    row("no pending bytes", "frontWrapRadioButton", "0D", "", QByteArray(), false);
    row("absent", "frontWrapRadioButton", "FF", "", crlf, false);
}

void tst_Widgets::delimiterPresent()
{
    QFETCH(QString, button);
    QFETCH(QString, front);
    QFETCH(QString, back);
    QFETCH(QByteArray, bytes);

    QWidget parent;
    ExtraSettingDialog dialog(&parent);
    dialog.setDelimiterWrapEnabled(true);
    QTest::keyClicks(dialog.findChild<QLineEdit*>("frontWrapLineEdit"), front);
    QTest::keyClicks(dialog.findChild<QLineEdit*>("backWrapLineEdit"), back);
    chooseWrapMode(dialog, button);

    QTEST(dialog.delimiterPresent(bytes), "present");
}

void tst_Widgets::setMinTray_data()
{
    QTest::addColumn<QList<bool>>("calls");
    QTest::addColumn<bool>("minTray");
    QTest::addColumn<QList<bool>>("toggles");

    // Checking a radio button toggles it once; the hand-over then emits toggled once more.
    row("start-up, tray", QList<bool> { true }, true, QList<bool> { true, true });
    row("start-up, quit", QList<bool> { false }, false, QList<bool> { false });
    row("tray, then quit", QList<bool> { true, false }, false,
        QList<bool> { true, true, false, false });
    row("tray twice", QList<bool> { true, true }, true, QList<bool> { true, true, true });
}

void tst_Widgets::setMinTray()
{
    QFETCH(QList<bool>, calls);
    QFETCH(bool, minTray);

    QWidget parent;
    ExtraSettingDialog dialog(&parent);
    auto* tray = dialog.findChild<QRadioButton*>("minTrayRadioButton");
    auto* quit = dialog.findChild<QRadioButton*>("quitRadioButton");
    QSignalSpy spy(tray, &QRadioButton::toggled);

    for (bool call : calls)
        dialog.setMinTray(call);

    QCOMPARE(dialog.isMinTray(), minTray);
    QCOMPARE(tray->isChecked(), minTray);
    QCOMPARE(quit->isChecked(), !minTray);
    QList<bool> seen;
    for (const QList<QVariant>& args : spy)
        seen << args.at(0).toBool();
    QTEST(seen, "toggles");
}

// --- main-window form --------------------------------------------------------------------------

void tst_Widgets::formComboItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("current");

    row("baud rates", "burdrateComboBox",
        QStringList { "110 bps", "300 bps", "600 bps", "1200 bps", "2400 bps", "4800 bps",
            "9600 bps", "19200 bps", "38400 bps", "57600 bps", "115200 bps", "230400 bps",
            "460800 bps", "921600 bps", "1000000 bps", "1500000 bps", "2000000 bps" },
        0);
    row("data bits", "dataBitsComboBox", QStringList { "5 bit", "6 bit", "7 bit", "8 bit" }, 3);
    row("parity", "checksumComboBox", QStringList { "None", "Odd", "Even", "Mark", "Space" }, 0);
    row("stop bits", "stopBitsComboBox", QStringList { "1 bit", "1.5 bit", "2 bit" }, 0);
    row("ports, filled by the scan", "serialNumComboBox", QStringList(), -1);
}

void tst_Widgets::formComboItems()
{
    QFETCH(QString, name);

    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    auto* combo = window.findChild<QComboBox*>(name);
    QVERIFY(combo);
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    QTEST(texts, "items");
    QTEST(combo->currentIndex(), "current");
}

void tst_Widgets::formActions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QKeySequence>("shortcut");

    row("operator", "actionOperator", "操作隐藏(&H)", "操作隐藏", QKeySequence("Ctrl+H"));
    row("extra setting", "actionExtraSetting", "个性设置(&X)", "个性设置", QKeySequence("Ctrl+X"));
    row("log shared", "actionLogShared", "日志共享(&D)", "日志共享", QKeySequence("Ctrl+D"));
    row("log filter", "actionLogFilter", "日志过滤(&B)", "日志过滤", QKeySequence("Ctrl+B"));
    row("update log", "actionUpdateLog", "更新记录(&I)", "更新记录", QKeySequence("Ctrl+I"));
    row("welcome", "actionWelcome", "欢迎打赏(&J)", "欢迎打赏", QKeySequence("Ctrl+J"));
    row("technical support", "actionTechnicalSupport", "技术支持", "技术支持", QKeySequence());
    row("newest version", "actionDownLastVersion", "下载最新版", "下载最新版", QKeySequence());
    row("web server", "actionOrvWeb", "OrvWeb服务器(&W)", "OrvWeb服务器", QKeySequence("Ctrl+W"));
}

void tst_Widgets::formActions()
{
    QFETCH(QString, name);

    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    auto* action = window.findChild<QAction*>(name);
    QVERIFY(action);
    QTEST(action->text(), "text");
    QTEST(action->toolTip(), "toolTip");
    QTEST(action->shortcut(), "shortcut");
}

void tst_Widgets::formToolBarAndMenus()
{
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);

    const auto names = [](const QList<QAction*>& actions) {
        QStringList list;
        for (QAction* action : actions)
            list << (action->isSeparator() ? QStringLiteral("--") : action->objectName());
        return list;
    };
    QCOMPARE(names(ui.toolBar->actions()),
        QStringList({ "actionOperator", "--", "actionExtraSetting", "--", "actionLogShared",
            "actionLogFilter", "--", "actionWelcome", "--" }));
    QCOMPARE(ui.toolBar->windowTitle(), QStringLiteral("toolBar"));
    QCOMPARE(window.toolBarArea(ui.toolBar), Qt::TopToolBarArea);
    QCOMPARE(names(ui.functionSetMenu->actions()),
        QStringList({ "actionOperator", "actionExtraSetting", "actionLogShared", "actionLogFilter",
            "actionUpdateLog" }));
    QCOMPARE(names(ui.supportMenu->actions()),
        QStringList({ "actionTechnicalSupport", "actionDownLastVersion" }));
    QVERIFY(ui.styleMenu->actions().isEmpty());

    QStringList titles;
    for (QAction* action : ui.menubar->actions())
        titles << action->text();
    QCOMPARE(titles, QStringList({ "窗口风格", "功能设置", "支持" }));

    // Placed nowhere, so its shortcut can never fire.
    QVERIFY(ui.actionOrvWeb->associatedWidgets().isEmpty());

    QCOMPARE(window.size(), QSize(1034, 706));
    QCOMPARE(ui.recvAreaGroupBox->title(), QStringLiteral("接收区 - 来源串口"));
    QCOMPARE(ui.recvShowText->parentWidget(), ui.recvAreaGroupBox);
    QCOMPARE(ui.maxRowsSpinBox->maximum(), 10000000);
    QCOMPARE(ui.maxRowsSpinBox->singleStep(), 100);
    QCOMPARE(ui.maxRowsSpinBox->value(), 100000);
    QCOMPARE(ui.timeAutoSpinBox->maximum(), 300000);
    QCOMPARE(ui.timeAutoSpinBox->singleStep(), 1000);
    QCOMPARE(ui.timeAutoSpinBox->value(), 1000);
    QVERIFY(ui.showTimeCheckBox->isChecked());
    QVERIFY(!ui.addLFCheckBox->isChecked());
    QCOMPARE(ui.label_7->text(), QStringLiteral("   超过"));
    QCOMPARE(ui.sendDataButton->minimumHeight(), 23);
    QCOMPARE(ui.fileProgressBar->maximum(), 5000);
}

// --- secondary windows -------------------------------------------------------------------------

void tst_Widgets::dialogTitles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");

    row("WelcomeDialog", "Quillon - 欢迎打赏", QSize());
    row("KeyHighlightDialog", "Quillon - 关键词高亮", QSize(400, 505));
    row("LogFilterDialog", "Quillon - 日志过滤", QSize(849, 546));
    row("AdditionFunction", "Quillon - 附加功能", QSize(649, 404));
    row("AdvancedSend", "Quillon - 高级发送", QSize(420, 434));
    row("LogSharedDialog", "Quillon - 日志共享功能", QSize(483, 159));
    row("ExtraSettingDialog", "Quillon - 个性设置", QSize(481, 267));
}

void tst_Widgets::dialogTitles()
{
    QFETCH(QSize, size);

    QTemporaryDir dir;
    QSettings settings(dir.filePath("Settings.ini"), QSettings::IniFormat);
    QWidget parent;
    const QByteArray kind = QTest::currentDataTag();
    QScopedPointer<QDialog> dialog;
    if (kind == "WelcomeDialog")
        dialog.reset(new WelcomeDialog(&parent));
    else if (kind == "KeyHighlightDialog")
        dialog.reset(new KeyHighlightDialog(&settings, &parent));
    else if (kind == "LogFilterDialog")
        dialog.reset(new LogFilterDialog(&parent));
    else if (kind == "AdditionFunction")
        dialog.reset(new AdditionFunction(&parent));
    else if (kind == "AdvancedSend")
        dialog.reset(new AdvancedSend(&parent));
    else if (kind == "LogSharedDialog")
        dialog.reset(new LogSharedDialog(&parent));
    else
        dialog.reset(new ExtraSettingDialog(&parent));

    QTEST(dialog->windowTitle(), "title");
    QCOMPARE(dialog->parentWidget(), &parent);
    QVERIFY(!dialog->isVisible());
    if (size.isValid())
        QCOMPARE(dialog->size(), size);
}

void tst_Widgets::shellInterfaces()
{
    QWidget parent;

    WelcomeDialog welcome(&parent);
    const auto* image = welcome.findChild<QLabel*>("imageLabel");
    QVERIFY(image);
    QVERIFY(!image->pixmap(Qt::ReturnByValue).isNull());

    LogSharedDialog shared(&parent);
    QCOMPARE(shared.shareMode(), 0);
    QVERIFY(shared.sourceName().isEmpty());
    QCOMPARE(shared.toAddressText(), QStringLiteral("192.168.1.100"));
    shared.setToAddressText(QStringLiteral("10.0.0.7"));
    QCOMPARE(shared.toAddressText(), QStringLiteral("10.0.0.7"));

    AdditionFunction addition(&parent);
    QVERIFY(!addition.isMcuUpgradeChecked());
    addition.setMcuUpgradeChecked(true);
    QVERIFY(addition.isMcuUpgradeChecked());
    QByteArray type;
    QByteArray key;
    addition.mcuUpgradeParams(type, key);
    QCOMPARE(type, QByteArray("2"));
    QCOMPARE(key, QByteArray("PLUMB24680QRSTU1357908642VWXYZ97531DEFGH"));
    QCOMPARE(addition.findChild<QLineEdit*>("mcuKeyLineEdit")->echoMode(),
        QLineEdit::PasswordEchoOnEdit);
    addition.findChild<QComboBox*>("typeUpgradeComboBox")->setCurrentIndex(4);
    addition.mcuUpgradeParams(type, key);
    QCOMPARE(type, QByteArray("5"));

    AdvancedSend advanced(&parent);
    QVERIFY(!advanced.findChild<QWidget*>("sendButton")->isEnabled());
}

QTEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
