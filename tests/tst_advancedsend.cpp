// The advanced send window: its rows, row sends and cycle sends through a pty.
#include "app/mainwindow.h"
#include "testsupport.h"
#include "tools/advancedsend.h"
#include "tools/advancedsenditem.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

class tst_AdvancedSend : public PtyWindowTest {
    Q_OBJECT

private slots:
    // The window
    void rowsAndDefaults()
    {
        QWidget parent;
        AdvancedSend a(&parent);
        auto* list = a.findChild<QListWidget*>(QStringLiteral("contentListWidget"));
        QCOMPARE(list->count(), AdvancedSend::kItems);
        QVERIFY(!a.item(-1));
        QVERIFY(!a.item(99));
        for (int i = 0; i < AdvancedSend::kItems; ++i) {
            AdvancedSendItem* row = a.item(i);
            QVERIFY(row);
            QCOMPARE(list->itemWidget(list->item(i)), row);
            QCOMPARE(row->sendPushButton()->text(), QString("%1").arg(i + 1, 2, 10, QChar('0')));
            QVERIFY(!row->isHex());
            QVERIFY(row->hexCheckBox()->text().isEmpty());
            QVERIFY(row->text().isEmpty());
            QCOMPARE(row->delay(), 1000);
        }
        AdvancedSendItem* row = a.item(0);
        QCOMPARE(row->sendPushButton()->text() + " " + a.item(98)->sendPushButton()->text(),
            QString("01 99"));
        QCOMPARE(
            QList<int>({ row->dataLineEdit()->minimumWidth(), row->dataLineEdit()->maximumWidth(),
                row->sendPushButton()->minimumWidth(), row->sendPushButton()->maximumWidth() }),
            QList<int>({ 190, 190, 55, 55 }));
        // The row's delay and the common interval: value, range and step.
        QCOMPARE(QList<int>({ row->delaySpinBox()->minimum(), row->delaySpinBox()->maximum(),
                     row->delaySpinBox()->singleStep(), interval(&a)->value(),
                     interval(&a)->maximum(), interval(&a)->singleStep() }),
            QList<int>({ 0, 300000, 1000, 1000, 300000, 1000 }));
        auto* layout = qobject_cast<QHBoxLayout*>(row->layout());
        QVERIFY(layout);
        QCOMPARE(layout->spacing(), 10);
        QCOMPARE(layout->count(), 5); // four widgets and the trailing stretch
        QCOMPARE(QList<QWidget*>({ layout->itemAt(0)->widget(), layout->itemAt(1)->widget(),
                     layout->itemAt(2)->widget(), layout->itemAt(3)->widget() }),
            QList<QWidget*>({ row->hexCheckBox(), row->dataLineEdit(), row->sendPushButton(),
                row->delaySpinBox() }));
        QVERIFY(layout->itemAt(4)->spacerItem());
    }

    void cycleButtonFollowsCheckBox()
    {
        QWidget parent;
        AdvancedSend a(&parent);
        auto* box = a.findChild<QCheckBox*>(QStringLiteral("allCycleCheckBox"));
        auto* button = a.findChild<QPushButton*>(QStringLiteral("sendButton"));
        QVERIFY(!button->isEnabled());
        box->setChecked(true);
        QVERIFY(button->isEnabled());
        box->setChecked(false);
        QVERIFY(!button->isEnabled());
    }

