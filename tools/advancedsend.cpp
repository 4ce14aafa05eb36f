#include "tools/advancedsend.h"
#include "ui_advancedsend.h"

AdvancedSend::AdvancedSend(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdvancedSend)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 高级发送"));
    // A cycle send needs the cycle box checked first.
    ui->sendButton->setEnabled(false);
}

AdvancedSend::~AdvancedSend() { delete ui; }
