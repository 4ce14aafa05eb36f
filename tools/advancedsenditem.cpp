#include "tools/advancedsenditem.h"

#include "app/messagebox.h"
#include "tools/core/hexconvert.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

AdvancedSendItem::AdvancedSendItem(const QString& buttonText, QWidget* parent)
    : QWidget(parent)
{
    hexBox = new QCheckBox(this);
    dataEdit = new QLineEdit(this);
    dataEdit->setFixedWidth(190);
    sendButton = new QPushButton(buttonText, this);
    sendButton->setFixedWidth(55);
    delayBox = new QSpinBox(this);
    delayBox->setRange(0, 300000);
    delayBox->setSingleStep(1000);
    delayBox->setValue(1000);

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(10);
    layout->addWidget(hexBox);
    layout->addWidget(dataEdit);
    layout->addWidget(sendButton);
    layout->addWidget(delayBox);
    layout->addStretch();

    connect(sendButton, &QPushButton::clicked, this, &AdvancedSendItem::slotSendPushButton);
}

bool AdvancedSendItem::isHexData(const QString& text)
{
    int digits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char(' '))
            continue;
        if (!HexConvert::isHexDigit(c))
            return false;
        ++digits;
    }
    return digits > 0;
}

bool AdvancedSendItem::isHex() const { return hexBox->isChecked(); }

QString AdvancedSendItem::text() const { return dataEdit->text(); }

int AdvancedSendItem::delay() const { return delayBox->value(); }

void AdvancedSendItem::slotSendPushButton()
{
    const bool hex = isHex();
    const int delayms = delay();
    const QString data = text();
    if (data.isEmpty()) {
        MsgBox::warning(this, tr("warning"), tr("内容错误：请输入待发的数据！\t"));
        return;
    }
    if (hex && !isHexData(data)) {
        MsgBox::warning(
            this, tr("warning"), tr("格式错误：%1\t\n请输入16进制的格式数据！\t").arg(data));
        return;
    }
    emit signalSendData(data, hex, delayms);
}
