// The receive view, personal settings, the main-window form and the secondary windows' shells.
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "shell/welcomedialog.h"
#include "testdata.h"
#include "tools/additionfunction.h"
#include "tools/advancedsend.h"
#include "ui_mainwindow.h"
#include "views/keyhighlightdialog.h"
#include "views/logfilterdialog.h"
#include "views/textbrowser.h"

#include <QtTest>
#include <QtWidgets>

using ViewAction = std::function<void(TextBrowser&)>;
Q_DECLARE_METATYPE(ViewAction)

using DialogMaker = std::function<QDialog*(QWidget* parent, QSettings* settings)>;
Q_DECLARE_METATYPE(DialogMaker)

namespace {

// Shows the view at the size and waits until it is on screen.
bool show(TextBrowser& view, int width, int height)
{
    view.resize(width, height);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
}

void appendLines(TextBrowser& view, const char* pattern, int count)
{
    for (int i = 0; i < count; ++i)
        view.appendPlainText(QString(pattern).arg(i));
}

QPoint at(TextBrowser& view, qint64 position) { return view.positionRect(position).center(); }

void drag(TextBrowser& view, qint64 to)
{
    QMouseEvent move(QEvent::MouseMove, at(view, to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(view, to));
}

template <typename Dialog> DialogMaker make()
{
    return [](QWidget* parent, QSettings* settings) -> QDialog* {
        if constexpr (std::is_constructible_v<Dialog, QSettings*, QWidget*>)
            return new Dialog(settings, parent);
        else
            return new Dialog(parent);
    };
}

} // namespace

class tst_Widgets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }
    void cleanup() { TextBrowser::setFontChooser(nullptr); }

    // --- receive view ---------------------------------------------------------------------------

    void menuEntries()
    {
        TextBrowser view;
        QScopedPointer<QMenu> menu(view.createContextMenu());
        QCOMPARE(menu->parent(), &view);
        QCOMPARE(entries(menu->actions()),
            QStringList(
                { "复制(&C)", "粘贴(&P)", "--", "字体", "清空", "保存数据", "--", "全选" }));
        QList<QKeySequence> keys;
        for (QAction* action : menu->actions())
            keys << action->shortcut();
        QCOMPARE(keys,
            QList<QKeySequence>({ QKeySequence::Copy, QKeySequence::Paste, {}, {}, {}, {}, {},
                QKeySequence::SelectAll }));
        // The shortcuts belong to the menu only: the view keeps no actions of its own.
        QVERIFY(view.actions().isEmpty());
    }

    void menuEnabledStates_data()
    {
        const auto add = columns<QString, bool, QStringList>("text", "select", "enabled");
        const QStringList always = { "粘贴(&P)", "字体" };
        const QStringList withText = always + QStringList { "清空", "保存数据", "全选" };
        add("empty view", QString(), false, always);
        add("text, no selection", "RX line", false, withText);
        add("text, selection", "RX line", true, QStringList("复制(&C)") + withText);
        add("single blank line", " ", false, withText);
    }

    void menuEnabledStates()
    {
        QFETCH(QString, text);
        QFETCH(bool, select);

        TextBrowser view;
        if (!text.isNull())
            view.appendPlainText(text);
        if (select)
            view.setSelection(0, 2);
        QScopedPointer<QMenu> menu(view.createContextMenu());
        QTEST(entries(menu->actions(), true), "enabled");
    }

    void menuActions_data()
    {
        const auto add = columns<QString, QString, int, QString>(
            "entryText", "textAfter", "saveRequests", "selected");
        const QString text = QStringLiteral("line 1\nline 2");
        add("clear empties the view only", "清空", QString(), 0, QString());
        add("save asks the window", "保存数据", text, 1, QString());
        add("select all", "全选", text, 0, text);
        add("paste into read-only view", "粘贴(&P)", text, 0, QString());
    }

    void menuActions()
    {
        QFETCH(QString, entryText);
        QFETCH(QString, selected);

        TextBrowser view;
        view.appendPlainText("line 1");
        view.appendPlainText("line 2");
        const QFont font(QStringLiteral("Monospace"), 13);
        view.setFont(font);
        QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));
        QSignalSpy saves(&view, &TextBrowser::signalSaveLog);
        QSignalSpy selections(&view, &TextBrowser::selectionChanged);
        QVERIFY(trigger(view, entryText));

        QTEST(view.toPlainText(), "textAfter");
        QTEST(saves.count(), "saveRequests");
        QCOMPARE(view.font().toString(), font.toString());
        QCOMPARE(view.selectedText(), selected);
        QCOMPARE(view.hasSelection(), !selected.isEmpty());
        if (!selected.isEmpty())
            QVERIFY(selections.count() > 0);
    }

    void appendPlainTextIsLiteral_data()
    {
        const auto add = columns<QString>("text");
        add("bold tag", "<b>x</b>");
        add("image tag", "<img src=\"missing.png\">");
        add("entity", "&lt;");
        add("whole document", "<html><body><p>hi</p></body></html>");
        add("line break tag", "a<br>b");
        add("plain text", "[12:00:00.000]RX←◆41 0D 0A ");
    }

    void appendPlainTextIsLiteral()
    {
        QFETCH(QString, text);

        TextBrowser view;
        view.appendPlainText(text);
        QCOMPARE(view.toPlainText(), text);
        QVERIFY(view.lineCount() == 1 && view.lineFormats(0).isEmpty());
        // A second line goes into a block of its own, like append().
        view.appendPlainText(text);
        QCOMPARE(view.toPlainText(), text + '\n' + text);
        QCOMPARE(view.lineCount(), 2);
    }

    void appendPlainTextFollowsTheEnd()
    {
        TextBrowser view;
        QVERIFY(show(view, 300, 200));
        QScrollBar* bar = view.verticalScrollBar();
        appendLines(view, "line %1", 200);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        // A user who scrolled up to read is not pulled back down.
        bar->setValue(0);
        appendLines(view, "more %1", 20);
        QCOMPARE(bar->value(), 0);

        // Back at the end, the view follows again.
        bar->setValue(bar->maximum());
        const int before = bar->maximum();
        view.appendPlainText(QStringLiteral("last"));
        QVERIFY(bar->maximum() > before);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void mouseSelection_data()
    {
        const auto add = columns<QString, ViewAction>("selected", "act");
        const auto vp = [](TextBrowser& v) { return v.viewport(); };
        add("drag", "beta_1 gamma\nsecond", [=](TextBrowser& v) {
            QTest::mousePress(vp(v), Qt::LeftButton, {}, at(v, 6));
            drag(v, 25);
        });
        add("double click takes a word", "beta_1",
            [=](TextBrowser& v) { QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8)); });
        add("double click, then drag by words", "beta_1 gamma\nsecond", [=](TextBrowser& v) {
            QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8));
            drag(v, 21);
        });
        add("triple click takes the line", "alpha beta_1 gamma\n", [=](TextBrowser& v) {
            QTest::mouseDClick(vp(v), Qt::LeftButton, {}, at(v, 8));
            QTest::mousePress(vp(v), Qt::LeftButton, {}, at(v, 8));
        });
        add("shift click extends", "alpha", [=](TextBrowser& v) {
            QTest::mouseClick(vp(v), Qt::LeftButton, {}, at(v, 0));
            QTest::mouseClick(vp(v), Qt::LeftButton, Qt::ShiftModifier, at(v, 5));
        });
        for (Qt::MouseButton button : { Qt::RightButton, Qt::MiddleButton })
            add(button == Qt::RightButton ? "right button" : "middle button", "alpha",
                [=](TextBrowser& v) {
                    v.setSelection(0, 5);
                    QTest::mouseClick(vp(v), button, {}, at(v, 8));
                    QTest::mouseDClick(vp(v), button, {}, at(v, 8));
                });
    }

    // On a view the user looks at: three lines, the mouse aimed at positions of its text.
    void mouseSelection()
    {
        QFETCH(ViewAction, act);
        TextBrowser view;
        view.appendPlainText("alpha beta_1 gamma\nsecond line\nthird");
        QVERIFY(show(view, 400, 200));
        QSignalSpy changes(&view, &TextBrowser::selectionChanged);
        act(view);
        QTEST(view.selectedText(), "selected");
        QVERIFY(!changes.isEmpty());
    }

    void keysScrollSelectAndCopy()
    {
        TextBrowser view;
        QVERIFY(show(view, 300, 200));
        // An empty view takes clicks, keys and a screen reader's questions like any other.
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        int start = -1, end = -1;
        QAccessibleTextInterface* text
            = QAccessible::queryAccessibleInterface(&view)->textInterface();
        QCOMPARE(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end)
                + text->textAtOffset(0, QAccessible::WordBoundary, &start, &end),
            QString());
        QVERIFY(!view.hasSelection());
        appendLines(view, "line %1", 200);
        QScrollBar* bar = view.verticalScrollBar();
        QVERIFY(view.followsEnd());
        QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
        QVERIFY(bar->value() == 0 && view.firstVisibleLine() == 0 && !view.followsEnd());
        // A page keeps its last row in sight.
        QTest::keyClick(&view, Qt::Key_PageDown);
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.firstVisibleLine(), qint64(bar->pageStep()));
        // New lines leave a view being read where it is.
        view.appendPlainText("more");
        QCOMPARE(view.firstVisibleLine(), qint64(bar->pageStep()));
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(view.followsEnd() && view.lastVisibleLine() == 200);
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view.selectedText(), view.toPlainText());
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), view.toPlainText());
    }

    void longLinesWrapAtTheWidth()
    {
        TextBrowser view;
        QString words;
        for (int i = 0; i < 60; ++i)
            words += QStringLiteral("word%1 ").arg(i);
        view.appendPlainText(words);
        view.appendPlainText("next");
        QVERIFY(show(view, 300, 400));
        const auto height
            = [&] { return view.positionRect(words.size() - 1).y() - view.positionRect(0).y(); };
        const int rows = height();
        QVERIFY(rows > 3 * view.fontMetrics().height());
        // Every row of the line fits the view, and a narrower view wraps it into more rows.
        QVERIFY(view.positionRect(words.size() - 1).x() < view.viewport()->width());
        QVERIFY(view.positionRect(words.indexOf("word10")).x() < 10);
        view.resize(200, 400);
        QTRY_VERIFY(height() > rows);
        QCOMPARE(view.lineCount(), qint64(2));

        // A line taller than the view, wheeled down from its top, comes into sight row by row.
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
        QVERIFY(view.followsEnd() && seenUpTo >= words.size() - 8);
    }

    void accessibleTextIsTheStore()
    {
        TextBrowser view;
        view.appendPlainText("RX←◆one\nTX→◇two");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(a && a->textInterface());
        QAccessibleTextInterface* text = a->textInterface();
        QVERIFY(a->state().readOnly && a->state().multiLine);
        int start = 0, end = 0;
        QCOMPARE(QStringList({ text->text(0, text->characterCount()),
                     text->textAtOffset(9, QAccessible::LineBoundary, &start, &end),
                     text->textAtOffset(5, QAccessible::WordBoundary, &start, &end) }),
            QStringList({ "RX←◆one\nTX→◇two", "TX→◇two", "one" }));
        text->setSelection(0, 4, 7);
        QCOMPARE(view.selectedText(), QString("one"));
        text->selection(0, &start, &end);
        QCOMPARE(QList<int>({ start, end }), QList<int>({ 4, 7 }));
        // Later lines read like the first (announcing them needs a bridge offscreen lacks).
        view.appendPlainText("three");
        QCOMPARE(text->characterCount(), int(view.characterCount()));
        QCOMPARE(
            text->textAfterOffset(9, QAccessible::LineBoundary, &start, &end), QString("three"));
    }

    void fontChooser_data()
    {
        const auto add = columns<bool>("accept");
        add("cancelled", false);
        add("accepted", true);
    }

    void fontChooser()
    {
        QFETCH(bool, accept);

        TextBrowser view;
        const QFont start(QStringLiteral("Sans Serif"), 10);
        view.setFont(start);
        const QFont chosen(QStringLiteral("Monospace"), 17);
        QStringList offered;
        TextBrowser::setFontChooser([&](bool* ok, const QFont& initial) {
            offered << initial.toString();
            *ok = accept;
            return accept ? chosen : QFont(QStringLiteral("Serif"), 30);
        });
        QVERIFY(trigger(view, "字体"));
        QCOMPARE(offered, QStringList({ start.toString() }));
        QCOMPARE(view.font().toString(), (accept ? chosen : start).toString());
    }

    // --- personal settings -----------------------------------------------------------------------

    void settingsDefaults()
    {
        ExtraSettingDialog dialog(&top);

        const QSpinBox* interval = dialog.findChild<QSpinBox*>("timeWrapSpinBox");
        QCOMPARE(QList<int>({ dialog.wrapMode(), dialog.frameTimeInterval(), interval->minimum(),
                     interval->maximum(), interval->singleStep() }),
            QList<int>({ 0, 10, 10, 10000, 5 }));
        QVERIFY(dialog.frontDelimiter().isEmpty() && dialog.backDelimiter().isEmpty());
        QVERIFY(!dialog.delimiterPresent(QByteArray("\r\n")) && !dialog.isMinTray());
        QCOMPARE(states(dialog,
                     { "frontWrapRadioButton", "frontWrapLineEdit", "backWrapRadioButton",
                         "backWrapLineEdit", "wrapRadioButton", "timeWrapRadioButton",
                         "quitRadioButton", "minTrayRadioButton", "windowTopCheckBox",
                         "autoUpdateCheckBox", "debugLogCheckBox" }),
            QString("off/disabled disabled off/disabled disabled on off off off off on off"));
        QCOMPARE(dialog.findChild<QLineEdit*>("frontWrapLineEdit")->inputMask(),
            QStringLiteral("HH HH HH HH HH HH HH HH HH HH"));
    }

    void wrapModeByRadioButton_data()
    {
        const auto add = columns<QStringList, bool, int>("clicks", "delimitersEnabled", "mode");
        add("frame time", { "timeWrapRadioButton" }, false, 1);
        add("front delimiter", { "frontWrapRadioButton" }, true, 2);
        add("back delimiter", { "backWrapRadioButton" }, true, 3);
        add("back to newline", { "backWrapRadioButton", "wrapRadioButton" }, true, 0);
        add("front while hex display is off", { "frontWrapRadioButton" }, false, 0);
        add("same button twice", { "timeWrapRadioButton", "timeWrapRadioButton" }, false, 1);
    }

    void wrapModeByRadioButton()
    {
        QFETCH(QStringList, clicks);
        QFETCH(bool, delimitersEnabled);

        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(delimitersEnabled);
        for (const QString& name : clicks)
            dialog.findChild<QRadioButton*>(name)->click();
        QTEST(dialog.wrapMode(), "mode");
    }

    void delimiterRowsKeepMode()
    {
        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(true);
        dialog.findChild<QRadioButton*>("backWrapRadioButton")->click();
        QCOMPARE(dialog.wrapMode(), 3);
        const QStringList rows = { "backWrapRadioButton", "backWrapLineEdit", "frontWrapLineEdit" };

        // Hex display switched off: rows disabled, the chosen mode stays in force.
        dialog.setDelimiterWrapEnabled(false);
        QCOMPARE(dialog.wrapMode(), 3);
        QCOMPARE(states(dialog, rows), QString("on/disabled disabled disabled"));
        dialog.setDelimiterWrapEnabled(true);
        QCOMPARE(states(dialog, rows), QString("on enabled enabled"));
        QCOMPARE(dialog.wrapMode(), 3);
    }

    void typedDelimiter_data()
    {
        const auto add = columns<QString, QByteArray>("typed", "bytes");
        add("CR LF with blank", "0D 0A", QByteArray("\x0D\x0A"));
        add("CR LF without blank", "0D0A", QByteArray("\x0D\x0A"));
        add("lower case", "0d0a", QByteArray("\x0D\x0A"));
        add("nothing typed", "", QByteArray());
        add("non-hex refused by the mask", "zz", QByteArray());
        add("ten bytes, the mask holds no more", "0102030405060708090A0B",
            QByteArray::fromHex("0102030405060708090A"));
    }

    void typedDelimiter()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, bytes);

        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(true);
        for (const char* name : { "frontWrapLineEdit", "backWrapLineEdit" })
            QTest::keyClicks(dialog.findChild<QLineEdit*>(name), typed);
        QCOMPARE(QByteArrayList({ dialog.frontDelimiter(), dialog.backDelimiter() }),
            QByteArrayList({ bytes, bytes }));
    }

    void delimiterPresent_data()
    {
        const auto add = columns<QString, QString, QString, QByteArray, bool>(
            "button", "front", "back", "bytes", "present");
        const QByteArray crlf("\x0D\x0A");
        add("front, whole bytes", "frontWrapRadioButton", "0D 0A", "", crlf, true);
        add("front, across a byte boundary", "frontWrapRadioButton", "d0", "", crlf, true);
        add("back pattern", "backWrapRadioButton", "", "0A", crlf, true);
        add("back mode ignores the front field", "backWrapRadioButton", "0D", "", crlf, false);
        add("front mode ignores the back field", "frontWrapRadioButton", "", "0A", crlf, false);
        add("newline mode", "wrapRadioButton", "0D", "0A", crlf, false);
        add("frame time mode", "timeWrapRadioButton", "0D", "0A", crlf, false);
        add("no pending bytes", "frontWrapRadioButton", "0D", "", QByteArray(), false);
        add("absent", "frontWrapRadioButton", "FF", "", crlf, false);
    }

    void delimiterPresent()
    {
        QFETCH(QString, button);
        QFETCH(QString, front);
        QFETCH(QString, back);
        QFETCH(QByteArray, bytes);

        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(true);
        QTest::keyClicks(dialog.findChild<QLineEdit*>("frontWrapLineEdit"), front);
        QTest::keyClicks(dialog.findChild<QLineEdit*>("backWrapLineEdit"), back);
        dialog.findChild<QRadioButton*>(button)->click();

        QTEST(dialog.delimiterPresent(bytes), "present");
    }

    void setMinTray_data()
    {
        const auto add = columns<QList<bool>, bool, QList<bool>>("calls", "minTray", "toggles");
        // Checking a radio button toggles it once; the hand-over then emits toggled once more.
        add("start-up, tray", { true }, true, { true, true });
        add("start-up, quit", { false }, false, { false });
        add("tray, then quit", { true, false }, false, { true, true, false, false });
        add("tray twice", { true, true }, true, { true, true, true });
    }

    void setMinTray()
    {
        QFETCH(QList<bool>, calls);
        QFETCH(bool, minTray);

        ExtraSettingDialog dialog(&top);
        QSignalSpy spy(
            dialog.findChild<QRadioButton*>("minTrayRadioButton"), &QRadioButton::toggled);

        for (bool call : calls)
            dialog.setMinTray(call);

        QCOMPARE(dialog.isMinTray(), minTray);
        QCOMPARE(states(dialog, { "minTrayRadioButton", "quitRadioButton" }),
            QString(minTray ? "on off" : "off on"));
        QList<bool> seen;
        for (const QList<QVariant>& args : spy)
            seen << args.at(0).toBool();
        QTEST(seen, "toggles");
    }

    // --- main-window form ------------------------------------------------------------------------

    void formComboItems_data()
    {
        const auto add = columns<QString, QStringList, int>("name", "items", "current");
        add("baud rates", "burdrateComboBox",
            { "110 bps", "300 bps", "600 bps", "1200 bps", "2400 bps", "4800 bps", "9600 bps",
                "19200 bps", "38400 bps", "57600 bps", "115200 bps", "230400 bps", "460800 bps",
                "921600 bps", "1000000 bps", "1500000 bps", "2000000 bps" },
            0);
        add("data bits", "dataBitsComboBox", { "5 bit", "6 bit", "7 bit", "8 bit" }, 3);
        add("parity", "checksumComboBox", { "None", "Odd", "Even", "Mark", "Space" }, 0);
        add("stop bits", "stopBitsComboBox", { "1 bit", "1.5 bit", "2 bit" }, 0);
        add("ports, filled by the scan", "serialNumComboBox", QStringList(), -1);
    }

    void formComboItems()
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

    void formActions_data()
    {
        // The action as "text | tool tip | shortcut".
        const auto add = columns<QString, QString>("name", "action");
        add("operator", "actionOperator", "操作隐藏(&H) | 操作隐藏 | Ctrl+H");
        add("extra setting", "actionExtraSetting", "个性设置(&X) | 个性设置 | Ctrl+X");
        add("log shared", "actionLogShared", "日志共享(&D) | 日志共享 | Ctrl+D");
        add("log filter", "actionLogFilter", "日志过滤(&B) | 日志过滤 | Ctrl+B");
        add("update log", "actionUpdateLog", "更新记录(&I) | 更新记录 | Ctrl+I");
        add("welcome", "actionWelcome", "欢迎打赏(&J) | 欢迎打赏 | Ctrl+J");
        add("technical support", "actionTechnicalSupport", "技术支持 | 技术支持 | ");
        add("newest version", "actionDownLastVersion", "下载最新版 | 下载最新版 | ");
        add("web server", "actionOrvWeb", "OrvWeb服务器(&W) | OrvWeb服务器 | Ctrl+W");
    }

    void formActions()
    {
        QFETCH(QString, name);

        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        auto* action = window.findChild<QAction*>(name);
        QVERIFY(action);
        QTEST(QStringList({ action->text(), action->toolTip(),
                              action->shortcut().toString(QKeySequence::PortableText) })
                  .join(" | "),
            "action");
    }

    void formToolBarAndMenus()
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
            QStringList({ "actionOperator", "actionExtraSetting", "actionLogShared",
                "actionLogFilter", "actionUpdateLog" }));
        QCOMPARE(names(ui.supportMenu->actions()),
            QStringList({ "actionTechnicalSupport", "actionDownLastVersion" }));
        QVERIFY(ui.styleMenu->actions().isEmpty());

        QCOMPARE(entries(ui.menubar->actions()), QStringList({ "窗口风格", "功能设置", "支持" }));

        // Placed nowhere, so its shortcut can never fire.
        QVERIFY(ui.actionOrvWeb->associatedWidgets().isEmpty());

        QCOMPARE(window.size(), QSize(1034, 706));
        QCOMPARE(ui.recvAreaGroupBox->title(), QStringLiteral("接收区 - 来源串口"));
        QCOMPARE(ui.recvShowText->parentWidget(), ui.recvAreaGroupBox);
        const auto spin = [](const QSpinBox* box) {
            return QList<int>({ box->maximum(), box->singleStep(), box->value() });
        };
        QCOMPARE(spin(ui.maxRowsSpinBox), QList<int>({ 10000000, 100, 100000 }));
        QCOMPARE(spin(ui.timeAutoSpinBox), QList<int>({ 300000, 1000, 1000 }));
        QVERIFY(ui.showTimeCheckBox->isChecked() && !ui.addLFCheckBox->isChecked());
        QCOMPARE(ui.label_7->text(), QStringLiteral("   超过"));
        QCOMPARE(ui.sendDataButton->minimumHeight(), 23);
        QCOMPARE(ui.fileProgressBar->maximum(), 5000);
    }

    // --- secondary windows -----------------------------------------------------------------------

    void dialogTitles_data()
    {
        const auto add = columns<DialogMaker, QString, QSize>("make", "title", "size");
        add("WelcomeDialog", make<WelcomeDialog>(), "Quillon - 欢迎打赏", QSize());
        add("KeyHighlightDialog", make<KeyHighlightDialog>(), "Quillon - 关键词高亮",
            QSize(400, 505));
        add("LogFilterDialog", make<LogFilterDialog>(), "Quillon - 日志过滤", QSize(849, 546));
        add("AdditionFunction", make<AdditionFunction>(), "Quillon - 附加功能", QSize(649, 404));
        add("AdvancedSend", make<AdvancedSend>(), "Quillon - 高级发送", QSize(420, 434));
        add("LogSharedDialog", make<LogSharedDialog>(), "Quillon - 日志共享功能", QSize(483, 159));
        add("ExtraSettingDialog", make<ExtraSettingDialog>(), "Quillon - 个性设置",
            QSize(481, 267));
    }

    void dialogTitles()
    {
        QFETCH(DialogMaker, make);
        QFETCH(QSize, size);

        QTemporaryDir dir;
        QSettings settings(dir.filePath("Settings.ini"), QSettings::IniFormat);
        QScopedPointer<QDialog> dialog(make(&top, &settings));
        QTEST(dialog->windowTitle(), "title");
        QCOMPARE(dialog->parentWidget(), &top);
        QVERIFY(!dialog->isVisible());
        if (size.isValid())
            QCOMPARE(dialog->size(), size);
    }

    void shellInterfaces()
    {
        WelcomeDialog welcome(&top);
        const auto* image = welcome.findChild<QLabel*>("imageLabel");
        QVERIFY(image);
        QVERIFY(!image->pixmap(Qt::ReturnByValue).isNull());

        LogSharedDialog shared(&top);
        QVERIFY(shared.shareMode() == 0 && shared.sourceName().isEmpty());
        QCOMPARE(shared.toAddressText(), QStringLiteral("192.168.1.100"));
        shared.setToAddressText(QStringLiteral("10.0.0.7"));
        QCOMPARE(shared.toAddressText(), QStringLiteral("10.0.0.7"));

        AdditionFunction addition(&top);
        QVERIFY(!addition.isMcuUpgradeChecked());
        addition.setMcuUpgradeChecked(true);
        QVERIFY(addition.isMcuUpgradeChecked());
        QByteArray type, key;
        addition.mcuUpgradeParams(type, key);
        QCOMPARE(type + ' ' + key, QByteArray("2 PLUMB24680QRSTU1357908642VWXYZ97531DEFGH"));
        QCOMPARE(addition.findChild<QLineEdit*>("mcuKeyLineEdit")->echoMode(),
            QLineEdit::PasswordEchoOnEdit);
        addition.findChild<QComboBox*>("typeUpgradeComboBox")->setCurrentIndex(4);
        addition.mcuUpgradeParams(type, key);
        QCOMPARE(type, QByteArray("5"));

        AdvancedSend advanced(&top);
        QVERIFY(!advanced.findChild<QWidget*>("sendButton")->isEnabled());
    }

