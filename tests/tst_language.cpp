// The English interface: the catalogue, the switch of every window and back, and the boxes.
#include "app/core/textcatalogue.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "shell/extrasettingdialog.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QTabWidget>
#include <QToolBox>

class tst_Language : public PtyWindowTest {
    Q_OBJECT

private slots:
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

QTEST_MAIN(tst_Language)
#include "tst_language.moc"
