#include "tools/additionfunction.h"
#include "ui_additionfunction.h"

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

void AdditionFunction::feedDeviceReply(const QByteArray& data) { Q_UNUSED(data) }
