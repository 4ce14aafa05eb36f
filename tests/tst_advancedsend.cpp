// The advanced send window: its rows, row sends and cycle sends through a pty.
#include "app/mainwindow.h"
#include "testdata.h"
#include "testsupport.h"
#include "tools/advancedsend.h"
#include "tools/advancedsenditem.h"
#include "ui_mainwindow.h"

#include <QListWidget>

#include <functional>

namespace {

// A row of the window as the user fills it in.
struct Row {
    int number;
    QString text;
    bool hex;
    int delay;
};

QSpinBox* interval(AdvancedSend* a)
{
    return a->findChild<QSpinBox*>(QStringLiteral("sendIntervalMsSpinBox"));
}

QPushButton* cycleButton(AdvancedSend* a)
{
    return a->findChild<QPushButton*>(QStringLiteral("sendButton"));
}

// n bytes the program writes, then whatever else comes within quietMs.
QByteArray written(PtyPair* pty, int n, int quietMs)
{
    const QByteArray first = pty->readAtLeast(n);
    return first + pty->read(quietMs);
}

// Returns once the pass has ended.
void startCycle(AdvancedSend* a)
{
    a->findChild<QCheckBox*>(QStringLiteral("allCycleCheckBox"))->setChecked(true);
    cycleButton(a)->click();
}

// What a cycle test does to the windows before the pass starts, e.g. timers that act during it.
using During = std::function<void(MainWindow&, AdvancedSend*)>;

} // namespace

