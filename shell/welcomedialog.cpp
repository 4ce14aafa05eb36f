#include "shell/welcomedialog.h"
#include "ui_welcomedialog.h"

WelcomeDialog::WelcomeDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WelcomeDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 欢迎打赏"));
}

WelcomeDialog::~WelcomeDialog() { delete ui; }
