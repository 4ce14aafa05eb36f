// Record files: the receive view saved by hand or before the automatic clear.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/messagebox.h"
#include "serial/recordfile.h"
#include "serial/recordname.h"
#include "share/logshareddialog.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>

QString MainWindow::recordSourceName() const
{
    return RecordName::sourceName(logSharedDialog->shareMode(), logSharedDialog->sourceName(),
                                  ui->serialNumComboBox->currentText());
}

QString MainWindow::recordPath(const QString& pattern) const
{
    return RecordName::build(pattern, QStringLiteral("Record"), recordSourceName(),
                             QDateTime::currentDateTime(),
                             [](const QString& path) { return QFileInfo::exists(path); });
}

bool MainWindow::saveViewTo(const QString& path, const QString& text)
{
    QString error;
    if (!RecordFile::write(path, text, &error)) {
        qDebug() << "record file" << path << "not saved:" << error;
        MsgBox::warning(this, tr("警告"), tr("文件保存失败！\t"));
        return false;
    }
    return true;
}

void MainWindow::slotSaveLogButton()
{
    const QString text = ui->recvShowText->toPlainText();
    if (text.isEmpty()) {
        MsgBox::information(this, tr("通知"), tr("尚无任何数据，无需保存！\t"));
        return;
    }
    const QString path = recordPath(tr("%1/Orv_All_Rec_%2_%3.txt"));
    if (!saveViewTo(path, text))
        return;
    MsgBox::information(this, tr("通知"),
                        tr("窗口数据已成功保存至指定文件！\n%1\t").arg(QFileInfo(path).absoluteFilePath()));
}

bool MainWindow::automaticSave(const QString& text)
{
    return saveViewTo(recordPath(tr("%1/Orv_Auto_Rec_%2_%3.txt")), text);
}
