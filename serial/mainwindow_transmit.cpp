// The transmit pipeline and file transfer of the main window.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/messagebox.h"
#include "serial/core/regularfile.h"
#include "serial/core/rxformat.h"
#include "serial/core/senddelay.h"
#include "serial/core/txformat.h"
#include "shell/extrasettingdialog.h"
#include "tools/advancedsend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

// Whole files are held in memory and paced at 10 KB/s: anything larger would take hours.
static const qint64 kMaxFileBytes = 64 << 20;

// Why a file that is not a regular one cannot be used, in the user's words.
static QString kindText(RegularFile::Kind kind)
{
    switch (kind) {
    case RegularFile::Kind::Directory:
        return MainWindow::tr("是文件夹");
    case RegularFile::Kind::Fifo:
        return MainWindow::tr("是命名管道");
    case RegularFile::Kind::CharDevice:
        return MainWindow::tr("是终端或字符设备");
    case RegularFile::Kind::BlockDevice:
        return MainWindow::tr("是块设备");
    case RegularFile::Kind::Socket:
        return MainWindow::tr("是套接字");
    default:
        return MainWindow::tr("类型未知");
    }
}

// The warning for a file that is neither missing nor unreadable but still cannot be used; an
// empty text for the other cases.
static QString refusalText(const QString& path, const RegularFile::Result& file)
{
    switch (file.status) {
    case RegularFile::Status::NotRegular:
        return MainWindow::tr("文件 %1 不是普通文件（%2），无法读取\t")
            .arg(path, kindText(file.kind));
    case RegularFile::Status::ReadFailed:
        return MainWindow::tr("文件 %1 读取失败：%2\t").arg(path, file.error);
    case RegularFile::Status::TooLarge:
        return MainWindow::tr("文件过大（超过64MB），无法发送！\t");
    default:
        return QString();
    }
}

void MainWindow::slotSerialSendData(QString data, bool isHex, int delayms)
{
    QString echo;
    QByteArray bytes;
    if (isHex) {
        bytes = TxFormat::hexToBytes(data, &echo);
    } else {
        bytes = TxFormat::textToBytes(data, extraSettingDialog->codec());
        echo = data;
    }
    if (ui->addLFCheckBox->isChecked()) {
        bytes += "\r\n";
        echo += isHex ? QStringLiteral("0D 0A") : QStringLiteral("\r\n");
    }
    echo.prepend(RxFormat::linePrefix(
        ui->showTimeCheckBox->isChecked(), RxFormat::txMarker(), QTime::currentTime()));

    // Cut short by closing the port, closing the window or quitting: a pass of the advanced send
    // window ends with it, and nothing goes out.
    if (!SendDelay::wait(delayms)) {
        advancedSend->stopCycleSend();
        return;
    }

    if (serialPort->write(bytes) == -1) {
        MsgBox::warning(this, tr("警告"), tr("发送失败：%1\t").arg(echo));
        return;
    }
    // A line end of the text ends the echo's line; the view has no use for the CR.
    showLocalLine(echo.replace(QLatin1String("\r\n"), QLatin1String("\n")), LineStore::Sent);
    updateCounters(sendLabel, bytes.size());
}

void MainWindow::slotSendDataButton()
{
    QString text = ui->sendDataTextEdit->toPlainText();
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    const bool hex = ui->sendHexCheckBox->isChecked();
    if (hex) {
        text.remove(QLatin1Char(' '));
        if (!TxFormat::isValidHex(text)) {
            MsgBox::warning(
                this, tr("警告"), tr("不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t"));
            return;
        }
    }
    slotSerialSendData(text, hex, 0);
}

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

