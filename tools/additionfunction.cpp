#include "tools/additionfunction.h"
#include "ui_additionfunction.h"

#include "app/messagebox.h"
#include "tools/core/checksum.h"
#include "tools/core/devicecommand.h"
#include "tools/core/framecodec.h"
#include "tools/core/hexconvert.h"

#include <QButtonGroup>
#include <QDebug>
#include <QStringList>
#include <QTextCodec>

AdditionFunction::AdditionFunction(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdditionFunction)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 附加功能"));

    // The item data is the type byte the boot loader expects.
    ui->typeUpgradeComboBox->addItem(tr("1 - 下引导程序 HEX文件"), QStringLiteral("1"));
    ui->typeUpgradeComboBox->addItem(tr("2 - 下载主程序 HEX文件"), QStringLiteral("2"));
    ui->typeUpgradeComboBox->addItem(tr("3 - 下载主程序 BIN文件"), QStringLiteral("3"));
    ui->typeUpgradeComboBox->addItem(tr("4 - 下载整合字库文件"), QStringLiteral("4"));
    ui->typeUpgradeComboBox->addItem(tr("5 - 擦除用户参数扇区"), QStringLiteral("5"));
    ui->typeUpgradeComboBox->setCurrentIndex(1);

    // The buttons are not auto-exclusive themselves: the groups make them so.
    dataModeGroup = new QButtonGroup(this);
    dataModeGroup->addButton(ui->hexDataRadioButton);
    dataModeGroup->addButton(ui->asciiDataRadioButton);
    ui->hexDataRadioButton->setChecked(true);
    sumKindGroup = new QButtonGroup(this);
    sumKindGroup->addButton(ui->sourceSumRadioButton);
    sumKindGroup->addButton(ui->reverseSumRadioButton);
    sumKindGroup->addButton(ui->xorSumRadioButton);
    ui->sourceSumRadioButton->setChecked(true);

    ui->hexValueLineEdit->setReadOnly(true);
    ui->hexFFValueLineEdit->setReadOnly(true);
    ui->ruleMLineEdit->setEnabled(false);

    connect(ui->calChecksumButton, &QPushButton::clicked, this,
        &AdditionFunction::slotCalChecksumButton);
    connect(ui->characterShowRadioButton, &QRadioButton::clicked, this,
        &AdditionFunction::slotCharacterHexShowButton);
    connect(ui->hexShowRadioButton, &QRadioButton::clicked, this,
        &AdditionFunction::slotCharacterHexShowButton);
    connect(ui->setButton, &QPushButton::clicked, this, &AdditionFunction::slotSetDataButton);
    connect(ui->unsetButton, &QPushButton::clicked, this, &AdditionFunction::slotUnsetDataButton);

    displayMode = HexMode;
}

AdditionFunction::~AdditionFunction() { delete ui; }

bool AdditionFunction::isMcuUpgradeChecked() const { return ui->mcuUpgradeCheckBox->isChecked(); }

void AdditionFunction::setMcuUpgradeChecked(bool checked)
{
    ui->mcuUpgradeCheckBox->setChecked(checked);
}

void AdditionFunction::mcuUpgradeParams(QByteArray& type, QByteArray& key) const
{
    type = ui->typeUpgradeComboBox->currentData().toString().toUtf8();
    key = ui->mcuKeyLineEdit->text().toUtf8();
}

// --- checksum ----------------------------------------------------------------------------------

void AdditionFunction::slotCalChecksumButton()
{
    const QString text = ui->checksumTextEdit->toPlainText();
    if (text.isEmpty()) {
        MsgBox::warning(this, tr("warning"), tr("校验和计算：请输入待校验的数据！\t"));
        return;
    }
    const QByteArray bytes = Checksum::inputBytes(text, ui->hexDataRadioButton->isChecked());
    Checksum::Kind kind = Checksum::PlainSum;
    if (ui->reverseSumRadioButton->isChecked())
        kind = Checksum::ComplementSum;
    else if (ui->xorSumRadioButton->isChecked())
        kind = Checksum::XorSum;
    const quint8 sum = Checksum::compute(bytes, kind);
    ui->hexValueLineEdit->setText(Checksum::hexByte(sum));
    ui->hexFFValueLineEdit->setText(Checksum::hexByte(0xFF - sum));
}

// --- character/hex conversion ------------------------------------------------------------------

void AdditionFunction::slotCharacterHexShowButton()
{
    if (ui->characterShowRadioButton->isChecked())
        displayMode = CharacterMode;
    else if (ui->hexShowRadioButton->isChecked())
        displayMode = HexMode;
    // Clicking the button already selected must not convert the text a second time.
    if (displayMode == appliedMode)
        return;
    appliedMode = displayMode;

    const QString text = ui->characterHexTextEdit->toPlainText();
    qDebug().noquote() << "text:" << text;
    if (displayMode == CharacterMode) {
        const QByteArray bytes = HexConvert::scanBytes(text);
        qDebug().noquote() << "baarray:" << bytes;
        ui->characterHexTextEdit->setPlainText(HexConvert::scanToCharacters(bytes));
    } else {
        ui->characterHexTextEdit->setPlainText(HexConvert::charactersToHex(text));
    }
}

