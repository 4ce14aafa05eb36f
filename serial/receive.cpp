// The receive pipeline of the main window: intake, the 10 ms display tick, counters, clearing.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "serial/rxformat.h"
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "tools/additionfunction.h"
#include "views/logfilterdialog.h"

#include <QLabel>
#include <QTimer>

// Bytes waiting for display are bounded: past this the port (or peer) is left unread.
static const int kMaxWaitingBytes = 16 << 20;
// One tick formats a slice of the backlog; the slice follows what the last ticks cost, so a
// backlog is worked off quickly without stalling the event loop.
static const int kMinSliceBytes = 4 << 10;
static const int kMaxSliceBytes = 256 << 10;
// What one redraw (laying out and painting its lines) may cost; the rest of a tick is cheap.
static const int kTickBudgetMs = 45;
// The view is redrawn at most this often; lines in between wait in displayText.
static const int kViewRefreshMs = 40;

int MainWindow::receiveThrottleBytes() const { return kMaxWaitingBytes; }

void MainWindow::slotRecvSerialData()
{
    const qint64 room = kMaxWaitingBytes - pendingBytes();
    if (room <= 0)
        return;  // the display tick pulls the rest once it has caught up
    const QByteArray data = serialPort->read(room);
    if (data.isEmpty())
        return;
    updateCounters(recvLabel, data.size(), false);
    additionFunction->feedDeviceReply(data);
    recvBuffer.append(data);
    if (logSharedDialog->shareMode() == 2)
        logSharedDialog->sendShareData(data);
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::slotRecvFromData(QByteArray data)
{
    if (data.isEmpty())
        return;
    updateCounters(recvLabel, data.size(), false);
    recvBuffer.append(data);
    throttleNetwork();
    if (!showDataTimer->isActive())
        showDataTimer->start(10);
}

void MainWindow::throttleNetwork()
{
    // A flooding peer waits in TCP flow control, not in our memory.
    logSharedDialog->setReadPaused(pendingBytes() >= kMaxWaitingBytes);
}

void MainWindow::slotShowDataTimeout()
{
    const int mode = extraSettingDialog->wrapMode();
    if (!lastShowTime.isValid())
        lastShowTime.start();
    QElapsedTimer tickCost;
    tickCost.start();
    const bool upgrade = additionFunction->isMcuUpgradeChecked();
    // The view is redrawn every 40 ms, or at once when four slices of text wait for it (a
    // backlog); the backlog itself waits meanwhile, so one redraw lays out a bounded amount.
    const bool textPiledUp = displayText.size() >= 4 * tickSliceBytes;
    const bool redrawDue = !lastViewRefresh.isValid() || lastViewRefresh.elapsed() >= kViewRefreshMs
        || textPiledUp;
    const bool holdBack = !upgrade && mode != RxFormat::FrameTimeWrap && textPiledUp;
    bool redrawn = false;
    bool gatePassed = false;

    if (!holdBack) {
        // Frame-time wrap shows whatever arrived in the interval as one frame: never cut it.
        RxFormat::moveCompleteLines(recvBuffer, pendingDisplay,
                                    mode == RxFormat::FrameTimeWrap ? INT_MAX : tickSliceBytes);
        if (upgrade) {
            processUpgradeData(pendingDisplay);
            throttleNetwork();
            return;
        }
        const bool delimiterMode
            = mode == RxFormat::FrontDelimiterWrap || mode == RxFormat::BackDelimiterWrap;
        const bool delimiterFound
            = delimiterMode && extraSettingDialog->delimiterPresent(pendingDisplay);
        if (RxFormat::gatePasses(mode, pendingDisplay, lastShowTime.elapsed(),
                                 extraSettingDialog->frameTimeInterval(), delimiterFound)) {
            gatePassed = true;
            lastShowTime.restart();
            if (!pendingDisplay.isEmpty()) {
                const QString& prefix = prefixCache.prefix(
                    ui->showTimeCheckBox->isChecked(), RxFormat::rxMarker(), QTime::currentTime());
                const auto onLine = [this] { countLine(); };
                if (ui->showHexCheckBox->isChecked()) {
                    const QByteArray rest = RxFormat::splitHexFrames(
                        pendingDisplay, mode, extraSettingDialog->frontDelimiter(),
                        extraSettingDialog->backDelimiter(), prefix, displayText, onLine);
                    if (!rest.isEmpty())
                        recvBuffer.prepend(rest);
                } else {
                    RxFormat::formatTextLines(RxFormat::foldCrLf(pendingDisplay), prefix,
                                              displayText, onLine);
                }
                pendingDisplay.clear();
            }
        }
    }
    // Text kept back by a held mouse button waits for the next tick that passes the gate; text
    // that only waited for the redraw interval goes out as soon as the interval is over.
    if (gatePassed && !displayEnabled)
        textAwaitsRedraw = false;
    else if (gatePassed)
        textAwaitsRedraw = true;
    const bool drained = drainAfterClose && recvBuffer.isEmpty();
    if (displayEnabled && !displayText.isEmpty() && (textAwaitsRedraw || drained)
        && (redrawDue || drained)) {
        showPending();
        lastViewRefresh.start();
        textAwaitsRedraw = false;
        redrawn = true;
    }

    if (countersDirty)
        refreshCounterLabels();
    throttleNetwork();

    // The slice follows what a redraw costs: big enough to keep up, small enough not to stall.
    // A tick that cleared the view says nothing about the slice.
    const qint64 cost = tickCost.elapsed();
    if (!clearedInTick) {
        if (cost > kTickBudgetMs)
            tickSliceBytes = qMax(kMinSliceBytes, tickSliceBytes / 2);
        else if (redrawn && cost < kTickBudgetMs * 2 / 3 && recvBuffer.size() > tickSliceBytes)
            tickSliceBytes = qMin(kMaxSliceBytes, tickSliceBytes * 2);
    }
    clearedInTick = false;

    // After a close the backlog is still shown; then the display rests until the next open.
    if (drainAfterClose && !serialPort->isOpen() && recvBuffer.isEmpty() && displayText.isEmpty()
        && (mode != RxFormat::FrameTimeWrap || pendingDisplay.isEmpty())) {
        drainAfterClose = false;
        showDataTimer->stop();
    }

    // Bytes left in the port while the display was behind: readyRead will not announce them again.
    if (receiving && serialPort->isOpen() && serialPort->bytesAvailable() > 0
        && pendingBytes() < kMaxWaitingBytes)
        slotRecvSerialData();
}

void MainWindow::countLine()
{
    ++lineCount;
    ++totalLinesShown;
    countersDirty = true;
    if (lineCount >= maxLines)
        automaticClear();
}

void MainWindow::showPending()
{
    if (!displayEnabled || displayText.isEmpty())
        return;
    if (displayText.endsWith(QLatin1Char('\n')))
        displayText.chop(1);
    appendToView(displayText);
    logFilterDialog->appendFilteredLog(displayText);
    displayText.clear();
}

void MainWindow::appendToView(const QString& text) { ui->recvShowText->appendPlainText(text); }

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
    clearedInTick = true;
    lineCount = 0;
    sendCount = 0;
    recvCount = 0;
    if (ui->autoSlaveLogToFileCheckBox->isChecked()) {
        if (!displayText.isEmpty()) {
            if (displayText.endsWith(QLatin1Char('\n')))
                displayText.chop(1);
            appendToView(displayText);
            logFilterDialog->appendFilteredLog(displayText);
            displayText.clear();
        }
        // A failed save keeps the view: clearing it would lose what could not be written.
        if (!automaticSave()) {
            refreshCounterLabels();
            return;
        }
    }
    ui->recvShowText->clear();
    refreshCounterLabels();
}

void MainWindow::refreshCounterLabels()
{
    countersDirty = false;
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
