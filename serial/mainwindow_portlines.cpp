// DTR/RTS, the modem-status lines, flow control and the kernel's line-error counts of the open
// port. Everything here works on the port's descriptor directly: QSerialPort sets DTR and RTS in
// two calls, and a state in between resets an ESP32.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

constexpr int kOutputBits = TIOCM_DTR | TIOCM_RTS;

// The driver has no such call (a pty, some USB adapters); 515 is the kernel's ENOIOCTLCMD.
bool unsupported(int error)
{
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP || error == 515;
}

bool readCounts(int fd, LineErrors::Counts* counts)
{
    serial_icounter_struct ic {};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return false;
    counts->overrun = quint32(ic.overrun);
    counts->bufOverrun = quint32(ic.buf_overrun);
    counts->frame = quint32(ic.frame);
    counts->parity = quint32(ic.parity);
    counts->brk = quint32(ic.brk);
    return true;
}

void setLit(QLabel* indicator, bool lit)
{
    if (indicator->property("lit").toBool() == lit && indicator->property("lit").isValid())
        return;
    indicator->setProperty("lit", lit);
    indicator->setStyleSheet(
        lit ? QStringLiteral("color:#00A000;font-weight:bold;") : QStringLiteral("color:#A0A0A0;"));
}

} // namespace

void MainWindow::setUpControlLines()
{
    lineStateTimer = new QTimer(this);
    lineStateTimer->setInterval(LinePollMs);
    connect(lineStateTimer, &QTimer::timeout, this, &MainWindow::slotPollLines);
    // A pulse is never shorter than it says.
    pulseTimer = new QTimer(this);
    pulseTimer->setSingleShot(true);
    pulseTimer->setTimerType(Qt::PreciseTimer);
    connect(pulseTimer, &QTimer::timeout, this, &MainWindow::slotPulseStep);

    lineErrorLabel = new QLabel(this);
    lineErrorLabel->setObjectName(QStringLiteral("lineErrorLabel"));
    lineErrorLabel->setStyleSheet(QStringLiteral("color:#FF0000;"));
    lineErrorLabel->setToolTip(tr("自打开串口以来驱动统计的线路错误，每次出现都在接收区标出位置"));
    statusBar()->insertWidget(2, lineErrorLabel);
    lineErrorLabel->hide();

    ui->resetButton->setToolTip(
        tr("复位开发板：RTS置位、DTR释放 %1 ms（ESP32的EN拉低），再DTR、RTS同时置位 %2 ms"
           "（ESP32正常启动；Arduino经电容接DTR的复位电路在此复位），然后恢复原来的DTR/RTS")
            .arg(ControlLines::ResetHoldMs)
            .arg(ControlLines::ResetReleaseMs));
    ui->bootModeButton->setToolTip(
        tr("ESP32进入下载模式：RTS置位、DTR释放 %1 ms（EN拉低），再DTR置位、RTS释放 %2 ms"
           "（IO0拉低时EN释放，芯片进入下载模式），然后恢复原来的DTR/RTS")
            .arg(ControlLines::BootHoldMs)
            .arg(ControlLines::BootStrapMs));
    ui->noAssertCheckBox->setToolTip(
        tr("打开串口后立即同时释放DTR和RTS。Linux在打开时总会先置位这两条线，程序无法阻止；"
           "释放紧随其后（通常只有几毫秒），且两条线同时变化，ESP32的自动复位电路因此不动作，"
           "但经电容接DTR的复位电路（如Arduino）仍可能被触发"));
    for (QWidget* widget : QList<QWidget*> { ui->dtrCheckBox, ui->rtsCheckBox, ui->resetButton,
             ui->bootModeButton, ui->ctsLabel, ui->dsrLabel, ui->dcdLabel, ui->riLabel })
        lineTips.append({ widget, widget->toolTip() });

    settings->beginGroup(QStringLiteral("LineConfig"));
    const int flow = ControlLines::flowFromIndex(
        settings->value(QStringLiteral("FlowControl"), ControlLines::NoFlow).toInt());
    const bool noAssert = settings->value(QStringLiteral("NoAssertOnOpen"), false).toBool();
    settings->endGroup();
    ui->flowControlComboBox->setCurrentIndex(flow);
    ui->noAssertCheckBox->setChecked(noAssert);

    connect(ui->flowControlComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &MainWindow::slotFlowControlChanged);
    connect(ui->noAssertCheckBox, &QCheckBox::toggled, this, &MainWindow::slotNoAssertOnOpen);
    // clicked, not toggled: showing the lines' state must not set them.
    connect(ui->dtrCheckBox, &QCheckBox::clicked, this, &MainWindow::slotDtrClicked);
    connect(ui->rtsCheckBox, &QCheckBox::clicked, this, &MainWindow::slotRtsClicked);
    connect(ui->resetButton, &QPushButton::clicked, this, &MainWindow::slotResetButton);
    connect(ui->bootModeButton, &QPushButton::clicked, this, &MainWindow::slotBootModeButton);
    refreshLineControls(false);
}

