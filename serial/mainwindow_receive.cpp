// The receive pipeline of the main window: intake, the 10 ms display tick, counters, clearing.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "serial/core/rxformat.h"
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "tools/additionfunction.h"
#include "views/logfilterdialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

void MainWindow::slotRecvSerialData()
{
    const qint64 room = display->room();
    // The next read waits for the display tick; it also pulls the rest once it has caught up.
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
    if (room <= 0) {
        readPacer->afterRead(0);
        return;
    }
    // QIODevice::read(n) allocates n bytes up front: ask for no more than is there.
    const QByteArray data = serialPort->read(qMin(room, serialPort->bytesAvailable()));
    readPacer->afterRead(data.size());
    if (data.isEmpty())
        return;
    if (!receiving) {
        // Paused: the port is still emptied (its own buffer is small and a tty has no flow
        // control), but the bytes are taken in only when reception resumes.
        display->park(data);
        return;
    }
    takeIn(data);
}

void MainWindow::takeInPaused()
{
    const QByteArray data = display->unpark();
    if (!data.isEmpty())
        takeIn(data);
}

void MainWindow::takeIn(const QByteArray& data)
{
    updateCounters(recvLabel, data.size(), false);
    additionFunction->feedDeviceReply(data);
    display->receive(data);
    if (logSharedDialog->mode() == ShareMode::Send)
        logSharedDialog->sendShareData(data);
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::slotRecvFromData(QByteArray data)
{
    if (data.isEmpty())
        return;
    updateCounters(recvLabel, data.size(), false);
    display->receive(data);
    throttleNetwork();
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::throttleNetwork()
{
    // A flooding peer waits in TCP flow control, not in our memory.
    logSharedDialog->setReadPaused(display->full());
}

DisplayStage::Settings MainWindow::displaySettings() const
{
    DisplayStage::Settings settings;
    settings.wrapMode = RxFormat::wrapModeFromInt(extraSettingDialog->wrapMode());
    settings.hex = ui->showHexCheckBox->isChecked();
    settings.showTime = ui->showTimeCheckBox->isChecked();
    settings.frameIntervalMs = extraSettingDialog->frameTimeInterval();
    settings.frontText = extraSettingDialog->frontDelimiterText();
    settings.backText = extraSettingDialog->backDelimiterText();
    settings.upgrade = additionFunction->isMcuUpgradeChecked();
    settings.codec = extraSettingDialog->codec();
    settings.ansiColor = extraSettingDialog->ansiColor();
    return settings;
}

void MainWindow::slotShowDataTimeout()
{
    const DisplayStage::TickResult result = display->tick(displaySettings(), lineLimit());
    applySteps(result.steps);
    // What this tick formatted is handed to the system now: a crash loses one tick at most.
    flushLiveRecord();

#ifdef __GLIBC__
    if (result.releaseMemory)
        ::malloc_trim(0);
#endif
    if (countersDirty
        && (result.mayStop || !counterClock.isValid()
            || counterClock.elapsed() >= CounterRefreshMs))
        refreshCounterLabels();
    throttleNetwork();
    if (result.mayStop) {
        showDataTimer->stop();
        return;
    }
    // Bytes left in the port while the display was behind, or while reception is paused:
    // readyRead will not announce them again, and the port's own buffer is small.
    if (result.readPort && serialPort->isOpen()) {
        readPacer->resume();
        if (serialPort->bytesAvailable() > 0)
            slotRecvSerialData();
    }
}

DisplayStage::Limit MainWindow::lineLimit() const
{
    DisplayStage::Limit limit;
    limit.linesLeft = maxLines - lineCount;
    limit.maxLines = maxLines;
    limit.save = ui->autoSlaveLogToFileCheckBox->isChecked();
    return limit;
}

void MainWindow::applySteps(const DisplayStage::Steps& steps)
{
    for (const DisplayStage::Step& step : steps)
        stepQueue.append(step);
    if (applyingSteps)
        return;
    applyingSteps = true;
    QElapsedTimer drawing;
    qint64 drawnChars = 0, drawNs = 0;
    while (!stepQueue.isEmpty()) {
        const DisplayStage::Step step = stepQueue.takeFirst();
        switch (step.kind) {
        case DisplayStage::Step::Format:
            recordFormatted(step);
            break;
        case DisplayStage::Step::Draw:
            drawing.start();
            drawText(step.text, step.inlineText, step.spans);
            drawNs += drawing.nsecsElapsed();
            drawnChars += step.text.size();
            break;
        case DisplayStage::Step::Clear:
            clearView(step.save);
            break;
        case DisplayStage::Step::Upgrade: {
            QByteArray bytes = step.bytes;
            processUpgradeData(bytes);
            if (!bytes.isEmpty())
                display->putBackUpgrade(bytes);
            break;
        }
        }
    }
    applyingSteps = false;
    if (drawnChars > 0)
        display->drawCost(drawnChars, drawNs / 1000000);
}

void MainWindow::drawText(const QString& text, bool inlineText, const DisplayStage::Spans& spans)
{
    Q_UNUSED(spans) // in the store already, with the text
    // The store has the lines since they were formatted; now they come into sight.
    if (inlineText)
        ui->recvShowText->lastLineChanged();
    else
        ui->recvShowText->showLines(text.count(QLatin1Char('\n')) + 1);
}

void MainWindow::showLocalLine(const QString& line, LineStore::Kind kind)
{
    // Behind every received line formatted so far, and drawn at once unless the view is held.
    applySteps(display->queueLine(line, kind));
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::updateCounters(QLabel* label, int n, bool refreshNow)
{
    bool clear = false;
    if (label == recvLabel) {
        recvCount += n;
        clear = recvCount > 9999999;
    } else if (label == sendLabel) {
        sendCount += n;
        clear = sendCount > 9999999;
    } else if (label == linesLabel) {
        lineCount += n;
        clear = lineCount >= maxLines;
    }
    // Past the default line limit the user asked for a long view: a byte counter that runs over
    // starts again instead of taking the view with it.
    if (clear && label != linesLabel && maxLines > DefaultMaxLines) {
        (label == recvLabel ? recvCount : sendCount) = 0;
        clear = false;
    }
    if (clear)
        automaticClear();
    // The receive path refreshes the labels once per tick: a relayout per read is costly.
    if (refreshNow)
        refreshCounterLabels();
    else
        countersDirty = true;
}

void MainWindow::automaticClear()
{
    // Everything formatted so far is in the store already: lines not drawn yet are not laid out
    // in a view that goes now, but saved with it. (At the line limit the stage drops them itself,
    // and what it queued after its clear step is the new view's.)
    display->dropQueued();
    clearView(ui->autoSlaveLogToFileCheckBox->isChecked());
}

void MainWindow::clearView(bool save)
{
    lineCount = 0;
    sendCount = 0;
    recvCount = 0;
    if (save)
        automaticSave();
    else
        lineStore.take(); // the chunks go in one piece each
    ui->recvShowText->clear();
    refreshCounterLabels();
}

void MainWindow::refreshCounterLabels()
{
    countersDirty = false;
    counterClock.start();
    if (!linesLabel)
        return;
    // QLabel ignores a text it already shows.
    linesLabel->setText(tr("Lines: %1").arg(lineCount, 6, 10, QLatin1Char('0')));
    recvLabel->setText(tr("Recv: %1").arg(recvCount, 7, 10, QLatin1Char('0')));
    sendLabel->setText(tr("Send: %1").arg(sendCount, 7, 10, QLatin1Char('0')));
}

void MainWindow::slotClearWindowButton() { updateCounters(linesLabel, maxLines); }

void MainWindow::slotUpdateMaxLines(int lines) { maxLines = lines; }

void MainWindow::slotSetRecvAutoClearBox(int index)
{
    if (index != 0) {
        ui->recvAutoClearCheckBox->setChecked(true);
        ui->recvAutoClearCheckBox->setEnabled(false);
    } else {
        ui->recvAutoClearCheckBox->setEnabled(true);
    }
}

void MainWindow::on_showHexCheckBox_clicked(bool checked)
{
    extraSettingDialog->setDelimiterWrapEnabled(checked);
}
