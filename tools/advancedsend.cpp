#include "tools/advancedsend.h"
#include "ui_advancedsend.h"

#include "app/messagebox.h"
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

    connect(ui->allCycleCheckBox, &QCheckBox::stateChanged, this,
            &AdvancedSend::slotAllCycleCheckBox);
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

void AdvancedSend::slotCycleSendButton()
{
    // Each emission waits out the interval while events run, so this window may be closed (the
    // port closing hides it) or even destroyed between two rows.
    QPointer<AdvancedSend> self(this);
    const int closingsAtStart = closings;
    for (int n = 1; n <= kItems && closings == closingsAtStart; ++n) {
        const AdvancedSendItem* row = item(n - 1);
        if (!row || row->text().isEmpty())
            continue;
        const QString data = row->text();
        const bool hex = row->isHex();
        if (hex && !AdvancedSendItem::isHexData(data)) {
            MsgBox::warning(this, tr("warning"),
                            tr("格式错误：(%1)%2\t\n请输入16进制的格式数据！\t")
                                .arg(QString::number(n), data));
        } else {
            // Read per row: a change of the interval counts from the next row on.
            emit signalSendData(data, hex, ui->sendIntervalMsSpinBox->value());
        }
        if (!self)
            return;
    }
}

void AdvancedSend::hideEvent(QHideEvent* event)
{
    // Closing the window, or the port (which hides it), ends a cycle send under way; otherwise
    // every remaining row would fail against the closed port with a box of its own. Being
    // minimised is not a closing.
    if (isHidden())
        ++closings;
    QDialog::hideEvent(event);
}
