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
#include <QTextBlock>
#include <QTextDocument>

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

namespace {

// The view's text as toPlainText() gives it, block by block: the same characters, no copy of
// the whole text.
void feedPlainText(const QTextDocument* document, const RecordFile::Sink& sink)
{
    const QChar newline = QLatin1Char('\n');
    QString text;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            sink(&newline, 1);
        text = block.text();
        for (QChar& c : text) {
            switch (c.unicode()) {
            case QChar::Nbsp:
                c = QLatin1Char(' ');
                break;
            case 0xfdd0: // frame start and end
            case 0xfdd1:
            case QChar::ParagraphSeparator:
            case QChar::LineSeparator:
                c = newline;
                break;
            default:
                break;
            }
        }
        sink(text.constData(), text.size());
    }
}

} // namespace

bool MainWindow::saveViewTo(const QString& path, const QString& more)
{
    const QTextDocument* document = ui->recvShowText->document();
    const auto feed = [document, &more](const RecordFile::Sink& sink) {
        feedPlainText(document, sink);
        if (!more.isEmpty())
            sink(more.constData(), more.size());
    };
    QString error;
    if (!RecordFile::write(path, feed, &error)) {
        qDebug() << "record file" << path << "not saved:" << error;
        MsgBox::warning(this, tr("警告"), tr("文件保存失败！\t"));
        return false;
    }
    return true;
}

void MainWindow::slotSaveLogButton()
{
    if (ui->recvShowText->document()->isEmpty()) {
        MsgBox::information(this, tr("通知"), tr("尚无任何数据，无需保存！\t"));
        return;
    }
    const QString path = recordPath(tr("%1/Orv_All_Rec_%2_%3.txt"));
    if (!saveViewTo(path))
        return;
    MsgBox::information(this, tr("通知"),
                        tr("窗口数据已成功保存至指定文件！\n%1\t").arg(QFileInfo(path).absoluteFilePath()));
}

bool MainWindow::automaticSave(const QString& more)
{
    return saveViewTo(recordPath(tr("%1/Orv_Auto_Rec_%2_%3.txt")), more);
}
