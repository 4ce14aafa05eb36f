// Port discovery, opening, closing, pausing and unplug handling of the main window.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/core/appinfo.h"
#include "app/core/startoptions.h"
#include "app/messagebox.h"
#include "app/updateinterface.h"
#include "serial/core/portidentity.h"
#include "serial/core/portlist.h"
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "tools/advancedsend.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTime>
#include <QTimer>

// The port settings are fixed while it is open; sending and pausing need it open.
static void enablePortControls(Ui::MainWindow* ui, bool open)
{
    for (QWidget* setting :
        QList<QWidget*> { ui->serialNumComboBox, ui->burdrateComboBox, ui->dataBitsComboBox,
            ui->checksumComboBox, ui->stopBitsComboBox, ui->flowControlComboBox })
        setting->setEnabled(!open);
    for (QWidget* use : QList<QWidget*> { ui->fileAreaGroupBox, ui->sendDataButton,
             ui->pauseRecvButton, ui->advancedSendButton })
        use->setEnabled(open);
}

// The port's own read buffer: with the display behind, a flood waits in the driver, not here.
static const qint64 kPortReadBuffer = 1 << 20;

MainWindow::PortTable MainWindow::scanPorts()
{
    PortTable raw;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        raw.append({ info.portName(), info.description() });
    // Virtual ports (ptys, socat links) are not listed by the system: they come from the
    // environment.
    const auto extra
        = PortList::parseExtraPorts(QString::fromLocal8Bit(qgetenv("QUILLON_EXTRA_PORTS")),
            QCoreApplication::translate("MainWindow", "Virtual serial port"));
    for (const auto& port : extra)
        if (QFileInfo::exists(port.first))
            raw.append(port);
    return PortList::normalized(raw);
}

// The USB devices' identities, as udev publishes them.
static PortIdentity::Links serialLinks()
{
    PortIdentity::Links links;
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    const auto entries = dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries)
        links.append({ entry.fileName(), entry.canonicalFilePath() });
    return links;
}

bool MainWindow::portIsOpen() const { return ui->openSerialButton->text() == tr("关闭串口"); }

void MainWindow::slotUpdateSerialPort()
{
    if (extraSettingDialog->isHidden() && checkUpdatePending) {
        checkUpdatePending = false;
        if (updatePlugin)
            updatePlugin->checkForUpdate(
                QStringLiteral("Quillon-Setup"), AppInfo::version(), &QCoreApplication::quit);
    }

    if (logSharedDialog->mode() == ShareMode::Receive) {
        // The network took the view: the port is not waited for any more.
        if (waitingForPort)
            stopWaiting(false);
        return;
    }

    const PortTable table = scanPorts();

    if (table.isEmpty())
        ui->openSerialButton->setEnabled(false);
    else
        ui->openSerialButton->setEnabled(ui->pauseRecvButton->text() == tr("暂停接收"));
    // Waiting with no port at all: the button still ends the wait.
    if (waitingForPort)
        ui->openSerialButton->setEnabled(true);

    // On Linux built-in and virtual ports have empty descriptions: the name alone decides.
    const QString currentName = PortList::portNameOf(ui->serialNumComboBox->currentText());
    if (!PortList::contains(table, currentName) && portIsOpen()
        && extraSettingDialog->autoReconnect()) {
        portVanished(currentName);
    } else if (!PortList::contains(table, currentName) && portIsOpen()) {
        ui->serialNumComboBox->setCurrentText(QString());
        // Auto-send would refuse the close below with a box of its own, at every scan.
        if (ui->autoSendCheckBox->isChecked())
            ui->autoSendCheckBox->setChecked(false);
        autoSendTimer->stop();
        MsgBox::warning(this, tr("警告"), tr("%1: 端口号断开\t").arg(currentName));
        // The port's own error may have closed it while the box was up: a click would reopen.
        if (portIsOpen())
            emit ui->openSerialButton->clicked(true);
    }

    // A device that came back changes the list; one that could not be opened yet is tried again.
    if (PortList::sameNames(table, previousPorts)) {
        if (waitingForPort)
            reconnectIfBack(table);
        return;
    }
    previousPorts = table;

    ui->serialNumComboBox->clear();
    for (const auto& port : table)
        ui->serialNumComboBox->addItem(PortList::entryText(port.first, port.second));
    if (PortList::contains(table, currentName)) {
        const QString entry
            = PortList::entryText(currentName, PortList::descriptionOf(table, currentName));
        ui->serialNumComboBox->setCurrentIndex(
            ui->serialNumComboBox->findData(entry, Qt::DisplayRole, Qt::MatchCaseSensitive));
    }
    if (waitingForPort)
        reconnectIfBack(table);
}

