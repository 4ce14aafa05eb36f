// The shell: closing, the tray, the debug log, message boxes and the English interface.
#include "app/core/debuglog.h"
#include "app/core/textcatalogue.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "ui_mainwindow.h"
#include "views/keyhighlightdialog.h"
#include "views/logfilterdialog.h"

#include <QRadioButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QToolBox>

class tst_Shell : public PtyWindowTest {
    Q_OBJECT

private slots:
    void init()
    {
        PtyWindowTest::init();
        QFile::remove(DebugLog::path());
    }

    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        MainWindow::setTrayAvailability(-1);
        QGuiApplication::setQuitOnLastWindowClosed(true);
        PtyWindowTest::cleanup();
    }

    void closeBehaviour_data()
    {
        // outcome: the questions asked, then what became of the window.
        const auto add = columns<bool, int, int, bool, QString>(
            "minTray", "tray", "answer", "maximised", "outcome");
        const int ok = QMessageBox::Ok, cancel = QMessageBox::Cancel;
        add("tray mode hides", true, 1, ok, false, "0 asked, in the tray");
        add("quit mode, Ok quits", false, 1, ok, false, "1 asked, quits");
        add("quit mode, Cancel stays", false, 1, cancel, false, "1 asked, stays");
        add("tray mode without a tray asks", true, 0, ok, false, "1 asked, quits");
        add("no tray, Cancel stays", true, 0, cancel, false, "1 asked, stays");
        add("singleClickRestores: normal", true, 1, ok, false, "0 asked, in the tray");
        add("singleClickRestores: maximised", true, 1, ok, true, "0 asked, in the tray");
    }

    void closeBehaviour()
    {
        QFETCH(bool, minTray);
        QFETCH(int, tray);
        QFETCH(int, answer);
        QFETCH(bool, maximised);
        MainWindow::setTrayAvailability(tray);
        boxes->answer = QMessageBox::StandardButton(answer);
        MainWindow w;
        w.extraSettings()->setMinTray(minTray);
        maximised ? w.showMaximized() : w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.close();
        const int asked = boxes->count(MsgBox::Question);
        if (asked)
            QCOMPARE(QStringList({ boxes->calls.last().title, boxes->calls.last().text }),
                QStringList({ "关闭", "是否确认要退出程序？" }));
        const char* after = w.isVisible()               ? "stays"
            : QGuiApplication::quitOnLastWindowClosed() ? "quits"
                                                        : "in the tray";
        QTEST(QString("%1 asked, %2").arg(asked).arg(after), "outcome");
        if (w.isVisible() || QGuiApplication::quitOnLastWindowClosed())
            return;
        // From the tray only a single click brings the window back, as it was.
        w.slotTrayIconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!w.isVisible());
        w.slotTrayIconActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w.isVisible());
        QCOMPARE(w.isMaximized(), maximised);
    }

    void trayQuitAsksNothing()
    {
        MainWindow w;
        w.extraSettings()->setMinTray(false);
        auto* tray = w.findChild<QSystemTrayIcon*>();
        QVERIFY(tray && tray->contextMenu());
        const QList<QAction*> actions = tray->contextMenu()->actions();
        QStringList texts;
        for (QAction* a : actions)
            texts << a->text();
        QCOMPARE(
            texts, QStringList({ "关于", "", "显示主窗口", "个性设置", "附加功能", "", "退出" }));
        QTimer::singleShot(0, actions.last(), &QAction::trigger);
        QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(boxes->count(MsgBox::Question), 0);
    }

    void welcomeTextFollowsMaximise()
    {
        MainWindow w;
        w.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* welcome = w.findChild<QLabel*>("welcomeLabel");
        QTRY_VERIFY(welcome->text().startsWith("欢迎使用quillon - 串口调试助手 - "));
        w.showNormal();
        QTRY_COMPARE(welcome->text(), QString("欢迎使用quillon - 串口调试助手"));
    }

    void debugLogWritesExactlyTheLines()
    {
        MainWindow w;
        auto* box = w.extraSettings()->findChild<QCheckBox*>("debugLogCheckBox");
        QVERIFY(box);
        box->click();
        QCOMPARE(debugLines(), QStringList({ "slotEnableDebugLog true" }));
        openPort(w);
        const QStringList lines = debugLines();
        QCOMPARE(lines,
            QStringList({ "slotEnableDebugLog true",
                QString("serialname: \"%1 Virtual serial port   \" MainWindow::Baud2400 "
                        "QSerialPort::Data8 QSerialPort::NoParity QSerialPort::OneStop")
                    .arg(pty->slavePath()) }));
        box->click();
        w.form()->openSerialButton->click();
        w.form()->openSerialButton->click();
        QCOMPARE(debugLines(), lines);
    }

    void debugLogCatchesQtWarnings()
    {
        MainWindow w;
        w.slotEnableDebugLog(true);
        QObject a, b;
        // A connection to a signal that does not exist: Qt warns through the message channel.
        QObject::connect(&a, SIGNAL(noSuchSignal()), &b, SLOT(deleteLater()));
        w.slotEnableDebugLog(false);
        const QStringList lines = debugLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).contains("noSuchSignal"), qPrintable(lines.at(1)));
    }

    void debugLogHasEveryFeaturesLine()
    {
        MainWindow w;
        w.slotEnableDebugLog(true);

        auto* tools = w.additionWindow();
        tools->findChild<QTextEdit*>("characterHexTextEdit")->setPlainText("41 42");
        tools->findChild<QRadioButton*>("characterShowRadioButton")->setChecked(true);
        tools->slotCharacterHexShowButton();
        // Device console reply (55 7A 80 starts a reply).
        tools->feedDeviceReply(QByteArray::fromHex("557a80000f0001"));
        KeyHighlightDialog::setColorChooser(
            [](const QColor&, QWidget*, const QString&) { return QColor(Qt::red); });
        const auto colourButtons = w.findChild<KeyHighlightDialog*>()->findChildren<QToolButton*>();
        QVERIFY(!colourButtons.isEmpty());
        colourButtons.first()->click();
        KeyHighlightDialog::setColorChooser({});
        // Log sharing: listen on a free local port.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        auto* share = w.logShared();
        share->findChild<QCheckBox*>("enableLogSharedCheckBox")->setChecked(true);
        share->findChild<QRadioButton*>("formRadioButton")->setChecked(true);
        share->findChild<QLineEdit*>("formPortLineEdit")->setText(QString::number(port));
        share->findChild<QPushButton*>("okButton")->click();
        w.logFilter()->findChild<QLineEdit*>("key1LineEdit")->setText("ERR");
        w.logFilter()->appendFilteredLog("[ERR] sensor timeout");
        QTRY_VERIFY(!debugLines().filter(QRegularExpression("^num1 ")).isEmpty());
        w.slotEnableDebugLog(false);

        const QStringList lines = debugLines();
        for (const char* start : { "slotEnableDebugLog true", "text: 41 42", "cache.size",
                 "color: QColor", "address", "num1" })
            QVERIFY2(!lines.filter(QRegularExpression("^" + QRegularExpression::escape(start)))
                          .isEmpty(),
                qPrintable(start + QString(" missing in: ") + lines.join(" | ")));
    }

    void debugLogKeepsItsNewestHalf_data()
    {
        const auto add = columns<QByteArray, QByteArray>("log", "kept"); // kept under a 20-byte cap
        add("at the cap", "1111\n2222\n3333\n4444\n", "1111\n2222\n3333\n4444\n");
        add("half begins a line", "1111\n2222\n3333\n4444\n5555\n", "4444\n5555\n");
        add("half begins inside a line", "111111\n222222\n333333\n", "333333\n");
        add("one endless line", QByteArray(30, 'x') + "\n", QByteArray());
    }

    void debugLogKeepsItsNewestHalf()
    {
        QFETCH(QByteArray, log);
        QVERIFY(writeFile(DebugLog::path(), log));
        DebugLog::keepNewestHalf(DebugLog::path(), 20);
        QTEST(fileBytes(DebugLog::path()), "kept");
    }

    void debugLogStaysUnderItsCap()
    {
        const QByteArray line = QByteArray(1023, 'x') + '\n';
        QVERIFY(writeFile(DebugLog::path(), line.repeated(int(DebugLog::Cap / 1024))));
        MainWindow w;
        w.slotEnableDebugLog(true); // one line more than the cap
        QVERIFY(QFileInfo(DebugLog::path()).size() <= DebugLog::Cap / 2);
        QCOMPARE(debugLines().first(), QString(1023, 'x'));
        QCOMPARE(debugLines().last(), QString("slotEnableDebugLog true"));
    }

    void boxesShowTagsAsText_data()
    {
        const auto add = columns<int>("kind");
        add("warning", MsgBox::Warning);
        add("information", MsgBox::Information);
        add("question", MsgBox::Question);
    }

    void boxesShowTagsAsText()
    {
        QFETCH(int, kind);
        MsgBox::setHandler({}); // the real boxes
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&format] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            format = box->textFormat();
            box->defaultButton()->click();
        });
        QWidget parent;
        const QString text("<b>x</b> from /tmp/<i>name</i>.bin");
        const auto answer = kind == MsgBox::Warning ? MsgBox::warning(&parent, "警告", text)
            : kind == MsgBox::Information
            ? MsgBox::information(&parent, "通知", text)
            : MsgBox::question(&parent, "关闭", text, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(answer, QMessageBox::Ok);
    }

    void catalogueIsComplete()
    {
        const TextCatalogue& c = Language::catalogue();
        QVERIFY(c.size() > 300);
        // Switching back must know which text was meant.
        QCOMPARE(c.ambiguities(), QStringList());
        QCOMPARE(c.retranslate("打开串口", true), QString("Open port"));
        QCOMPARE(c.retranslate("接收区 - 来源网络 [10.0.0.2:11223]", true),
            QString("Received data - from network [10.0.0.2:11223]"));
        QCOMPARE(c.retranslate(
                     "Received data - from serial port; forwarded to → [10.0.0.2:11223]", false),
            QString("接收区 - 来源串口；传至 → [10.0.0.2:11223]"));
        QCOMPARE(c.retranslate("ttyUSB0 串口", true), QString("ttyUSB0 串口"));
    }

    void everyWindowSwitchesAndBack()
    {
        MainWindow w;
        // Captions that carry state: an open, paused port.
        openPort(w, Shown);
        w.form()->pauseRecvButton->click();
        const QStringList chinese = shownTexts();
        QCOMPARE(chinese.filter(QRegularExpression(": 恢复接收$")).size(), 1);

        choose(w, "actionEnglish");
        QCOMPARE(Language::current(), Language::Id::English);
        for (const QString& text : shownTexts()) {
            const QString shown = text.section(": ", 1);
            // Texts that read the same in both languages on purpose.
            if (!QStringList({ "语言 / Language", "中文" }).contains(shown))
                QVERIFY2(!TextCatalogue::hasChinese(shown), qPrintable(text));
        }
        QCOMPARE(Language::stored(w.settingsStore()), Language::Id::English);
        QCOMPARE(w.form()->openSerialButton->text(), QString("Close port"));
        // The window still knows its state by its captions in the new language.
        w.form()->pauseRecvButton->click();
        QCOMPARE(w.form()->pauseRecvButton->text(), QString("Pause receiving"));
        w.form()->pauseRecvButton->click();
        QCOMPARE(w.form()->pauseRecvButton->text(), QString("Resume receiving"));

        choose(w, "actionChinese");
        QCOMPARE(shownTexts(), chinese);
        QCOMPARE(Language::stored(w.settingsStore()), Language::Id::Chinese);
        w.form()->pauseRecvButton->click();
        w.form()->openSerialButton->click();
        QVERIFY(!w.port()->isOpen());
        QCOMPARE(w.form()->openSerialButton->text(), QString("打开串口"));
    }

    void boxesSpeakEnglish()
    {
        boxes->answer = QMessageBox::Cancel;
        MainWindow w;
        w.extraSettings()->setMinTray(false);
        w.show();
        choose(w, "actionEnglish");
        boxes->clear();
        for (const int key : { Qt::Key_F1, Qt::Key_F8, Qt::Key_F12 })
            QTest::keyClick(&w, Qt::Key(key));
        w.close();
        QCOMPARE(boxes->calls.size(), 4);
        for (const MsgBox::Call& call : boxes->calls)
            QVERIFY2(!TextCatalogue::hasChinese(call.title + call.text), qPrintable(call.text));
        QCOMPARE(boxes->lastText(), QString("Do you really want to quit?"));
        choose(w, "actionChinese");
    }

