// The main window's side of log sharing: the port controls, the titles and the network intake.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/core/appinfo.h"
#include "app/messagebox.h"
#include "share/logshareddialog.h"

#include <QSettings>
#include <QTimer>

void MainWindow::slotLogShared()
{
    settings->beginGroup(QStringLiteral("LogSharedConfig"));
    settings->setValue(QStringLiteral("ToAddress"), logSharedDialog->toAddressText());
    settings->endGroup();

    if (logSharedDialog->mode() != ShareMode::Receive) {
        // Back to the local port: the controls show the port as it is, paused included.
        if (ui->openSerialButton->text() == tr("打开串口")) {
            ui->serialNumComboBox->setEnabled(true);
            ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kClosed));
            ui->openSerialButton->setEnabled(true);
            ui->pauseRecvButton->setEnabled(false);
        } else if (ui->pauseRecvButton->text() == tr("恢复接收")) {
            ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kLocked));
            ui->openSerialButton->setEnabled(false);
            ui->pauseRecvButton->setEnabled(true);
        } else {
            ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kOpen));
            ui->openSerialButton->setEnabled(true);
            ui->pauseRecvButton->setEnabled(true);
        }
        followNetwork(false);
        return;
    }

    const QMessageBox::StandardButton answer = MsgBox::question(this, tr("开启日记共享"),
        tr("是否确认要开启日记共享功能？\n这会清空本地缓存和无法打开本地串口\t"),
        QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) {
        ui->recvAreaGroupBox->setTitle(tr("接收区 - 来源串口"));
        return;
    }

    // Closed through the ordinary path; paused or not, the button's own slot closes it.
    if (ui->openSerialButton->text() == tr("关闭串口"))
        slotOpenSerialButton();
    // Auto-send keeps the port open: the network must not mix with it, so stay on the port.
    if (ui->openSerialButton->text() == tr("关闭串口")) {
        ui->recvAreaGroupBox->setTitle(tr("接收区 - 来源串口"));
        return;
    }

    ui->recvShowText->clear();
    // Half a line left from the port would otherwise prefix the first line from the network.
    display->reset();
    startLiveSession();

    ui->serialNumComboBox->setEnabled(false);
    ui->openSerialButton->setEnabled(false);
    ui->pauseRecvButton->setEnabled(false);
    ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kLocked));
    followNetwork(true);
}

void MainWindow::followNetwork(bool on)
{
    // Disconnected first: confirming twice must not show the bytes twice.
    disconnect(logSharedDialog, &LogSharedDialog::formData, this, &MainWindow::slotRecvFromData);
    disconnect(
        logSharedDialog, &LogSharedDialog::signalPeerJoined, this, &MainWindow::slotPeerJoined);
    disconnect(logSharedDialog, &LogSharedDialog::signalPeerLeft, this, &MainWindow::slotPeerLeft);
    if (!on)
        return;
    connect(logSharedDialog, &LogSharedDialog::formData, this, &MainWindow::slotRecvFromData);
    connect(logSharedDialog, &LogSharedDialog::signalPeerJoined, this, &MainWindow::slotPeerJoined);
    connect(logSharedDialog, &LogSharedDialog::signalPeerLeft, this, &MainWindow::slotPeerLeft);
}

void MainWindow::slotPeerJoined()
{
    applySteps(display->portOpened(displaySettings(), lineLimit()));
    startLiveSession();
}

void MainWindow::slotPeerLeft()
{
    // Shown to the end like a closed port's, its unfinished last line as a line of its own.
    display->portClosed();
    // A live record is named when its first line is formatted: while the peer is still named,
    // not in a later tick. The rest follows into the same file.
    if (ui->liveRecordCheckBox->isChecked() && !liveRecord->isOpen())
        slotShowDataTimeout();
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::slotStateInfo(QString info)
{
    switch (logSharedDialog->mode()) {
    case ShareMode::Receive: {
        const QString source = logSharedDialog->sourceName();
        if (!source.isEmpty() && trayIcon)
            trayIcon->setToolTip(AppInfo::trayTip(source));
        ui->recvAreaGroupBox->setTitle(tr("接收区 - ") + info);
        break;
    }
    case ShareMode::Send:
        ui->recvAreaGroupBox->setTitle(tr("接收区 - 来源串口") + info);
        break;
    default:
        if (!serialPort->isOpen() && trayIcon)
            trayIcon->setToolTip(AppInfo::trayTip() + QStringLiteral("\r\n"));
        MsgBox::information(this, QStringLiteral("Quillon"), tr("日志共享功能已关闭\t"));
        ui->recvAreaGroupBox->setTitle(tr("接收区 - 来源串口"));
        break;
    }
}
