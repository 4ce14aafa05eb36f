#include "share/logshareddialog.h"
#include "ui_logshareddialog.h"

LogSharedDialog::LogSharedDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogSharedDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 日志共享功能"));

    // The address widgets follow the enable box, which starts unchecked.
    ui->formRadioButton->setEnabled(false);
    ui->formIPComboBox->setEnabled(false);
    ui->formPortLineEdit->setEnabled(false);
    ui->toRadioButton->setEnabled(false);
    ui->toIPLineEdit->setEnabled(false);
    ui->toPortLineEdit->setEnabled(false);
}

LogSharedDialog::~LogSharedDialog() { delete ui; }

int LogSharedDialog::shareMode() const
{
    // The network link is not there yet, so sharing is always off.
    return 0;
}

QString LogSharedDialog::sourceName() const { return QString(); }

void LogSharedDialog::sendShareData(const QByteArray& data) { Q_UNUSED(data) }

QString LogSharedDialog::toAddressText() const { return ui->toIPLineEdit->text(); }

void LogSharedDialog::setToAddressText(const QString& address)
{
    ui->toIPLineEdit->setText(address);
}

void LogSharedDialog::setReadPaused(bool paused) { Q_UNUSED(paused) }