private:
    QStringList debugLines() const
    {
        QString text = QString::fromUtf8(fileBytes(DebugLog::path()));
        if (text.endsWith('\n'))
            text.chop(1);
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    // Every text a user can see, tray menu and tool tips included, with where it is; not the clock.
    static QStringList shownTexts()
    {
        QStringList texts;
        auto add = [&](QObject* o, const char* what, const QString& text) {
            if (!text.isEmpty())
                texts << QString("%1/%2.%3: %4")
                             .arg(o->metaObject()->className(), o->objectName(), what, text);
        };
        for (QWidget* window : QApplication::topLevelWidgets()) {
            for (QObject* o : QList<QObject*> { window } + window->findChildren<QObject*>()) {
                if (auto* a = qobject_cast<QAction*>(o)) {
                    add(a, "text", a->text());
                    add(a, "toolTip", a->toolTip());
                } else if (auto* tray = qobject_cast<QSystemTrayIcon*>(o)) {
                    add(tray, "toolTip", tray->toolTip());
                } else if (auto* w = qobject_cast<QWidget*>(o)) {
                    if (w->isWindow())
                        add(w, "windowTitle", w->windowTitle());
                    add(w, "toolTip", w->toolTip());
                    add(w, "placeholderText", w->property("placeholderText").toString());
                    if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))
                        add(w, "text", w->property("text").toString());
                    if (qobject_cast<QGroupBox*>(w) || qobject_cast<QMenu*>(w))
                        add(w, "title", w->property("title").toString());
                    if (auto* combo = qobject_cast<QComboBox*>(w))
                        for (int i = 0; i < combo->count(); ++i)
                            add(w, "item", combo->itemText(i));
                    if (auto* tabs = qobject_cast<QTabWidget*>(w))
                        for (int i = 0; i < tabs->count(); ++i)
                            add(w, "tab", tabs->tabText(i));
                    if (auto* box = qobject_cast<QToolBox*>(w))
                        for (int i = 0; i < box->count(); ++i)
                            add(w, "page", box->itemText(i));
                }
            }
        }
        return texts.filter(QRegularExpression("^(?!QLabel/timeLabel)"));
    }

    static void choose(MainWindow& w, const char* action)
    {
        auto* a = w.findChild<QAction*>(action);
        QVERIFY(a);
        a->trigger();
    }
};

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
