// The boot-loader upgrade dialogue, run by the display tick while the upgrade box is checked.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/messagebox.h"
#include "serial/core/rxformat.h"
#include "serial/core/upgradedialogue.h"
#include "tools/additionfunction.h"

#include <QElapsedTimer>

void MainWindow::processUpgradeData(QByteArray& pending)
{
    if (!upgradeDialogue)
        upgradeDialogue = std::make_unique<UpgradeDialogue>();

    UpgradeDialogue::Inputs inputs;
    inputs.transferRunning = ui->sendFileButton->text() != tr("发送文件");
    inputs.filePathSet = !ui->fileDataLineEdit->text().isEmpty();
    additionFunction->mcuUpgradeParams(inputs.type, inputs.key);

    QElapsedTimer clock;
    clock.start();
    const UpgradeDialogue::Actions actions
        = upgradeDialogue->feed(pending, clock.msecsSinceReference(), inputs);

    for (const UpgradeDialogue::Action& action : actions) {
        switch (action.kind) {
        // In the stage's queue, behind the lines formatted before the dialogue took over.
        case UpgradeDialogue::Action::ShowPrompt:
            applySteps(display->queueInline(action.text));
            break;
        case UpgradeDialogue::Action::ShowLine:
            applySteps(display->queueLine(RxFormat::linePrefix(ui->showTimeCheckBox->isChecked(),
                                              RxFormat::rxMarker(), QTime::currentTime())
                    + action.text,
                LineStore::Received));
            updateCounters(linesLabel, 1, false);
            break;
        case UpgradeDialogue::Action::MoveCursorToEnd:
            ui->recvShowText->scrollToEnd();
            break;
        case UpgradeDialogue::Action::Write:
            // Without the transmit echo and counters: the boot loader's answers are not traffic.
            if (serialPort->isOpen())
                serialPort->write(action.bytes);
            break;
        case UpgradeDialogue::Action::StopTransfer:
            if (ui->sendFileButton->text() != tr("发送文件"))
                slotSendFileButton();
            break;
        case UpgradeDialogue::Action::ClickSendFile:
            ui->sendFileButton->click();
            break;
        case UpgradeDialogue::Action::Uncheck:
            additionFunction->setMcuUpgradeChecked(false);
            break;
        case UpgradeDialogue::Action::WarnTimeout:
            MsgBox::warning(this, tr("文件发送失败"), tr("MCU(M4)长时间未响应\t"));
            break;
        }
    }
}
