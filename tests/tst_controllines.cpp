// DTR/RTS, modem indicators, flow control and line errors, on ptys the preloaded shim extends.
#include "app/mainwindow.h"
#include "serial/core/lineerrors.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <dlfcn.h>
#include <sys/ioctl.h>

// The shim's API, when it is loaded.
struct Shim {
    template <typename F> static F find(const char* name)
    {
        return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
    }
    void (*reset)() = find<void (*)()>("quillon_ptyshim_reset");
    void (*setEnabled)(int) = find<void (*)(int)>("quillon_ptyshim_set_enabled");
    int (*lines)() = find<int (*)()>("quillon_ptyshim_lines");
    void (*setInputs)(int) = find<void (*)(int)>("quillon_ptyshim_set_inputs");
    int (*history)(int*, long long*, int) = find<decltype(history)>("quillon_ptyshim_history");
    void (*setCounts)(int, int, int, int, int)
        = find<decltype(setCounts)>("quillon_ptyshim_set_counts");
    bool loaded() const { return reset && setEnabled && lines && history && setCounts; }
    QVector<QPair<int, long long>> changes() const
    {
        int bits[64];
        long long ms[64];
        const int n = qMin(history(bits, ms, 64), 64);
        QVector<QPair<int, long long>> out;
        for (int i = 0; i < n; ++i)
            out.append({ bits[i], ms[i] });
        return out;
    }
};

const int DTR = TIOCM_DTR;
const int RTS = TIOCM_RTS;

Q_DECLARE_METATYPE(LineErrors::Counts)

class tst_ControlLines : public PtyWindowTest {
    Q_OBJECT

private slots:
    void init()
    {
        if (shim.loaded()) {
            shim.setEnabled(1);
            shim.reset();
        } else if (QByteArray(QTest::currentTestFunction()) != "markerLine"
            && QByteArray(QTest::currentTestFunction()) != "plainPtyGreysOut") {
            QSKIP("the pty shim is not loaded");
        }
        PtyWindowTest::init();
    }

    void markerLine_data()
    {
        using C = LineErrors::Counts;
        const auto add = columns<C, C, QString>("before", "now", "marker");
        add("nothing moved", { 3, 0, 1, 0, 0 }, { 3, 0, 1, 0, 0 }, QString());
        add("overrun", {}, { 2, 0, 0, 0, 0 },
            "⚠ 12:34:56.789 线路错误：溢出 +2（此处可能丢失数据）");
        add("all of them", { 1, 1, 1, 1, 1 }, { 2, 3, 4, 5, 6 },
            "⚠ 12:34:56.789 线路错误：溢出 +1，缓冲区溢出 +2，帧错误 +3，"
            "校验错误 +4，中断 +5（此处可能丢失数据）");
        add("a count that went back gained nothing", { 9, 0, 0, 7, 0 }, { 0, 0, 0, 8, 0 },
            "⚠ 12:34:56.789 线路错误：校验错误 +1（此处可能丢失数据）");
    }

    void markerLine()
    {
        QFETCH(LineErrors::Counts, before);
        QFETCH(LineErrors::Counts, now);
        QFETCH(QString, marker);
        const LineErrors::Counts gained = LineErrors::increase(before, now);
        QCOMPARE(LineErrors::markerLine(gained, QTime(12, 34, 56, 789)), marker);
        // Totals saturate instead of wrapping back to nothing.
        const LineErrors::Counts total = LineErrors::sum({ 0xFFFFFFF0u, 0, 0, 0, 0 }, gained);
        QVERIFY(LineErrors::totalsText(total).startsWith("线路错误：溢出 4294967"));
    }