QSerialPort::FlowControl MainWindow::chosenFlowControl() const
{
    switch (ControlLines::flowFromIndex(ui->flowControlComboBox->currentIndex())) {
    case ControlLines::RtsCts:
        return QSerialPort::HardwareControl;
    case ControlLines::XonXoff:
        return QSerialPort::SoftwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

void MainWindow::slotFlowControlChanged(int index)
{
    settings->beginGroup(QStringLiteral("LineConfig"));
    settings->setValue(QStringLiteral("FlowControl"), ControlLines::flowFromIndex(index));
    settings->endGroup();
}

void MainWindow::slotNoAssertOnOpen(bool checked)
{
    settings->beginGroup(QStringLiteral("LineConfig"));
    settings->setValue(QStringLiteral("NoAssertOnOpen"), checked);
    settings->endGroup();
}

void MainWindow::linesOpened()
{
    const int fd = serialPort->handle();
    int bits = 0;
    linesSupported = ::ioctl(fd, TIOCMGET, &bits) == 0;
    // Linux asserts both while opening (and again on leaving B0, which the open's own speed
    // setting does), before any call of ours: they can only be released right after, together.
    const ControlLines::Outputs release
        = ControlLines::releaseAtOpen(ui->noAssertCheckBox->isChecked(),
            ControlLines::flowFromIndex(ui->flowControlComboBox->currentIndex()));
    int releaseBits = (release.dtr ? TIOCM_DTR : 0) | (release.rts ? TIOCM_RTS : 0);
    if (linesSupported && (bits & releaseBits))
        ::ioctl(fd, TIOCMBIC, &releaseBits);
    countsSeen = LineErrors::Counts();
    countersSupported = readCounts(fd, &countsSeen);
    lineErrorTotals = LineErrors::Counts();
    lineErrorLabel->hide();
    refreshLineControls(true);
    if (linesSupported || countersSupported) {
        lineStateTimer->start();
        slotPollLines();
    }
}

void MainWindow::linesClosing()
{
    // Errors noticed just before the close still get their marker.
    slotPollLines();
    lineStateTimer->stop();
    pulseTimer->stop();
    pulseSteps.clear();
    linesSupported = false;
    countersSupported = false;
    refreshLineControls(false);
}

void MainWindow::refreshLineControls(bool open)
{
    const ControlLines::Controls controls = ControlLines::controlsFor(open, linesSupported,
        ControlLines::flowFromIndex(ui->flowControlComboBox->currentIndex()),
        !pulseSteps.isEmpty());
    ui->dtrCheckBox->setEnabled(controls.outputs);
    ui->rtsCheckBox->setEnabled(controls.rts);
    ui->resetButton->setEnabled(controls.pulses);
    ui->bootModeButton->setEnabled(controls.pulses);
    for (QLabel* indicator : { ui->ctsLabel, ui->dsrLabel, ui->dcdLabel, ui->riLabel }) {
        indicator->setEnabled(controls.inputs);
        if (!controls.inputs)
            setLit(indicator, false);
    }
    if (!linesSupported) {
        ui->dtrCheckBox->setChecked(false);
        ui->rtsCheckBox->setChecked(false);
    }
    for (const auto& tip : qAsConst(lineTips))
        tip.first->setToolTip(tip.first->isEnabled() || controls.why.isEmpty()
                ? tip.second
                : tip.second + QLatin1Char('\n') + controls.why);
}

void MainWindow::showLines(int bits)
{
    ui->dtrCheckBox->setChecked(bits & TIOCM_DTR);
    ui->rtsCheckBox->setChecked(bits & TIOCM_RTS);
    setLit(ui->ctsLabel, bits & TIOCM_CTS);
    setLit(ui->dsrLabel, bits & TIOCM_DSR);
    setLit(ui->dcdLabel, bits & TIOCM_CAR);
    setLit(ui->riLabel, bits & TIOCM_RNG);
}

void MainWindow::lineCallFailed()
{
    // An adapter without modem lines: greyed out, never a reason to close the port.
    if (!unsupported(errno))
        return;
    linesSupported = false;
    pulseTimer->stop();
    pulseSteps.clear();
    refreshLineControls(serialPort->isOpen());
}

bool MainWindow::setOutputLines(int mask, const ControlLines::Outputs& want)
{
    if (!serialPort->isOpen() || !linesSupported)
        return false;
    const int fd = serialPort->handle();
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0) {
        lineCallFailed();
        return false;
    }
    const int wanted = (want.dtr ? TIOCM_DTR : 0) | (want.rts ? TIOCM_RTS : 0);
    // One call for both; the other bits as they were (OUT2 gates the interrupt of a PC UART).
    bits = (bits & ~(mask & kOutputBits)) | (wanted & mask);
    if (::ioctl(fd, TIOCMSET, &bits) != 0) {
        lineCallFailed();
        return false;
    }
    showLines(bits);
    return true;
}

void MainWindow::slotDtrClicked(bool checked)
{
    // A line that did not change shows as it is (or greyed out, when the port has none).
    if (!setOutputLines(TIOCM_DTR, { checked, false }) && linesSupported)
        slotPollLines();
}

void MainWindow::slotRtsClicked(bool checked)
{
    if (!setOutputLines(TIOCM_RTS, { false, checked }) && linesSupported)
        slotPollLines();
}

void MainWindow::slotResetButton() { startPulse(&ControlLines::resetSequence); }

void MainWindow::slotBootModeButton() { startPulse(&ControlLines::bootloaderSequence); }

void MainWindow::startPulse(QVector<ControlLines::Step> (*sequence)(ControlLines::Outputs))
{
    int bits = 0;
    if (!pulseSteps.isEmpty() || !linesSupported || !serialPort->isOpen())
        return;
    if (::ioctl(serialPort->handle(), TIOCMGET, &bits) != 0) {
        lineCallFailed();
        return;
    }
    pulseSteps = sequence({ bool(bits & TIOCM_DTR), bool(bits & TIOCM_RTS) });
    pulseNext = 0;
    refreshLineControls(true);
    slotPulseStep();
}

void MainWindow::slotPulseStep()
{
    if (pulseNext >= pulseSteps.size())
        return;
    const ControlLines::Step step = pulseSteps.at(pulseNext++);
    if (setOutputLines(kOutputBits, step.lines) && pulseNext < pulseSteps.size()) {
        pulseTimer->start(step.waitMs);
        return;
    }
    pulseSteps.clear();
    refreshLineControls(serialPort->isOpen());
}

void MainWindow::slotPollLines()
{
    if (!serialPort->isOpen())
        return;
    const int fd = serialPort->handle();
    if (linesSupported) {
        int bits = 0;
        if (::ioctl(fd, TIOCMGET, &bits) == 0)
            showLines(bits);
        else
            lineCallFailed();
    }
    if (countersSupported) {
        LineErrors::Counts now;
        if (readCounts(fd, &now))
            noteLineErrors(now);
        else if (unsupported(errno))
            countersSupported = false;
    }
    if (!linesSupported && !countersSupported)
        lineStateTimer->stop();
}

void MainWindow::noteLineErrors(const LineErrors::Counts& now)
{
    const LineErrors::Counts gained = LineErrors::increase(countsSeen, now);
    countsSeen = now;
    if (!LineErrors::any(gained))
        return;
    lineErrorTotals = LineErrors::sum(lineErrorTotals, gained);
    const QString marker = LineErrors::markerLine(gained, QTime::currentTime());
    // Behind what was formatted so far: the lost bytes were due about here.
    showLocalLine(marker);
    lineErrorLabel->setText(LineErrors::totalsText(lineErrorTotals));
    lineErrorLabel->show();
}
