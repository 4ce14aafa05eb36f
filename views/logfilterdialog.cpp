#include "views/logfilterdialog.h"
#include "ui_logfilterdialog.h"

LogFilterDialog::LogFilterDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogFilterDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Quillon - 日志过滤"));
    ui->textBrowser->setReadOnly(true);
}

LogFilterDialog::~LogFilterDialog() { delete ui; }

void LogFilterDialog::appendFilteredLog(const QString& text) { Q_UNUSED(text) }
