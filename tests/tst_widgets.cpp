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

    void menuEntries_data()
    {
        const auto add = columns<QString, bool, QStringList>("text", "select", "enabled");
        const QStringList always = { "粘贴(&P)", "字体" };
        const QStringList withText = always + QStringList { "清空", "保存数据", "全选" };
        add("empty view", QString(), false, always);
        add("text, no selection", "RX line", false, withText);
        add("text, selection", "RX line", true, QStringList("复制(&C)") + withText);
        add("single blank line", " ", false, withText);
    }

    // The same entries every time; those that can be chosen depend on the text and selection.
    void menuEntries()
    {
        QFETCH(QString, text);
        QFETCH(bool, select);

        TextBrowser view;
        if (!text.isNull())
            view.appendPlainText(text);
        if (select)
            view.setSelection(0, 2);
        QScopedPointer<QMenu> menu(view.createContextMenu());
        QCOMPARE(menu->parent(), &view);
        QCOMPARE(entries(menu->actions()),
            QStringList({ "复制(&C) Ctrl+C", "粘贴(&P) Ctrl+V", "--", "字体", "清空", "保存数据",
                "--", "全选 Ctrl+A" }));
        // The shortcuts belong to the menu only: the view keeps no actions of its own.
        QVERIFY(view.actions().isEmpty());
        QTEST(entries(menu->actions(), Enabled), "enabled");
    }

    void menuActions_data()
    {
        // accept: how the font chooser is answered, if it is opened
        const auto add = columns<QString, bool, QString, int, QString>(
            "entryText", "accept", "textAfter", "saveRequests", "selected");
        const QString text = QStringLiteral("line 1\nline 2");
        add("clear empties the view only", "清空", false, QString(), 0, QString());
        add("save asks the window", "保存数据", false, text, 1, QString());
        add("select all", "全选", false, text, 0, text);
        add("paste into read-only view", "粘贴(&P)", false, text, 0, QString());
        add("font chooser cancelled", "字体", false, text, 0, QString());
        add("font chooser accepted", "字体", true, text, 0, QString());
    }

    void menuActions()
    {
        QFETCH(QString, entryText);
        QFETCH(bool, accept);
        QFETCH(QString, selected);

        TextBrowser view;
        view.appendPlainText("line 1");
        view.appendPlainText("line 2");
        const QFont start("Sans Serif", 10), chosen("Monospace", 17);
        view.setFont(start);
        QStringList offered;
        TextBrowser::setFontChooser([&](bool* ok, const QFont& initial) {
            offered << initial.toString();
            *ok = accept;
            return accept ? chosen : QFont("Serif", 30);
        });
        QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));
        QSignalSpy saves(&view, &TextBrowser::signalSaveLog);
        QSignalSpy selections(&view, &TextBrowser::selectionChanged);
        QScopedPointer<QMenu> menu(view.createContextMenu());
        QAction* entry = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == entryText)
                entry = action;
        QVERIFY(entry);
        entry->trigger();

        QTEST(view.toPlainText(), "textAfter");
        QTEST(saves.count(), "saveRequests");
        QCOMPARE(offered, entryText == "字体" ? QStringList { start.toString() } : QStringList());
        QCOMPARE(view.font().toString(), (accept ? chosen : start).toString());
        QCOMPARE(view.selectedText(), selected);
        QCOMPARE(view.hasSelection(), !selected.isEmpty());
        if (!selected.isEmpty())
            QVERIFY(selections.count() > 0);
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
        // An empty view takes clicks and keys like any other.
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!view.hasSelection());
        for (int i = 0; i < 200; ++i)
            view.appendPlainText(QString("line %1").arg(i));
        QScrollBar* bar = view.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view.followsEnd());

        // A user who scrolled up to read is not pulled back down.
        bar->setValue(0);
        for (int i = 0; i < 20; ++i)
            view.appendPlainText(QString("more %1").arg(i));
        QCOMPARE(bar->value(), 0);
        // Back at the end, the view follows again.
        bar->setValue(bar->maximum());
        const int before = bar->maximum();
        view.appendPlainText(QStringLiteral("last"));
        QVERIFY(bar->maximum() > before);
        QCOMPARE(bar->value(), bar->maximum());

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
        QVERIFY(view.followsEnd() && view.lastVisibleLine() == 221);
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
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(a && a->textInterface());
        QAccessibleTextInterface* text = a->textInterface();
        QVERIFY(a->state().readOnly && a->state().multiLine);
        int start = 0, end = 0;
        // An empty view answers a screen reader like any other.
        QCOMPARE(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end)
                + text->textAtOffset(0, QAccessible::WordBoundary, &start, &end),
            QString());
        view.appendPlainText("RX←◆one\nTX→◇two");
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
            QString("HH HH HH HH HH HH HH HH HH HH"));
    }

    void wrapSettings_data()
    {
        // Hex display on or off, what is typed into the front and back fields, the buttons clicked;
        // answers: "mode [front] [back]", then " in CR LF" if the delimiter is found there.
        const auto add = columns<bool, QString, QString, QStringList, QString>(
            "hexShown", "front", "back", "clicks", "answers");
        const QString front = "frontWrapRadioButton", back = "backWrapRadioButton";
        add("frame time", false, "", "", { "timeWrapRadioButton" }, "1 [] []");
        add("front delimiter", true, "", "", { front }, "2 [] []");
        add("back delimiter", true, "", "", { back }, "3 [] []");
        add("back to newline", true, "", "", { back, "wrapRadioButton" }, "0 [] []");
        add("front while hex display is off", false, "", "", { front }, "0 [] []");
        add("same button twice", false, "", "", { "timeWrapRadioButton", "timeWrapRadioButton" },
            "1 [] []");
        // The same typed into both fields.
        add("CR LF with blank", true, "0D 0A", "0D 0A", {}, "0 [0d0a] [0d0a]");
        add("CR LF without blank", true, "0D0A", "0D0A", {}, "0 [0d0a] [0d0a]");
        add("lower case", true, "0d0a", "0d0a", {}, "0 [0d0a] [0d0a]");
        add("nothing typed", true, "", "", {}, "0 [] []");
        add("non-hex refused by the mask", true, "zz", "zz", {}, "0 [] []");
        add("ten bytes, the mask holds no more", true, "0102030405060708090A0B",
            "0102030405060708090A0B", {}, "0 [0102030405060708090a] [0102030405060708090a]");
        // The mode chooses the field that is looked for.
        add("front, whole bytes", true, "0D 0A", "", { front }, "2 [0d0a] [] in CR LF");
        add("front, across a byte boundary", true, "d0", "", { front }, "2 [d0] [] in CR LF");
        add("back pattern", true, "", "0A", { back }, "3 [] [0a] in CR LF");
        add("back mode ignores the front field", true, "0D", "", { back }, "3 [0d] []");
        add("front mode ignores the back field", true, "", "0A", { front }, "2 [] [0a]");
        add("newline mode", true, "0D", "0A", { "wrapRadioButton" }, "0 [0d] [0a]");
        add("frame time mode", true, "0D", "0A", { "timeWrapRadioButton" }, "1 [0d] [0a]");
        add("no pending bytes", true, "0D", "", { front }, "2 [0d] [] in CR LF");
        add("absent", true, "FF", "", { front }, "2 [ff] []");
    }

    void wrapSettings()
    {
        QFETCH(bool, hexShown);
        QFETCH(QString, front);
        QFETCH(QString, back);
        QFETCH(QStringList, clicks);

        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(hexShown);
        QTest::keyClicks(dialog.findChild<QLineEdit*>("frontWrapLineEdit"), front);
        QTest::keyClicks(dialog.findChild<QLineEdit*>("backWrapLineEdit"), back);
        for (const QString& name : clicks)
            dialog.findChild<QRadioButton*>(name)->click();
        QString answers = QString("%1 [%2] [%3]")
                              .arg(dialog.wrapMode())
                              .arg(QString(dialog.frontDelimiter().toHex()),
                                  QString(dialog.backDelimiter().toHex()));
        if (dialog.delimiterPresent("\r\n"))
            answers += " in CR LF";
        if (dialog.delimiterPresent(QByteArray()))
            answers += " in no bytes";
        QTEST(answers, "answers");
    }

    void delimiterRowsKeepMode()
    {
        ExtraSettingDialog dialog(&top);
        dialog.setDelimiterWrapEnabled(true);
        dialog.findChild<QRadioButton*>("backWrapRadioButton")->click();
        const QStringList rows = { "backWrapRadioButton", "backWrapLineEdit", "frontWrapLineEdit" };

        // Hex display switched off: rows disabled, the chosen mode stays in force.
        dialog.setDelimiterWrapEnabled(false);
        QCOMPARE(dialog.wrapMode(), 3);
        QCOMPARE(states(dialog, rows), QString("on/disabled disabled disabled"));
        dialog.setDelimiterWrapEnabled(true);
        QCOMPARE(states(dialog, rows), QString("on enabled enabled"));
        QCOMPARE(dialog.wrapMode(), 3);
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

    void formWidgets_data()
    {
        // shown: a combo box's items, the current one marked "*"; an action's text, tip, shortcut
        const auto add = columns<QString, QStringList>("name", "shown");
        add("baud rates", "burdrateComboBox",
            { "*110 bps", "300 bps", "600 bps", "1200 bps", "2400 bps", "4800 bps", "9600 bps",
                "19200 bps", "38400 bps", "57600 bps", "115200 bps", "230400 bps", "460800 bps",
                "921600 bps", "1000000 bps", "1500000 bps", "2000000 bps" });
        add("data bits", "dataBitsComboBox", { "5 bit", "6 bit", "7 bit", "*8 bit" });
        add("parity", "checksumComboBox", { "*None", "Odd", "Even", "Mark", "Space" });
        add("stop bits", "stopBitsComboBox", { "*1 bit", "1.5 bit", "2 bit" });
        add("ports, filled by the scan", "serialNumComboBox", {});
        add("operator", "actionOperator", { "操作隐藏(&H)", "操作隐藏", "Ctrl+H" });
        add("extra setting", "actionExtraSetting", { "个性设置(&X)", "个性设置", "Ctrl+X" });
        add("log shared", "actionLogShared", { "日志共享(&D)", "日志共享", "Ctrl+D" });
        add("log filter", "actionLogFilter", { "日志过滤(&B)", "日志过滤", "Ctrl+B" });
        add("update log", "actionUpdateLog", { "更新记录(&I)", "更新记录", "Ctrl+I" });
        add("welcome", "actionWelcome", { "欢迎打赏(&J)", "欢迎打赏", "Ctrl+J" });
        add("technical support", "actionTechnicalSupport", { "技术支持", "技术支持", "" });
        add("newest version", "actionDownLastVersion", { "下载最新版", "下载最新版", "" });
        add("web server", "actionOrvWeb", { "OrvWeb服务器(&W)", "OrvWeb服务器", "Ctrl+W" });
    }

    void formWidgets()
    {
        QFETCH(QString, name);

        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        auto* combo = window.findChild<QComboBox*>(name);
        auto* action = window.findChild<QAction*>(name);
        QVERIFY(combo || action);
        QStringList shown;
        for (int i = 0; combo && i < combo->count(); ++i)
            shown << (i == combo->currentIndex() ? "*" : "") + combo->itemText(i);
        if (action)
            shown << action->text() << action->toolTip()
                  << action->shortcut().toString(QKeySequence::PortableText);
        QTEST(shown, "shown");
    }

    void formToolBarAndMenus()
    {
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);

        QCOMPARE(entries(ui.toolBar->actions(), Names),
            QStringList({ "actionOperator", "--", "actionExtraSetting", "--", "actionLogShared",
                "actionLogFilter", "--", "actionWelcome", "--" }));
        QCOMPARE(ui.toolBar->windowTitle(), QStringLiteral("toolBar"));
        QCOMPARE(window.toolBarArea(ui.toolBar), Qt::TopToolBarArea);
        QCOMPARE(entries(ui.functionSetMenu->actions(), Names),
            QStringList({ "actionOperator", "actionExtraSetting", "actionLogShared",
                "actionLogFilter", "actionUpdateLog" }));
        QCOMPARE(entries(ui.supportMenu->actions(), Names),
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
    }

private:
    enum EntryKind { Texts, Names, Enabled };
    // Texts with shortcuts, or object names, "--" for a separator; or the texts that can be chosen.
    static QStringList entries(const QList<QAction*>& actions, EntryKind kind = Texts)
    {
        QStringList list;
        for (QAction* action : actions) {
            const QString key = action->shortcut().toString(QKeySequence::PortableText);
            if (kind == Names)
                list << (action->isSeparator() ? "--" : action->objectName());
            else if (kind == Texts)
                list << ((action->isSeparator() ? "--" : action->text()) + ' ' + key).trimmed();
            else if (!action->isSeparator() && action->isEnabled())
                list << action->text();
        }
        return list;
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