    void isHexData_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hex");
        QTest::newRow("digits with blanks") << "01 02 0a" << true;
        QTest::newRow("all hex letters") << "ABCDEF abcdef 0123456789" << true;
        QTest::newRow("odd digit count") << "123" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "   " << false;
        QTest::newRow("letter after F") << "0G" << false;
        QTest::newRow("prefix 0x") << "0x01" << false;
        QTest::newRow("tab is not a blank") << "01\t02" << false;
        QTest::newRow("full-width digit") << "０1" << false;
    }

    void isHexData()
    {
        QFETCH(QString, text);
        QTEST(AdvancedSendItem::isHexData(text), "hex");
    }

    // Sending through the port
    void rowSend_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("refusal"); // the warning instead, when nothing is sent
        QTest::newRow("text as typed") << 1 << "AT+RST" << false << QByteArray("AT+RST") << "";
        QTest::newRow("hex with blanks")
            << 42 << "01 02 0a" << true << QByteArray("\x01\x02\x0a") << "";
        QTest::newRow("odd hex") << 98 << "123" << true << QByteArray("\x12\x03") << "";
        QTest::newRow("blanks only as text") << 99 << "   " << false << QByteArray("   ") << "";
        const QString content = QStringLiteral("内容错误：请输入待发的数据！\t");
        const QString format = QStringLiteral("格式错误：%1\t\n请输入16进制的格式数据！\t");
        QTest::newRow("empty text") << 3 << "" << false << QByteArray() << content;
        QTest::newRow("empty hex") << 3 << "" << true << QByteArray() << content;
        QTest::newRow("hex of blanks only")
            << 3 << "   " << true << QByteArray() << format.arg("   ");
        QTest::newRow("letter after F")
            << 3 << "01 0G" << true << QByteArray() << format.arg("01 0G");
        QTest::newRow("percent signs kept")
            << 3 << "%1 %2" << true << QByteArray() << format.arg("%1 %2");
    }

    void rowSend()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QFETCH(bool, hex);
        QFETCH(QByteArray, wire);
        QFETCH(QString, refusal);
        MainWindow w;
        AdvancedSend* a = openWith(w);
        setRow(a, number, text, hex, 0);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        a->item(number - 1)->sendPushButton()->click();
        if (refusal.isEmpty()) {
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.first(), QVariantList({ text, hex, 0 }));
            QCOMPARE(pty->readAtLeast(wire.size()), wire);
            QVERIFY(boxes->calls.isEmpty());
        } else {
            QCOMPARE(boxes->calls.size(), 1);
            QCOMPARE(boxes->calls.first().kind, MsgBox::Warning);
            QCOMPARE(boxes->calls.first().title, QString("warning"));
            QCOMPARE(boxes->calls.first().text, refusal);
            QVERIFY(spy.isEmpty());
            QCOMPARE(pty->read(200), QByteArray());
        }
        QCOMPARE(w.sent(), wire.size());
    }

    void rowSendWaitsItsDelay()
    {
        MainWindow w;
        AdvancedSend* a = openWith(w);
        setRow(a, 5, "late", false, 300);
        interval(a)->setValue(0);
        QElapsedTimer t;
        t.start();
        a->item(4)->sendPushButton()->click();
        QVERIFY2(t.elapsed() >= 300, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(pty->readAtLeast(4), QByteArray("late"));
    }

    void cycleSendSkipsAndWarns()
    {
        MainWindow w;
        AdvancedSend* a = openWith(w);
        // The rows' own delays would hold the pass for minutes if they were used.
        setRow(a, 1, "A", false, 300000);
        setRow(a, 3, "42 43", true, 300000);
        setRow(a, 7, "4G", true, 300000);
        setRow(a, 8, "D", false, 300000);
        setRow(a, 99, "45", true, 300000);
        interval(a)->setValue(0);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        QElapsedTimer t;
        t.start();
        startCycle(a);
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(pty->readAtLeast(5), QByteArray("ABCDE"));
        QCOMPARE(boxes->texts(), QStringList { "格式错误：(7)4G\t\n请输入16进制的格式数据！\t" });
        QCOMPARE(boxes->calls.first().title, QString("warning"));
        QCOMPARE(QList<QVariantList>(spy),
            QList<QVariantList>(
                { { "A", false, 0 }, { "42 43", true, 0 }, { "D", false, 0 }, { "45", true, 0 } }));
    }

    void cycleSendAllEmpty()
    {
        MainWindow w;
        AdvancedSend* a = openWith(w);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        startCycle(a);
        QVERIFY(spy.isEmpty());
        QVERIFY(boxes->calls.isEmpty());
        QCOMPARE(pty->read(200), QByteArray());
    }

    void cycleSendUsesCommonInterval()
    {
        MainWindow w;
        AdvancedSend* a = openWith(w);
        setRow(a, 2, "x", false, 0);
        setRow(a, 50, "y", false, 0);
        setRow(a, 51, "z", false, 0);
        interval(a)->setValue(150);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        QElapsedTimer t;
        t.start();
        startCycle(a);
        QVERIFY2(t.elapsed() >= 450, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(pty->readAtLeast(3), QByteArray("xyz"));
        QCOMPARE(spy.size(), 3);
        for (const QVariantList& args : spy)
            QCOMPARE(args.at(2).toInt(), 150);
    }

    void closingWindowLetsCycleFinish()
    {
        MainWindow w;
        AdvancedSend* a = showNumbered(w, 5, 300);
        QVERIFY(a->isVisible());
        // Row 1 goes out at 300 ms and row 2 at 600 ms: the window closes while row 2 waits, and
        // only hides; the port stays open.
        QTimer::singleShot(450, a, &QWidget::close);
        startCycle(a);
        QVERIFY(a->isHidden());
        QVERIFY(w.port()->isOpen());
        QCOMPARE(pty->readAtLeast(5), QByteArray("12345"));
        QCOMPARE(pty->read(200), QByteArray());
        QVERIFY(boxes->calls.isEmpty());

        // Shown again, the next pass runs in full as well.
        a->show();
        interval(a)->setValue(0);
        startCycle(a);
        QCOMPARE(pty->readAtLeast(5), QByteArray("12345"));
    }

    void closingPortEndsCycle()
    {
        MainWindow w;
        AdvancedSend* a = showNumbered(w, 5, 300);
        QTimer::singleShot(450, w.form()->openSerialButton, &QPushButton::click);
        startCycle(a);
        QVERIFY(!w.port()->isOpen());
        QVERIFY(!a->isVisible());
        QCOMPARE(pty->readAtLeast(1), QByteArray("1"));
        // The row already waiting is dropped with the pass, without a failure box.
        QCOMPARE(pty->read(400), QByteArray());
        QVERIFY(boxes->calls.isEmpty());
    }

    void endingProgramEndsCycle_data()
    {
        QTest::addColumn<QString>("how"); // closing the port: closingPortEndsCycle
        for (const char* how : { "quit", "tray quit", "main window closed" })
            QTest::newRow(how) << QString(how);
    }

    void endingProgramEndsCycle()
    {
        QFETCH(QString, how);
        MainWindow::setTrayAvailability(0); // closing the main window asks, then quits
        MainWindow w;
        AdvancedSend* a = showNumbered(w, 10, 1000, 0);
        // In the program's own event loop: row "0" goes out at 1 s; half a second later the user
        // closes the advanced window and then ends the program.
        QByteArray before;
        QElapsedTimer ending;
        QTimer::singleShot(0, a, [&] { startCycle(a); });
        QTimer::singleShot(1500, &w, [&] {
            a->close();
            before = pty->read(0);
            ending.start();
            if (how == "quit")
                QCoreApplication::quit();
            else if (how == "tray quit")
                w.findChild<QSystemTrayIcon*>()->contextMenu()->actions().last()->trigger();
            else
                w.close();
        });
        QCoreApplication::exec(); // returns once the pass beneath it has ended
        MainWindow::setTrayAvailability(-1);
        QVERIFY2(ending.elapsed() < 1000, qPrintable(QString::number(ending.elapsed())));
        QCOMPARE(before + pty->readAtLeast(1, 1200), QByteArray("0")); // the port may still write
        QCOMPARE(boxes->count(MsgBox::Warning), 0);
    }

    void secondClickDuringCycleIgnored()
    {
        MainWindow w;
        AdvancedSend* a = showNumbered(w, 4, 200);
        auto* button = a->findChild<QPushButton*>(QStringLiteral("sendButton"));
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        // Impatient clicks while rows wait their turn.
        int clicks = 0;
        QTimer again;
        again.setInterval(150);
        QObject::connect(&again, &QTimer::timeout, button, [&] {
            if (++clicks == 4)
                again.stop();
            button->click();
        });
        again.start();
        startCycle(a);
        QCOMPARE(clicks, 4);
        QCOMPARE(pty->readAtLeast(4), QByteArray("1234"));
        QCOMPARE(pty->read(300), QByteArray());
        QCOMPARE(spy.size(), 4);
        QVERIFY(boxes->calls.isEmpty());

        // Once the pass is over, the button starts the next one.
        interval(a)->setValue(0);
        button->click();
        QCOMPARE(pty->readAtLeast(4), QByteArray("1234"));
    }

    void minimisingKeepsCycle()
    {
        MainWindow w;
        w.show();
        AdvancedSend* a = showNumbered(w, 3, 200);
        // Going to the tray or being minimised is not closing the window.
        QTimer::singleShot(300, &w, [&] {
            w.hide();
            a->showMinimized();
        });
        startCycle(a);
        QVERIFY(!a->isHidden());
        QCOMPARE(pty->readAtLeast(3), QByteArray("123"));
    }

private:
    static AdvancedSend* window(MainWindow& w) { return w.findChild<AdvancedSend*>(); }
    static void setRow(AdvancedSend* a, int number, const QString& text, bool hex, int delay);
    static QSpinBox* interval(AdvancedSend* a)
    {
        return a->findChild<QSpinBox*>(QStringLiteral("sendIntervalMsSpinBox"));
    }
    static void startCycle(AdvancedSend* a);
    // Opens the port; the window's advanced send window.
    AdvancedSend* openWith(MainWindow& w);
    // Rows 1 to count send their numbers, from first on, without a delay of their own.
    static void numberRows(AdvancedSend* a, int count, int first = 1);
    // Opens the port and shows the advanced send window with numbered rows sent ms apart.
    AdvancedSend* showNumbered(MainWindow& w, int count, int ms, int first = 1);
};

AdvancedSend* tst_AdvancedSend::openWith(MainWindow& w)
{
    openPort(w, NoTime);
    return window(w);
}

void tst_AdvancedSend::numberRows(AdvancedSend* a, int count, int first)
{
    for (int n = 1; n <= count; ++n)
        setRow(a, n, QString::number(n - 1 + first), false, 0);
}

AdvancedSend* tst_AdvancedSend::showNumbered(MainWindow& w, int count, int ms, int first)
{
    AdvancedSend* a = openWith(w);
    numberRows(a, count, first);
    interval(a)->setValue(ms);
    w.form()->advancedSendButton->click();
    return a;
}

void tst_AdvancedSend::setRow(AdvancedSend* a, int number, const QString& text, bool hex, int delay)
{
    AdvancedSendItem* row = a->item(number - 1);
    row->dataLineEdit()->setText(text);
    row->hexCheckBox()->setChecked(hex);
    row->delaySpinBox()->setValue(delay);
}

void tst_AdvancedSend::startCycle(AdvancedSend* a)
{
    a->findChild<QCheckBox*>(QStringLiteral("allCycleCheckBox"))->setChecked(true);
    a->findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
}

QTEST_MAIN(tst_AdvancedSend)
#include "tst_advancedsend.moc"
