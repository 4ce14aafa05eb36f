#include "tools/advancedsend.h"
#include "ui_advancedsend.h"

#include "app/messagebox.h"
#include "serial/core/senddelay.h"
#include "tools/advancedsenditem.h"

#include <QPointer>

AdvancedSend::AdvancedSend(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdvancedSend)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 高级发送"));
    // A cycle send needs the cycle box checked first.
    ui->sendButton->setEnabled(false);

    for (int n = 1; n <= kItems; ++n) {
        auto* listItem = new QListWidgetItem;
        auto* row = new AdvancedSendItem(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')));
        listItem->setSizeHint(row->sizeHint());
        ui->contentListWidget->addItem(listItem);
        ui->contentListWidget->setItemWidget(listItem, row);
        connect(row, &AdvancedSendItem::signalSendData, this, &AdvancedSend::signalSendData);
    }

    connect(
        ui->allCycleCheckBox, &QCheckBox::stateChanged, this, &AdvancedSend::slotAllCycleCheckBox);
    connect(ui->sendButton, &QPushButton::clicked, this, &AdvancedSend::slotCycleSendButton);
}

AdvancedSend::~AdvancedSend() { delete ui; }

AdvancedSendItem* AdvancedSend::item(int index) const
{
    QListWidgetItem* listItem = ui->contentListWidget->item(index);
    if (!listItem)
        return nullptr;
    return qobject_cast<AdvancedSendItem*>(ui->contentListWidget->itemWidget(listItem));
}

void AdvancedSend::slotAllCycleCheckBox(int index) { ui->sendButton->setEnabled(index != 0); }

void AdvancedSend::stopCycleSend()
{
    ++stops;
    // The row waiting its turn does not go out either.
    SendDelay::cancelAll();
}

void AdvancedSend::slotCycleSendButton()
{
    // The button stays clickable while the rows wait out their interval; a second pass nested
    // in the first would send rows twice and out of order.
    if (cycling)
        return;
    // Each emission waits out the interval while events run, so the port may close, the
    // program quit or this window even be destroyed between two rows. Closing only this window
    // lets the pass finish.
    QPointer<AdvancedSend> self(this);
    cycling = true;
    const int stopsAtStart = stops;
    for (int n = 1; n <= kItems && stops == stopsAtStart; ++n) {
        const AdvancedSendItem* row = item(n - 1);
        if (!row || row->text().isEmpty())
            continue;
        const QString data = row->text();
        const bool hex = row->isHex();
        if (hex && !AdvancedSendItem::isHexData(data)) {
            MsgBox::warning(this, tr("warning"),
                tr("格式错误：(%1)%2\t\n请输入16进制的格式数据！\t").arg(QString::number(n), data));
        } else {
            // Read per row: a change of the interval counts from the next row on.
            emit signalSendData(data, hex, ui->sendIntervalMsSpinBox->value());
        }
        if (!self)
            return;
    }
    cycling = false;
}
