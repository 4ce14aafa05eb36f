// Record files: the receive view saved by hand or before the automatic clear.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/messagebox.h"
#include "serial/core/recordfile.h"
#include "serial/core/recordname.h"
#include "share/logshareddialog.h"
#include "views/logfilterdialog.h"
#include "views/textbrowser.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

QString MainWindow::recordSourceName() const
{
    return RecordName::sourceName(logSharedDialog->mode(), logSharedDialog->sourceName(),
        ui->serialNumComboBox->currentText());
}

QString MainWindow::recordPath(const QString& pattern) const
{
    return RecordName::build(pattern, QStringLiteral("Record"), recordSourceName(),
        QDateTime::currentDateTime(), [this](const QString& path) {
            // The file being written has its name only once complete.
            return QFileInfo::exists(path) || (recordWriter && recordWriter->holds(path))
                || diskBacklog.holds(path);
        });
}

void MainWindow::slotSaveLogButton()
{
    if (lineStore.isEmpty()) {
        MsgBox::information(this, tr("通知"), tr("尚无任何数据，无需保存！\t"));
        return;
    }
    // Written off the GUI thread like every record file; the box comes when it is done.
    const QString path = recordPath(tr("%1/Orv_All_Rec_%2_%3.txt"));
    savesByHand << path;
    recordWriter->start(path, lineStore.snapshot());
}

void MainWindow::automaticSave()
{
    const QString path = recordPath(tr("%1/Orv_Auto_Rec_%2_%3.txt"));
    const LineStore::Snapshot lines = lineStore.take();
    recordWriter->makeRoomFor(lines.chars());
    recordWriter->start(path, lines);
}

void MainWindow::slotRecordWritten(
    bool ok, const QString& path, const QString& error, const LineStore::Snapshot& lines)
{
    if (savesByHand.removeOne(path)) {
        // The view keeps its lines: the user may try again.
        if (!ok) {
            qDebug() << "record file" << path << "not saved:" << error;
            MsgBox::warning(this, tr("警告"), tr("文件保存失败！\t"));
            return;
        }
        MsgBox::information(this, tr("通知"),
            tr("窗口数据已成功保存至指定文件！\n%1\t").arg(QFileInfo(path).absoluteFilePath()));
        return;
    }
    const bool retry = retryingRecord && path == diskBacklog.head().path;
    if (retry) {
        retryingRecord = false;
        if (ok)
            diskBacklog.written();
    }
    if (ok) {
        // The disk takes files again: what waited goes out now, oldest first.
        saveFailureShown = false;
        if (diskBacklog.isEmpty())
            diskStateLabel->hide();
        else
            QTimer::singleShot(0, this, &MainWindow::retryKeptRecord);
        return;
    }
    qDebug() << "record file" << path << "not saved:" << error;
    // The text waits in memory for the disk, never in the view: a full disk would otherwise
    // hand it back and forth and grow it with every save.
    if (!retry) {
        const qint64 dropped = diskBacklog.keep(path, lines);
        if (dropped > 0) {
            qWarning() << "disk full:" << dropped << "unsaved lines dropped";
            showLocalLine(tr("⚠ 磁盘已满，丢弃了 %1 行未保存的数据").arg(dropped));
        }
    }
    ++saveFailures;
    diskStateLabel->setText(
        tr("文件保存失败 %1 次，%2 行数据等待写入磁盘").arg(saveFailures).arg(diskBacklog.lines()));
    diskStateLabel->show();
    diskRetryTimer->start();
    // One box for a run of failures; the label counts the rest.
    if (saveFailureShown)
        return;
    saveFailureShown = true;
    MsgBox::warning(this, tr("警告"), tr("文件保存失败！\t"));
}

void MainWindow::setUpDiskBacklog()
{
    diskRetryTimer = new QTimer(this);
    diskRetryTimer->setSingleShot(true);
    diskRetryTimer->setInterval(DiskRetryMs);
    connect(diskRetryTimer, &QTimer::timeout, this, &MainWindow::retryKeptRecord);
    diskStateLabel = new QLabel(this);
    diskStateLabel->setObjectName(QStringLiteral("diskStateLabel"));
    diskStateLabel->setStyleSheet(QStringLiteral("color:#FF0000;"));
    statusBar()->insertWidget(2, diskStateLabel);
    diskStateLabel->hide();
}

void MainWindow::retryKeptRecord()
{
    if (retryingRecord || diskBacklog.isEmpty())
        return;
    retryingRecord = true;
    recordWriter->start(diskBacklog.head().path, diskBacklog.head().lines);
}

void MainWindow::recordFormatted(const DisplayStage::Step& step)
{
    // Received lines count as they are formatted; the stage clears at the limit itself.
    if (step.counted > 0) {
        totalLinesShown += step.counted;
        lineCount += step.counted;
        countersDirty = true;
    }
    // Every line goes to the store (the record of the view) and the log filter as it is
    // formatted; the view draws it when its turn comes.
    const QString& text = step.text;
    if (text.isEmpty())
        return;
    if (step.inlineText) {
        lineStore.appendInline(text);
    } else {
        const auto kind = LineStore::Kind(step.tag);
        const QStringRef lines(&text, 0, text.size() - 1); // without the last line end
        int start = 0;
        int next = 0; // the first colour run not yet placed
        const DisplayStage::Spans& spans = step.spans;
        for (const QStringRef& line : lines.split(QLatin1Char('\n'))) {
            QVector<LineStore::Span> runs;
            const int end = start + line.size();
            for (; next < spans.size() && spans.at(next).start < end; ++next)
                runs.append({ 0, spans.at(next).start - start, spans.at(next).length,
                    spans.at(next).format });
            lineStore.append(line.toString(), kind, runs);
            start = end + 1;
        }
        logFilterDialog->appendFilteredLog(lines.toString());
    }
    if (!ui->liveRecordCheckBox->isChecked())
        return;
    if (!liveRecord->isOpen())
        liveRecord->setSource(recordSourceName());
    const QString before = liveRecord->fileName();
    if (!liveRecord->append(text)) {
        liveRecordFailed();
        return;
    }
    if (liveRecord->fileName() != before)
        ui->liveRecordCheckBox->setToolTip(
            tr("每收到一行即写入 Record 文件夹中的实时记录文件\n当前文件：%1")
                .arg(QFileInfo(liveRecord->fileName()).fileName()));
}

void MainWindow::flushLiveRecord()
{
    if (liveRecord && ui->liveRecordCheckBox->isChecked() && !liveRecord->flush())
        liveRecordFailed();
}

void MainWindow::liveRecordFailed()
{
    const QString file = QFileInfo(liveRecord->fileName()).fileName();
    const QString error = liveRecord->errorString();
    // Unchecked first: the box runs an event loop, and the next tick must not warn again.
    ui->liveRecordCheckBox->setChecked(false);
    MsgBox::warning(this, tr("警告"), tr("实时保存失败：%1\n%2\t").arg(file, error));
}

void MainWindow::startLiveSession()
{
    flushLiveRecord();
    liveRecord->newSession();
}

void MainWindow::slotLiveRecord(bool on)
{
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("LiveRecord"), on);
    settings->endGroup();
    if (!on) {
        liveRecord->close();
        ui->liveRecordCheckBox->setToolTip(tr("每收到一行即写入 Record 文件夹中的实时记录文件"));
    }
}

void MainWindow::slotLiveRecordMaxMB(int mb)
{
    liveRecord->setMaxBytes(qint64(mb) << 20);
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("LiveRecordMaxMB"), mb);
    settings->endGroup();
}
