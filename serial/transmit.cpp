// The transmit pipeline and file transfer of the main window.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QSettings>
#include <QTimer>

void MainWindow::slotSendTextChanged()
{
    settings->beginGroup(QStringLiteral("SendAreaData"));
    settings->setValue(QStringLiteral("SendData"), ui->sendDataTextEdit->toPlainText());
    settings->endGroup();
}

void MainWindow::slotAutoSendTimer(int index)
{
    if (index != 0)
        autoSendTimer->start(ui->timeAutoSpinBox->value());
    else
        autoSendTimer->stop();
}

void MainWindow::slotSendDataButton() { }
void MainWindow::slotSerialSendData(QString, bool, int) { }
void MainWindow::slotOpenFileButton() { }
void MainWindow::slotSendFileButton() { }
void MainWindow::slotFileSendData() { }