private:
    // The menu's entries, "--" for a separator; or only the entries that can be chosen.
    static QStringList entries(const QList<QAction*>& actions, bool enabledOnly = false)
    {
        QStringList texts;
        for (QAction* action : actions) {
            if (!enabledOnly)
                texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
            else if (!action->isSeparator() && action->isEnabled())
                texts << action->text();
        }
        return texts;
    }

    // Chooses the entry from the view's menu; false if the menu has no such entry.
    static bool trigger(TextBrowser& view, const QString& entry)
    {
        QScopedPointer<QMenu> menu(view.createContextMenu());
        for (QAction* action : menu->actions()) {
            if (action->text() == entry) {
                action->trigger();
                return true;
            }
        }
        return false;
    }

    // Each widget's state: "on" or "off" for a button, "/disabled" added when it can't be used.
    static QString states(QWidget& dialog, const QStringList& names)
    {
        QStringList found;
        for (const QString& name : names) {
            auto* widget = dialog.findChild<QWidget*>(name);
            auto* button = qobject_cast<QAbstractButton*>(widget);
            const QString enabled = !widget ? "missing" : widget->isEnabled() ? "" : "disabled";
            if (!button)
                found << (enabled.isEmpty() ? "enabled" : enabled);
            else
                found << QString(button->isChecked() ? "on" : "off")
                        + (enabled.isEmpty() ? "" : "/" + enabled);
        }
        return found.join(' ');
    }

    QWidget top; // the windows' parent, as the main window is
};

QTEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