void MainWindow::slotOpenFileButton()
{
    settings->beginGroup(QStringLiteral("FileOpenDir"));
    const QString start = settings->value(QStringLiteral("FilePath"), QString()).toString();
    settings->endGroup();

    const QString path = MsgBox::getOpenFileName(this, tr("打开文件"), start,
        tr("所有支持的文件(*.*);;bin文件(*.bin);;hex文件(*.hex);;dat文件(*.dat)"));
    if (path.isEmpty())
        return;
    const RegularFile::Result file = RegularFile::read(path, TxFormat::PreviewBytes);
    if (file.status != RegularFile::Status::Ok) {
        const QString refusal = refusalText(path, file);
        MsgBox::warning(
            this, tr("警告"), refusal.isEmpty() ? tr("文件 %1 打开失败\t").arg(path) : refusal);
        return;
    }
    const QByteArray& head = file.data;
    const qint64 size = file.size;

    // Behind the lines received so far, and in the record like everything the view shows.
    showLocalLine(tr("文件大小:%1字节,下面是预览的前4000字节内容:\n\n").arg(size)
        + TxFormat::previewText(head));

    settings->beginGroup(QStringLiteral("FileOpenDir"));
    settings->setValue(QStringLiteral("FilePath"), QFileInfo(path).absoluteFilePath());
    settings->endGroup();
    ui->fileDataLineEdit->setText(path);
}

void MainWindow::finishFileTransfer()
{
    ui->sendFileButton->setText(tr("发送文件"));
    ui->openFileButton->setEnabled(true);
    ui->fileProgressLabel->hide();
    ui->fileProgressBar->hide();
    ui->sendDataTextEdit->show();
    fileSendTimer->stop();
}

void MainWindow::slotSendFileButton()
{
    if (ui->sendFileButton->text() != tr("发送文件")) {
        finishFileTransfer();
        return;
    }

    const QString path = ui->fileDataLineEdit->text();
    if (path.isEmpty()) {
        MsgBox::warning(this, tr("警告"), tr("没有指定文件路径！\t"));
        return;
    }
    // F8 and the upgrade dialogue reach here with the file area disabled: never fake a success.
    if (!serialPort->isOpen()) {
        MsgBox::warning(this, tr("警告"), tr("串口未打开，无法发送文件！\t"));
        return;
    }
    RegularFile::Result file = RegularFile::read(path, kMaxFileBytes, kMaxFileBytes);
    if (file.status != RegularFile::Status::Ok) {
        const QString refusal = refusalText(path, file);
        MsgBox::warning(this, tr("警告"), refusal.isEmpty() ? tr("打开文件失败！\t") : refusal);
        return;
    }
    const qint64 size = file.data.size();
    const float estimate = TxFormat::estimateSeconds(size);
    showLocalLine(tr("文件大小: %1").arg(size));
    showLocalLine(tr("波特率: %1").arg(ui->burdrateComboBox->currentText()));
    showLocalLine(
        tr("需要时间: 大约用时 %1 秒(每包数据512字节，周期50毫秒)").arg(double(estimate)));
    showLocalLine(tr("请稍候...\n"));

    fileSentData.clear();
    fileData = std::move(file.data);

    ui->fileProgressLabel->setText(tr("文件大小：%1 字节，已发送：%2 字节，状态：传输中")
                                       .arg(fileData.size())
                                       .arg(fileSentData.size()));
    ui->sendFileButton->setText(tr("停止发送"));
    ui->openFileButton->setEnabled(false);
    ui->fileProgressLabel->show();
    ui->fileProgressBar->show();
    ui->sendDataTextEdit->hide();
    fileSendTimer->start(50);
}

void MainWindow::slotFileSendData()
{
    const qint64 sent = fileSentData.size();
    const qint64 total = fileData.size();
    if (sent < total) {
        const int n = TxFormat::nextPacketSize(sent, total);
        const QByteArray packet = fileData.mid(int(sent), n);
        if (serialPort->write(packet) == -1) {
            const QString reason = serialPort->errorString();
            finishFileTransfer();
            MsgBox::warning(this, tr("警告"), tr("文件发送失败：%1\t").arg(reason));
            return;
        }
        serialPort->flush();
        fileSentData.append(packet);
        updateCounters(sendLabel, n);
        ui->fileProgressBar->setValue(TxFormat::progressValue(fileSentData.size(), total));
        ui->fileProgressLabel->setText(tr("文件大小：%1 字节，已发送：%2 字节，状态：传输中")
                                           .arg(total)
                                           .arg(fileSentData.size()));
        ui->fileProgressLabel->setText(
            TxFormat::dotFormat(&fileDotTick).arg(ui->fileProgressLabel->text()));
        return;
    }
    ui->fileProgressLabel->setText(
        tr("文件大小：%1 字节，已发送：%2 字节，状态：传输完成").arg(total).arg(sent));
    showLocalLine(tr("发送完毕！"));
    finishFileTransfer();
}
