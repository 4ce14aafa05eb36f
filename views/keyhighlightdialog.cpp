#include "views/keyhighlightdialog.h"
#include "ui_keyhighlightdialog.h"

#include "app/messagebox.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDebug>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QSettings>
#include <QToolButton>

namespace {

const QColor kDefaultColor(0, 255, 0);

QColor dialogColor(const QColor& initial, QWidget* parent, const QString& title)
{
    return QColorDialog::getColor(initial, parent, title, {});
}

KeyHighlightDialog::ColorChooser& colorChooser()
{
    static KeyHighlightDialog::ColorChooser chooser = dialogColor;
    return chooser;
}

QString key(const char* prefix, int index)
{
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(index);
}

void paintButton(QToolButton* button, const QColor& color)
{
    QPalette palette = button->palette();
    palette.setBrush(QPalette::All, QPalette::Button, QBrush(color, Qt::SolidPattern));
    button->setPalette(palette);
}

} // namespace

KeyHighlightDialog::KeyHighlightDialog(QSettings* settings, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::KeyHighlightDialog)
    , settings(settings)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 关键词高亮"));

    if (settings)
        settings->beginGroup(QStringLiteral("KeyHighlightConfig"));
    for (int i = 0; i < kRows; ++i) {
        bool enabled = false;
        QColor color = kDefaultColor;
        QString keyword;
        if (settings)
            enabled = settings->value(key("KHCEnable", i), QVariant()).toBool();
        if (enabled) {
            // Only a stored colour counts; anything else leaves the row without one.
            const QVariant stored = settings->value(key("KHCColor", i));
            color = stored.userType() == QMetaType::QColor ? stored.value<QColor>() : QColor();
            keyword = settings->value(key("KHCText", i)).toString();
        }
        addRow(enabled, color, keyword);
    }
    if (settings)
        settings->endGroup();

    connect(ui->slaveConfigButton, &QPushButton::clicked, this,
        &KeyHighlightDialog::slotKeyHighlightConfig);
}

KeyHighlightDialog::~KeyHighlightDialog() { delete ui; }

void KeyHighlightDialog::setColorChooser(ColorChooser chooser)
{
    colorChooser() = chooser ? std::move(chooser) : ColorChooser(dialogColor);
}

void KeyHighlightDialog::addRow(bool enabled, const QColor& color, const QString& keyword)
{
    auto* button = new QToolButton;
    paintButton(button, color);
    button->setAutoFillBackground(true);

    auto* frame = new QFrame;
    auto* layout = new QHBoxLayout(frame);
    auto* check = new QCheckBox(frame);
    auto* edit = new QLineEdit(frame);
    check->setChecked(enabled);
    edit->setText(keyword);
    layout->addWidget(check);
    layout->addWidget(button);
    layout->addWidget(edit);

    auto* item = new QListWidgetItem(ui->listWidget, 0);
    item->setSizeHint(frame->sizeHint());
    ui->listWidget->setItemWidget(item, frame);
    connect(button, &QToolButton::clicked, this, &KeyHighlightDialog::slotSelectColor);

    rows.append({ frame, check, button, edit });
}

const KeyHighlightDialog::Row* KeyHighlightDialog::row(int index) const
{
    // Rows are never moved, so list position and row index stay the same; the highlighter
    // asks for every row of every block, so the row widgets are kept at hand.
    if (index < 0 || index >= rows.size() || !ui->listWidget->item(index))
        return nullptr;
    const Row& r = rows.at(index);
    return r.frame ? &r : nullptr;
}

bool KeyHighlightDialog::keyHighlightEntry(int index, QColor& color, QString& text) const
{
    const Row* r = row(index);
    if (!r || !r->enable->isChecked())
        return false;
    color = r->color->palette().brush(QPalette::Button).color();
    text = r->keyword->text();
    return true;
}

void KeyHighlightDialog::slotSelectColor()
{
    auto* button = qobject_cast<QToolButton*>(sender());
    if (!button)
        return;
    // The picker always opens on green, the colour new rows get.
    const QColor color = colorChooser()(kDefaultColor, this, tr("选择高亮的背景色"));
    if (!color.isValid())
        return;
    qDebug() << "color:" << color;
    paintButton(button, color);
}

void KeyHighlightDialog::slotKeyHighlightConfig()
{
    if (settings) {
        settings->beginGroup(QStringLiteral("KeyHighlightConfig"));
        for (int i = 0; i < kRows; ++i) {
            const Row* r = row(i);
            if (!r)
                continue;
            settings->setValue(key("KHCEnable", i), r->enable->checkState() != Qt::Unchecked);
            settings->setValue(
                key("KHCColor", i), r->color->palette().brush(QPalette::Button).color());
            settings->setValue(key("KHCText", i), r->keyword->text());
        }
        settings->endGroup();
    }
    MsgBox::information(this, tr("关键字高亮"),
        tr("保存配置成功！\r\n保存路径：%1\t")
            .arg(settings ? QFileInfo(settings->fileName()).absoluteFilePath() : QString()));
}