    void checkBoxesSetTheLines()
    {
        MainWindow w;
        openPort(w);
        // Shown at first, the lines after each click, then the changes made and shown at last.
        QList<int> seen { checkedLines(w) };
        for (QCheckBox* box :
            { w.form()->dtrCheckBox, w.form()->rtsCheckBox, w.form()->dtrCheckBox }) {
            box->click();
            seen << shim.lines();
        }
        seen << shim.changes().size() << checkedLines(w);
        QCOMPARE(seen, QList<int>({ DTR | RTS, RTS, 0, DTR, 3, DTR }));
    }

    void openSetsLinesAndFlowControl_data()
    {
        // released: the option not to assert DTR and RTS on open.
        const auto add = columns<bool, int, int, int>("released", "flowIndex", "lines", "flow");
        const int none = QSerialPort::NoFlowControl, rtsCts = QSerialPort::HardwareControl;
        add("lines left as the kernel set them", false, 0, DTR | RTS, none);
        add("both released at once", true, 0, 0, none);
        add("RTS/CTS: the driver keeps RTS", true, 1, RTS, rtsCts);
        add("none", false, 0, DTR | RTS, none);
        add("RTS/CTS", false, 1, DTR | RTS, rtsCts);
        add("XON/XOFF", false, 2, DTR | RTS, int(QSerialPort::SoftwareControl));
    }

    void openSetsLinesAndFlowControl()
    {
        QFETCH(bool, released);
        QFETCH(int, flowIndex);
        QFETCH(int, lines);
        QFETCH(int, flow);
        {
            MainWindow w;
            w.form()->noAssertCheckBox->setChecked(released);
            w.form()->flowControlComboBox->setCurrentIndex(flowIndex);
            openPort(w);
            // One call for both lines: a state in between would reset an ESP32. Flow control is
            // fixed while open; the driver owns RTS under RTS/CTS.
            QCOMPARE(QList<int>({ shim.lines(), int(shim.changes().size()), checkedLines(w),
                         int(w.port()->flowControl()), w.form()->flowControlComboBox->isEnabled(),
                         w.form()->rtsCheckBox->isEnabled(), w.form()->dtrCheckBox->isEnabled() }),
                QList<int>({ lines, released ? 1 : 0, lines, flow, false,
                    flow != QSerialPort::HardwareControl, true }));
        }
        MainWindow again;
        QCOMPARE(again.form()->noAssertCheckBox->isChecked(), released);
        QCOMPARE(again.form()->flowControlComboBox->currentIndex(), flowIndex);
    }

    void pulses_data()
    {
        const auto add = columns<bool, bool, QVector<int>>("boot", "released", "steps");
        add("reset, lines released", false, true, { RTS, DTR | RTS, 0 });
        add("download mode, lines asserted", true, false, { RTS, DTR, DTR | RTS });
    }

    void pulses()
    {
        QFETCH(bool, boot);
        QFETCH(bool, released);
        QFETCH(QVector<int>, steps);
        MainWindow w;
        auto* ui = w.form();
        ui->noAssertCheckBox->setChecked(released);
        openPort(w);
        QPushButton* button = boot ? ui->bootModeButton : ui->resetButton;
        QVERIFY(button->toolTip().contains("100 ms"));
        const int before = shim.changes().size();
        button->click();
        QVERIFY(!ui->resetButton->isEnabled() && !ui->bootModeButton->isEnabled());
        QTRY_COMPARE(shim.changes().size(), before + steps.size());
        const auto changes = shim.changes().mid(before);
        for (int i = 0; i < steps.size(); ++i) {
            QCOMPARE(changes.at(i).first, steps.at(i));
            // Each step holds at least the pulse width; the first has nothing before it.
            const long long width = i ? changes.at(i).second - changes.at(i - 1).second : 100;
            QVERIFY2(width >= 99 && width < 2000, qPrintable(QString::number(width)));
        }
        QTRY_VERIFY(ui->resetButton->isEnabled() && ui->bootModeButton->isEnabled());
        QCOMPARE(ui->dtrCheckBox->isChecked(), !released);
    }