Q_DECLARE_METATYPE(Row)
Q_DECLARE_METATYPE(During)

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
        QVERIFY(!a.item(-1) && !a.item(99));
        for (int i = 0; i < AdvancedSend::kItems; ++i) {
            AdvancedSendItem* r = a.item(i);
            QVERIFY(r && list->itemWidget(list->item(i)) == r);
            // Button caption, check box caption, text, hex and delay.
            QCOMPARE(QStringList({ r->sendPushButton()->text(), r->hexCheckBox()->text(), r->text(),
                         r->isHex() ? "hex" : "text", QString::number(r->delay()) }),
                QStringList(
                    { QString("%1").arg(i + 1, 2, 10, QChar('0')), "", "", "text", "1000" }));
        }
        AdvancedSendItem* row = a.item(0);
        auto* layout = qobject_cast<QHBoxLayout*>(row->layout());
        QVERIFY(layout);
        // The widths, and the layout's spacing and items: four widgets and the trailing stretch.
        QCOMPARE(QList<int>({ row->dataLineEdit()->minimumWidth(),
                     row->dataLineEdit()->maximumWidth(), row->sendPushButton()->minimumWidth(),
                     row->sendPushButton()->maximumWidth(), layout->spacing(), layout->count() }),
            QList<int>({ 190, 190, 55, 55, 10, 5 }));
        // The row's delay and the common interval: value, range and step.
        QCOMPARE(QList<int>({ row->delaySpinBox()->minimum(), row->delaySpinBox()->maximum(),
                     row->delaySpinBox()->singleStep(), interval(&a)->value(),
                     interval(&a)->maximum(), interval(&a)->singleStep() }),
            QList<int>({ 0, 300000, 1000, 1000, 300000, 1000 }));
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
        QList<bool> enabled { cycleButton(&a)->isEnabled() };
        for (bool checked : { true, false }) {
            a.findChild<QCheckBox*>(QStringLiteral("allCycleCheckBox"))->setChecked(checked);
            enabled << cycleButton(&a)->isEnabled();
        }
        QCOMPARE(enabled, QList<bool>({ false, true, false }));
    }

    void isHexData_data()
    {
        columns<QString, bool>("text", "hex");
        row("digits with blanks", "01 02 0a", true);
        row("all hex letters", "ABCDEF abcdef 0123456789", true);
        row("odd digit count", "123", true);
        row("empty", "", false);
        row("blanks only", "   ", false);
        row("letter after F", "0G", false);
        row("prefix 0x", "0x01", false);
        row("tab is not a blank", "01\t02", false);
        row("full-width digit", "０1", false);
    }

    void isHexData()
    {
        QFETCH(QString, text);
        QTEST(AdvancedSendItem::isHexData(text), "hex");
    }

    // Sending through the port
    void rowSend_data()
    {
        // refusal: the warning instead, when nothing is sent.
        const auto add = columns<Row, QByteArray, QString>("r", "wire", "refusal");
        add("text as typed", { 1, "AT+RST", false, 0 }, "AT+RST", QString());
        add("hex with blanks", { 42, "01 02 0a", true, 0 }, "\x01\x02\x0a", QString());
        add("odd hex", { 98, "123", true, 0 }, "\x12\x03", QString());
        add("blanks only as text", { 99, "   ", false, 0 }, "   ", QString());
        // The row's own delay holds the send; the common interval is 0.
        add("rowSendWaitsItsDelay", { 5, "late", false, 300 }, "late", QString());
        const QString content = QStringLiteral("内容错误：请输入待发的数据！\t");
        const QString format = QStringLiteral("格式错误：%1\t\n请输入16进制的格式数据！\t");
        add("empty text", { 3, "", false, 0 }, QByteArray(), content);
        add("empty hex", { 3, "", true, 0 }, QByteArray(), content);
        add("hex of blanks only", { 3, "   ", true, 0 }, QByteArray(), format.arg("   "));
        add("letter after F", { 3, "01 0G", true, 0 }, QByteArray(), format.arg("01 0G"));
        add("percent signs kept", { 3, "%1 %2", true, 0 }, QByteArray(), format.arg("%1 %2"));
    }

    void rowSend()
    {
        QFETCH(Row, r);
        QFETCH(QByteArray, wire);
        QFETCH(QString, refusal);
        MainWindow w;
        AdvancedSend* a = openWith(w, { r }, 0);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        QElapsedTimer t;
        t.start();
        a->item(r.number - 1)->sendPushButton()->click();
        QVERIFY2(t.elapsed() >= r.delay, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(boxes->texts(), refusal.isEmpty() ? QStringList() : QStringList { refusal });
        for (const MsgBox::Call& call : boxes->calls)
            QVERIFY(call.kind == MsgBox::Warning && call.title == "warning");
        QCOMPARE(QList<QVariantList>(spy),
            refusal.isEmpty() ? QList<QVariantList>({ { r.text, r.hex, r.delay } })
                              : QList<QVariantList>());
        QCOMPARE(written(pty, wire.size(), 200), wire);
        QCOMPARE(w.sent(), wire.size());
    }

    // One pass over the rows: what goes out, the warnings, and how long it took at least.
    void cyclePass_data()
    {
        const auto add = columns<QList<Row>, int, QByteArray, QList<QVariantList>, QStringList>(
            "rows", "ms", "wire", "sends", "warnings");
        // The rows' own delays would hold the pass for minutes if they were used.
        add("cycleSendSkipsAndWarns",
            { { 1, "A", false, 300000 }, { 3, "42 43", true, 300000 }, { 7, "4G", true, 300000 },
                { 8, "D", false, 300000 }, { 99, "45", true, 300000 } },
            0, "ABCDE",
            { { "A", false, 0 }, { "42 43", true, 0 }, { "D", false, 0 }, { "45", true, 0 } },
            { "格式错误：(7)4G\t\n请输入16进制的格式数据！\t" });
        add("cycleSendAllEmpty", {}, 0, QByteArray(), {}, {});
        add("cycleSendUsesCommonInterval",
            { { 2, "x", false, 0 }, { 50, "y", false, 0 }, { 51, "z", false, 0 } }, 150, "xyz",
            { { "x", false, 150 }, { "y", false, 150 }, { "z", false, 150 } }, {});
    }

    void cyclePass()
    {
        QFETCH(QList<Row>, rows);
        QFETCH(int, ms);
        QFETCH(QByteArray, wire);
        MainWindow w;
        AdvancedSend* a = openWith(w, rows, ms);
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        QElapsedTimer t;
        t.start();
        startCycle(a);
        const qint64 took = t.elapsed();
        QVERIFY2(took >= ms * rows.size() && took < 5000, qPrintable(QString::number(took)));
        QCOMPARE(written(pty, wire.size(), 200), wire);
        QTEST(QList<QVariantList>(spy), "sends");
        QTEST(boxes->texts(), "warnings");
        for (const MsgBox::Call& call : boxes->calls)
            QCOMPARE(call.title, QString("warning"));
    }

    // Something happens during a pass over numbered rows: what went out, the port, the window.
    void cycleInterrupted_data()
    {
        const auto add = columns<int, int, QByteArray, QString, During>(
            "count", "ms", "wire", "state", "during");
        // The window closes while row 2 waits (due at 600 ms), and only hides; the port stays open.
        add("closingWindowLetsCycleFinish", 5, 300, "12345", "open hidden",
            [](MainWindow&, AdvancedSend* a) { QTimer::singleShot(450, a, &QWidget::close); });
        // The row already waiting is dropped with the pass, without a failure box.
        add("closingPortEndsCycle", 5, 300, "1", "closed hidden", [](MainWindow& w, AdvancedSend*) {
            QTimer::singleShot(450, w.form()->openSerialButton, &QPushButton::click);
        });
        // Going to the tray or being minimised is not closing the window.
        add("minimisingKeepsCycle", 3, 200, "123", "open shown",
            [](MainWindow& w, AdvancedSend* a) {
                w.show();
                QTimer::singleShot(300, &w, [&w, a] {
                    w.hide();
                    a->showMinimized();
                });
            });
        // Impatient clicks while rows wait their turn.
        add("secondClickDuringCycleIgnored", 4, 200, "1234", "open shown 4 clicks 4 sends",
            [this](MainWindow&, AdvancedSend* a) {
                auto* again = new QTimer(a);
                QObject::connect(again, &QTimer::timeout, a, [this, again, a] {
                    if (++clicks == 4)
                        again->stop();
                    cycleButton(a)->click();
                });
                again->start(150);
            });
    }

    void cycleInterrupted()
    {
        QFETCH(int, count);
        QFETCH(int, ms);
        QFETCH(QByteArray, wire);
        QFETCH(During, during);
        MainWindow w;
        AdvancedSend* a = showNumbered(w, count, ms);
        QVERIFY(a->isVisible());
        QSignalSpy spy(a, &AdvancedSend::signalSendData);
        clicks = 0;
        during(w, a);
        startCycle(a);
        QString state = QString("%1 %2").arg(
            w.port()->isOpen() ? "open" : "closed", a->isHidden() ? "hidden" : "shown");
        if (clicks)
            state += QString(" %1 clicks %2 sends").arg(clicks).arg(spy.size());
        QTEST(state, "state");
        QCOMPARE(written(pty, wire.size(), 400), wire);
        QVERIFY(boxes->calls.isEmpty());
        if (w.port()->isOpen()) {
            a->show();
            interval(a)->setValue(0);
            cycleButton(a)->click(); // the next pass runs in full
            QCOMPARE(pty->readAtLeast(count), QByteArray("12345").left(count));
        }
    }

    void endingProgramEndsCycle_data()
    {
        const auto add = columns<QString>("how"); // closing the port: cycleInterrupted
        for (const char* how : { "quit", "tray quit", "main window closed" })
            add(how, how);
    }

    void endingProgramEndsCycle()
    {
        QFETCH(QString, how);
        MainWindow::setTrayAvailability(0); // closing the main window asks, then quits
        MainWindow w;
        AdvancedSend* a = showNumbered(w, 10, 1000, 0);
        // In the program's loop: row "0" goes out at 1 s; at 1.5 s the user closes it and quits.
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

private:
    int clicks = 0;

    // Opens the port; the window's advanced send window, with these rows filled in.
    AdvancedSend* openWith(MainWindow& w, const QList<Row>& rows, int ms)
    {
        openPort(w, NoTime);
        auto* a = w.findChild<AdvancedSend*>();
        for (const Row& r : rows) {
            AdvancedSendItem* item = a->item(r.number - 1);
            item->dataLineEdit()->setText(r.text);
            item->hexCheckBox()->setChecked(r.hex);
            item->delaySpinBox()->setValue(r.delay);
        }
        interval(a)->setValue(ms);
        return a;
    }

    // Opens the port and shows the window; rows 1 to count send first, first + 1... ms apart.
    AdvancedSend* showNumbered(MainWindow& w, int count, int ms, int first = 1)
    {
        QList<Row> rows;
        for (int n = 1; n <= count; ++n)
            rows.append({ n, QString::number(n - 1 + first), false, 0 });
        AdvancedSend* a = openWith(w, rows, ms);
        w.form()->advancedSendButton->click();
        return a;
    }
};

QTEST_MAIN(tst_AdvancedSend)
#include "tst_advancedsend.moc"
