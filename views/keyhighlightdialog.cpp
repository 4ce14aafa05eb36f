#include "views/keyhighlightdialog.h"
#include "ui_keyhighlightdialog.h"

KeyHighlightDialog::KeyHighlightDialog(QSettings* settings, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::KeyHighlightDialog)
    , settings(settings)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 关键词高亮"));
}

KeyHighlightDialog::~KeyHighlightDialog() { delete ui; }

bool KeyHighlightDialog::keyHighlightEntry(int index, QColor& color, QString& text) const
{
    Q_UNUSED(index)
    Q_UNUSED(color)
    Q_UNUSED(text)
    return false;
}