// --- frame encapsulation -----------------------------------------------------------------------

void AdditionFunction::slotSetDataButton()
{
    const FrameCodec::Rule rule
        = FrameCodec::ruleFromTexts(ui->ruleF1LineEdit->text(), ui->ruleF2LineEdit->text(),
            ui->ruleMLineEdit->text(), ui->ruleB1LineEdit->text(), ui->ruleB2LineEdit->text());
    QString frame;
    switch (FrameCodec::encapsulate(ui->unsetTextEdit->toPlainText().toUtf8(), rule, &frame)) {
    case FrameCodec::Result::Empty:
        MsgBox::warning(this, tr("warning"), tr("解封前的数据：请输入数据！\t"));
        return;
    case FrameCodec::Result::BadFormat:
        MsgBox::warning(this, tr("warning"), tr("解封前的数据：请输入正确格式的数据！\t"));
        return;
    case FrameCodec::Result::Ok:
        break;
    }
    ui->setTextEdit->setPlainText(frame);
}

void AdditionFunction::slotUnsetDataButton()
{
    const FrameCodec::Rule rule
        = FrameCodec::ruleFromTexts(ui->ruleF1LineEdit->text(), ui->ruleF2LineEdit->text(),
            ui->ruleMLineEdit->text(), ui->ruleB1LineEdit->text(), ui->ruleB2LineEdit->text());
    QString plain;
    switch (FrameCodec::decapsulate(ui->setTextEdit->toPlainText().toUtf8(), rule, &plain)) {
    case FrameCodec::Result::Empty:
        MsgBox::warning(this, tr("warning"), tr("解封后的数据：请输入数据！\t"));
        return;
    case FrameCodec::Result::BadFormat:
        MsgBox::warning(this, tr("warning"), tr("解封后的数据：请输入正确格式的数据！\t"));
        return;
    case FrameCodec::Result::Ok:
        break;
    }
    ui->unsetTextEdit->setPlainText(plain);
}

// --- device commands ---------------------------------------------------------------------------

void AdditionFunction::sendDeviceCommand(const QString& frameText)
{
    emit signalSendData(DeviceCommand::completeFrame(frameText), true, 0);
}

void AdditionFunction::clearReplyPanes()
{
    ui->hexRecvPlainTextEdit->clear();
    ui->charRecvPlainTextEdit->clear();
}

void AdditionFunction::sendPreset(quint8 code)
{
    ui->sendDataPlainTextEdit->clear();
    clearReplyPanes();
    ui->sendDataPlainTextEdit->setPlainText(HexConvert::twoDigits(code));
    sendDeviceCommand(DeviceCommand::presetFrameText(code));
}

void AdditionFunction::on_mpuVerToolButton_clicked() { sendPreset(DeviceCommand::HostVersion); }

void AdditionFunction::on_resetMCUToolButton_clicked() { sendPreset(DeviceCommand::ResetMcu); }

void AdditionFunction::on_getResetInfoButton_clicked() { sendPreset(DeviceCommand::ResetInfo); }

void AdditionFunction::on_sendToolButton_clicked()
{
    clearReplyPanes();
    QString digits;
    switch (DeviceCommand::checkPayload(ui->sendDataPlainTextEdit->toPlainText(), &digits)) {
    case DeviceCommand::Payload::Empty:
        MsgBox::warning(this, tr("警告"), tr("发送区内容为空\t"));
        return;
    case DeviceCommand::Payload::NotHex:
        MsgBox::warning(
            this, tr("警告"), tr("不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t"));
        return;
    case DeviceCommand::Payload::TooLong:
        MsgBox::warning(this, tr("警告"), tr("发送区数据超过255字节\t"));
        return;
    case DeviceCommand::Payload::Ok:
        break;
    }
    sendDeviceCommand(DeviceCommand::payloadFrameText(digits));
}

void AdditionFunction::on_clearToolButton_clicked()
{
    ui->sendDataPlainTextEdit->clear();
    clearReplyPanes();
}

void AdditionFunction::feedDeviceReply(const QByteArray& data)
{
    const ReplyAssembler::Step step = replies.feed(data);
    if (step == ReplyAssembler::Step::Ignored || step == ReplyAssembler::Step::Dropped)
        return;
    qDebug().noquote() << "cache.size" << replies.examined().size() << "cache.toHex()"
                       << replies.examined().toHex().toUpper();
    if (step != ReplyAssembler::Step::Complete)
        return;
    // Replies read together are shown together, one a line.
    static QTextCodec* const gbk = QTextCodec::codecForName("GBK");
    QStringList hexLines;
    QStringList textLines;
    for (const QByteArray& reply : replies.replies()) {
        hexLines << QString::fromLatin1(reply.toHex().toUpper());
        if (reply.size() > DeviceCommand::ReplyHeaderBytes) {
            const QByteArray text = DeviceCommand::replyText(reply);
            textLines << (gbk ? gbk->toUnicode(text) : QString::fromLocal8Bit(text));
        }
    }
    ui->hexRecvPlainTextEdit->setPlainText(hexLines.join(QLatin1Char('\n')));
    if (!textLines.isEmpty())
        ui->charRecvPlainTextEdit->setPlainText(textLines.join(QLatin1Char('\n')));
}