void MainWindow::on_serialNumComboBox_currentTextChanged(QString text)
{
    ui->serialNumComboBox->setToolTip(text.simplified());
}

void MainWindow::loadSerialConfig()
{
    static const int rates[] = { Baud110, Baud300, Baud600, Baud1200, Baud2400, Baud4800, Baud9600,
        Baud19200, Baud38400, Baud57600, Baud115200, Baud230400, Baud460800, Baud921600,
        Baud1000000, Baud1500000, Baud2000000 };
    for (int i = 0; i < ui->burdrateComboBox->count() && i < int(std::size(rates)); ++i)
        ui->burdrateComboBox->setItemData(i, rates[i]);
    static const int dataBits[]
        = { QSerialPort::Data5, QSerialPort::Data6, QSerialPort::Data7, QSerialPort::Data8 };
    for (int i = 0; i < ui->dataBitsComboBox->count() && i < int(std::size(dataBits)); ++i)
        ui->dataBitsComboBox->setItemData(i, dataBits[i]);
    static const int parities[] = { QSerialPort::NoParity, QSerialPort::OddParity,
        QSerialPort::EvenParity, QSerialPort::MarkParity, QSerialPort::SpaceParity };
    for (int i = 0; i < ui->checksumComboBox->count() && i < int(std::size(parities)); ++i)
        ui->checksumComboBox->setItemData(i, parities[i]);
    static const int stopBits[]
        = { QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop };
    for (int i = 0; i < ui->stopBitsComboBox->count() && i < int(std::size(stopBits)); ++i)
        ui->stopBitsComboBox->setItemData(i, stopBits[i]);

    slotUpdateSerialPort();

    // A hand-written file may hold anything: an index the combo box cannot show would leave it
    // blank while the port opened with something else, so such a value counts as missing.
    const auto index = [this](const QString& key, int fallback, const QComboBox* box) {
        bool ok = false;
        const int i = settings->value(key, fallback).toInt(&ok);
        return ok && i >= 0 && i < box->count() ? i : fallback;
    };
    settings->beginGroup(QStringLiteral("SerialConfig"));
    const QString commPort = settings->value(QStringLiteral("CommPort"), QString()).toString();
    const int baud = index(QStringLiteral("BaudRate"), 4, ui->burdrateComboBox);
    const int bits = index(QStringLiteral("DataBits"), 3, ui->dataBitsComboBox);
    const int parity = index(QStringLiteral("ChckBits"), 0, ui->checksumComboBox);
    const int stop = index(QStringLiteral("StopBits"), 0, ui->stopBitsComboBox);
    settings->endGroup();

    ui->serialNumComboBox->setCurrentText(commPort);
    ui->burdrateComboBox->setCurrentIndex(baud);
    ui->dataBitsComboBox->setCurrentIndex(bits);
    ui->checksumComboBox->setCurrentIndex(parity);
    ui->stopBitsComboBox->setCurrentIndex(stop);
}

void MainWindow::setReceiving(bool on)
{
    if (on == receiving)
        return;
    receiving = on;
    if (on)
        connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::slotRecvSerialData);
    else
        disconnect(serialPort, &QSerialPort::readyRead, this, &MainWindow::slotRecvSerialData);
}