    void indicatorsFollowTheInputs()
    {
        MainWindow w;
        openPort(w);
        auto* ui = w.form();
        auto lit = [](QLabel* l) { return l->property("lit").toBool(); };
        shim.setInputs(TIOCM_CTS | TIOCM_CAR);
        QTRY_VERIFY(lit(ui->ctsLabel) && lit(ui->dcdLabel));
        QVERIFY(!lit(ui->dsrLabel) && !lit(ui->riLabel));
        shim.setInputs(TIOCM_DSR | TIOCM_RNG);
        QTRY_VERIFY(lit(ui->dsrLabel) && lit(ui->riLabel));
        QVERIFY(!lit(ui->ctsLabel) && !lit(ui->dcdLabel));
        ui->openSerialButton->click();
        QVERIFY(!lit(ui->dsrLabel) && !ui->dsrLabel->isEnabled());
    }

    void lineErrorsMarkTheStream()
    {
        // Counted before this open: not ours.
        shim.setCounts(5, 0, 0, 0, 0);
        MainWindow w;
        openPort(w, NoTime | LiveRecord);
        auto* label = w.findChild<QLabel*>("lineErrorLabel");
        QVERIFY(pty->write("a\n"));
        QTRY_VERIFY(viewText(w).endsWith("RX←◆a"));
        shim.setCounts(7, 0, 0, 0, 0);
        QTRY_VERIFY(viewText(w).endsWith("（此处可能丢失数据）"));
        QVERIFY(pty->write("b\n"));
        QTRY_VERIFY(viewText(w).endsWith("RX←◆b"));
        QVERIFY(label->isHidden() == false);
        shim.setCounts(7, 0, 1, 2, 0);
        QTRY_VERIFY(viewText(w).endsWith("（此处可能丢失数据）"));
        QTest::qWait(200); // no second marker follows
        QCOMPARE(viewText(w).replace(
                     QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d{3}"), "hh:mm:ss.zzz"),
            QString("RX←◆a\n⚠ hh:mm:ss.zzz 线路错误：溢出 +2（此处可能丢失数据）\nRX←◆b\n"
                    "⚠ hh:mm:ss.zzz 线路错误：帧错误 +1，校验错误 +2（此处可能丢失数据）"));
        QCOMPARE(label->text(), QString("线路错误：溢出 2，帧错误 1，校验错误 2"));
        QCOMPARE(QString::fromUtf8(fileBytes(w.liveRecorder()->fileName()))
                     .split('\n', Qt::SkipEmptyParts),
            viewLines(w));
        // A new session starts from nothing.
        w.form()->openSerialButton->click();
        openPort(w);
        QVERIFY(label->isHidden());
    }

    void plainPtyGreysOut()
    {
        if (shim.loaded())
            shim.setEnabled(0);
        MainWindow w;
        openPort(w);
        auto* ui = w.form();
        for (QWidget* control : QList<QWidget*> { ui->dtrCheckBox, ui->rtsCheckBox, ui->resetButton,
                 ui->bootModeButton, ui->ctsLabel }) {
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
            QVERIFY(control->toolTip().contains("不支持控制线"));
        }
        // The port's own attempt fails as unsupported: the port stays open, without a box.
        QVERIFY(!w.port()->setRequestToSend(false));
        QCOMPARE(w.port()->error(), QSerialPort::UnsupportedOperationError);
        QTest::qWait(100); // nor does it close a moment later
        QVERIFY(w.port()->isOpen());
        QVERIFY(boxes->calls.isEmpty());
        QVERIFY(w.findChild<QLabel*>("lineErrorLabel")->isHidden());
    }

private:
    // The lines the DTR and RTS check boxes show as set.
    static int checkedLines(MainWindow& w)
    {
        return (w.form()->dtrCheckBox->isChecked() ? DTR : 0)
            | (w.form()->rtsCheckBox->isChecked() ? RTS : 0);
    }

    Shim shim;
};

QTEST_MAIN(tst_ControlLines)
#include "tst_controllines.moc"