void MainWindow::slotOpenSerialButton()
{
    if (waitingForPort) {
        stopWaiting(true);
        return;
    }
    if (ui->openSerialButton->text() == tr("打开串口")) {
        const auto rate = static_cast<eBaudRate>(ui->burdrateComboBox->currentData().toInt());
        const auto dataBits
            = static_cast<QSerialPort::DataBits>(ui->dataBitsComboBox->currentData().toInt());
        const auto parity
            = static_cast<QSerialPort::Parity>(ui->checksumComboBox->currentData().toInt());
        const auto stopBits
            = static_cast<QSerialPort::StopBits>(ui->stopBitsComboBox->currentData().toInt());
        const QString entry = ui->serialNumComboBox->currentText();
        const QString name = PortList::portNameOf(entry);

        serialPort->setPortName(name);
        serialPort->setBaudRate(rate, QSerialPort::AllDirections);
        serialPort->setDataBits(dataBits);
        serialPort->setParity(parity);
        serialPort->setStopBits(stopBits);
        serialPort->setFlowControl(chosenFlowControl());
        serialPort->setReadBufferSize(kPortReadBuffer);
        if (!serialPort->open(QIODevice::ReadWrite)) {
            // Coming back, the device may not take an open yet: the next scan tries again.
            if (reopening)
                return;
            MsgBox::warning(this, tr("警告"),
                tr("串口打开失败：%1 \n[ 请检查是否串口被占用或未连接 ]\t")
                    .arg(serialPort->errorString()));
            return;
        }
        linesOpened();
        vanishing = false;
        openPortName = name;
        openPortIdentity = PortIdentity::identityOf(name, serialLinks());
        applySteps(display->portOpened(displaySettings(), lineLimit()));
        // A reconnection goes on in the live record of the session it interrupted.
        if (!reopening)
            startLiveSession();

        if (trayIcon)
            trayIcon->setToolTip(AppInfo::trayTip(name));
        qDebug() << "serialname:" << entry << rate << dataBits << parity << stopBits;

        settings->beginGroup(QStringLiteral("SerialConfig"));
        settings->setValue(QStringLiteral("CommPort"), entry);
        settings->setValue(QStringLiteral("BaudRate"), ui->burdrateComboBox->currentIndex());
        settings->setValue(QStringLiteral("DataBits"), ui->dataBitsComboBox->currentIndex());
        settings->setValue(QStringLiteral("ChckBits"), ui->checksumComboBox->currentIndex());
        settings->setValue(QStringLiteral("StopBits"), ui->stopBitsComboBox->currentIndex());
        settings->endGroup();

        enablePortControls(ui, true);

        ui->openSerialButton->setText(tr("关闭串口"));
        ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kOpen));
        serialStateLabel->setText(tr("串口已打开 "));
        setReceiving(true);
        // Bytes that arrived before the connection was made would otherwise wait for the next ones.
        if (serialPort->bytesAvailable() > 0)
            QTimer::singleShot(0, this, &MainWindow::slotRecvSerialData);
        return;
    }

    if (autoSendTimer->isActive()) {
        MsgBox::information(this, tr("通知"), tr("请先停用自动发送功能，再尝试关闭串口！\t"));
        return;
    }
    closePort();
}

void MainWindow::closePort()
{
    setReceiving(false);
    // What the port has already read is shown too: closing would drop it.
    takeInPaused();
    if (serialPort->isOpen() && serialPort->bytesAvailable() > 0) {
        const QByteArray rest
            = serialPort->read(qBound<qint64>(0, display->room(), serialPort->bytesAvailable()));
        if (!rest.isEmpty())
            takeIn(rest);
    }
    if (trayIcon)
        trayIcon->setToolTip(AppInfo::trayTip());
    linesClosing();
    serialPort->close();
    advancedSend->stopCycleSend();
    advancedSend->hide();
    // What was received but not shown yet still reaches the view (and the record files): the
    // display tick stops itself once that backlog is shown.
    display->portClosed();
    if (!showDataTimer->isActive())
        showDataTimer->start(10);

    enablePortControls(ui, false);
    // A port that vanished while paused must not leave the open button disabled for good.
    ui->pauseRecvButton->setText(tr("暂停接收"));

    ui->openSerialButton->setText(tr("打开串口"));
    ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kClosed));
    serialStateLabel->setText(tr("串口未打开 "));

    if (ui->sendFileButton->text() != tr("发送文件"))
        slotSendFileButton();
}

void MainWindow::slotPauseRecoverButton()
{
    if (!ui->pauseRecvButton->isEnabled())
        return;
    if (ui->pauseRecvButton->text() == tr("暂停接收")) {
        ui->pauseRecvButton->setText(tr("恢复接收"));
        ui->openSerialButton->setEnabled(false);
        ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kLocked));
        setReceiving(false);
        // The display tick still empties the port while paused (its own buffer is small).
        if (!showDataTimer->isActive())
            showDataTimer->start(10);
    } else {
        ui->pauseRecvButton->setText(tr("暂停接收"));
        ui->openSerialButton->setEnabled(true);
        ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kOpen));
        setReceiving(true);
        takeInPaused();
        // Bytes that piled up during the pause are already buffered: readyRead will not repeat.
        if (serialPort->bytesAvailable() > 0)
            QTimer::singleShot(0, this, &MainWindow::slotRecvSerialData);
    }
}

void MainWindow::slotSerialError(QSerialPort::SerialPortError error)
{
    // The device is gone: Qt would keep firing the dead descriptor until the port is closed.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!serialPort->isOpen() || vanishing)
        return;
    vanishing = true;
    // Leave the error signal first: closing the port inside its own signal is not safe.
    QTimer::singleShot(0, this, [this] { portVanished(openPortName); });
}

void MainWindow::portVanished(const QString& name)
{
    if (!portIsOpen()) {
        vanishing = false;
        return;
    }
    // A vanished port cannot be sent to; auto-send would also keep it from closing.
    if (ui->autoSendCheckBox->isChecked())
        ui->autoSendCheckBox->setChecked(false);
    autoSendTimer->stop();
    // Close before the modal warning so the dead descriptor does not spin inside its event loop.
    closePort();
    vanishing = false;
    if (extraSettingDialog->autoReconnect()) {
        waitForPort(name);
        return;
    }
    MsgBox::warning(this, tr("警告"), tr("%1: 端口号断开\t").arg(name));
}

static QString markerTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

void MainWindow::waitForPort(const QString& name)
{
    lostPortName = name;
    lostPortIdentity = openPortIdentity;
    waitingForPort = true;
    // What the port gave before it went is shown above the marker.
    if (display->waitingBytes() > 0)
        slotShowDataTimeout();
    showLocalLine(tr("⚠ %1 串口已断开，等待重新连接…").arg(markerTime()));
    showWaitingControls();
    portScanTimer->start(ReconnectScanMs);
}

void MainWindow::showWaitingControls()
{
    // The parameters stay as they were: the same device is reopened with them.
    for (QWidget* setting : QList<QWidget*> { ui->serialNumComboBox, ui->burdrateComboBox,
             ui->dataBitsComboBox, ui->checksumComboBox, ui->stopBitsComboBox })
        setting->setEnabled(false);
    ui->openSerialButton->setEnabled(true);
    ui->openSerialButton->setText(tr("等待重连"));
    ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kLocked));
    serialStateLabel->setText(tr("串口已断开，等待重新连接 "));
}

void MainWindow::reconnectIfBack(const PortTable& table)
{
    const QString name
        = PortIdentity::returnedPort(lostPortName, lostPortIdentity, table, serialLinks());
    if (name.isEmpty())
        return;
    const int index = ui->serialNumComboBox->findData(
        PortList::entryText(name, PortList::descriptionOf(table, name)), Qt::DisplayRole,
        Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    ui->serialNumComboBox->setCurrentIndex(index);
    stopWaiting(true);
    reopening = true;
    slotOpenSerialButton();
    reopening = false;
    if (!serialPort->isOpen()) {
        waitingForPort = true;
        showWaitingControls();
        portScanTimer->start(ReconnectScanMs);
        return;
    }
    showLocalLine(tr("✓ %1 已重新连接").arg(markerTime()));
}

void MainWindow::stopWaiting(bool restoreControls)
{
    waitingForPort = false;
    portScanTimer->start(PortScanMs);
    ui->openSerialButton->setText(tr("打开串口"));
    serialStateLabel->setText(tr("串口未打开 "));
    if (!restoreControls)
        return;
    enablePortControls(ui, false);
    ui->openSerialButton->setEnabled(true);
    ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kClosed));
}

void MainWindow::slotAutoReconnect(bool on)
{
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("AutoReconnect"), on);
    settings->endGroup();
    if (!on && waitingForPort)
        stopWaiting(true);
}

void MainWindow::applyStartOptions(const StartOptions& options)
{
    auto* combo = ui->serialNumComboBox;
    if (!options.port.isEmpty()) {
        const QString path = PortIdentity::devicePath(options.port);
        const auto find = [&] {
            for (int i = 0; i < combo->count(); ++i)
                if (PortIdentity::devicePath(PortList::portNameOf(combo->itemText(i))) == path)
                    return i;
            return -1;
        };
        if (find() < 0) {
            // A pty or a link the system does not list: listed for this run like the ports of
            // QUILLON_EXTRA_PORTS, so the scan keeps it while it exists.
            const QByteArray extra = qgetenv("QUILLON_EXTRA_PORTS");
            qputenv("QUILLON_EXTRA_PORTS",
                QFile::encodeName(path) + (extra.isEmpty() ? "" : ";") + extra);
            slotUpdateSerialPort();
        }
        // Missing altogether: selected anyway, so that opening it says why it failed.
        if (find() < 0)
            combo->addItem(PortList::entryText(path, QString()));
        combo->setCurrentIndex(find());
    }
    if (options.baudRate > 0) {
        const int index = ui->burdrateComboBox->findData(options.baudRate);
        if (index >= 0)
            ui->burdrateComboBox->setCurrentIndex(index);
    }
    if (options.open && ui->openSerialButton->text() == tr("打开串口"))
        slotOpenSerialButton();
}
