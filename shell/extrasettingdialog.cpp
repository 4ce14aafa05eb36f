#include "shell/extrasettingdialog.h"
#include "ui_extrasettingdialog.h"

#include <QComboBox>
#include <QSpinBox>

#include "app/mainwindow.h"
#include "serial/core/rxformat.h"

ExtraSettingDialog::ExtraSettingDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ExtraSettingDialog)
{
    ui->setupUi(this);
    mode = 0;
    setWindowTitle(tr("Quillon - 个性设置"));

    // Hex display is off at start, so the delimiter rows start disabled.
    setDelimiterWrapEnabled(false);
    connect(ui->liveRecordMaxSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &ExtraSettingDialog::liveRecordMaxMBChanged);
    connect(ui->autoReconnectCheckBox, &QCheckBox::toggled, this,
        &ExtraSettingDialog::autoReconnectChanged);
    for (const QByteArray& name : RxFormat::codecNames())
        ui->encodingComboBox->addItem(name == "ISO-8859-1" ? QStringLiteral("Latin-1 (ISO-8859-1)")
                                                           : QString::fromLatin1(name),
            name);
    connect(
        ui->ansiColorCheckBox, &QCheckBox::toggled, this, &ExtraSettingDialog::ansiColorChanged);
    connect(ui->encodingComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        [this] { emit codecChanged(codec()); });

    ui->toolBox->setStyleSheet(
        QStringLiteral("QToolBox::tab{font:bold;background:#cccccc;}"
                       "QToolBox::tab:selected{font:bold;background:#eeeeee;}"));

    // Up to ten bytes as pairs of hex digits.
    const QString mask = QStringLiteral("HH HH HH HH HH HH HH HH HH HH");
    ui->frontWrapLineEdit->setInputMask(mask);
    ui->backWrapLineEdit->setInputMask(mask);

    // Without the main window (a bare dialog) the switches act on nothing.
    if (auto* window = qobject_cast<MainWindow*>(parent)) {
        connect(ui->windowTopCheckBox, &QCheckBox::clicked, window, &MainWindow::slotWindowOnTop);
        connect(
            ui->autoUpdateCheckBox, &QCheckBox::clicked, window, &MainWindow::slotAutoCheckUpdate);
        connect(
            ui->minTrayRadioButton, &QRadioButton::toggled, window, &MainWindow::slotMinTrayArea);
        connect(ui->debugLogCheckBox, &QCheckBox::clicked, window, &MainWindow::slotEnableDebugLog);
    }
}

ExtraSettingDialog::~ExtraSettingDialog() { delete ui; }

int ExtraSettingDialog::wrapMode() const { return mode; }

int ExtraSettingDialog::frameTimeInterval() const { return ui->timeWrapSpinBox->value(); }

QByteArray ExtraSettingDialog::frontDelimiter() const
{
    return RxFormat::delimiterBytes(ui->frontWrapLineEdit->text());
}

QByteArray ExtraSettingDialog::backDelimiter() const
{
    return RxFormat::delimiterBytes(ui->backWrapLineEdit->text());
}

QString ExtraSettingDialog::frontDelimiterText() const { return ui->frontWrapLineEdit->text(); }

QString ExtraSettingDialog::backDelimiterText() const { return ui->backWrapLineEdit->text(); }

bool ExtraSettingDialog::delimiterPresent(const QByteArray& bytes) const
{
    QString pattern;
    if (mode == 2)
        pattern = ui->frontWrapLineEdit->text();
    else if (mode == 3)
        pattern = ui->backWrapLineEdit->text();
    return RxFormat::delimiterPresent(bytes, pattern);
}

void ExtraSettingDialog::setDelimiterWrapEnabled(bool enabled)
{
    ui->frontWrapRadioButton->setEnabled(enabled);
    ui->frontWrapLineEdit->setEnabled(enabled);
    ui->backWrapRadioButton->setEnabled(enabled);
    ui->backWrapLineEdit->setEnabled(enabled);
}

int ExtraSettingDialog::liveRecordMaxMB() const { return ui->liveRecordMaxSpinBox->value(); }

void ExtraSettingDialog::setLiveRecordMaxMB(int mb) { ui->liveRecordMaxSpinBox->setValue(mb); }

bool ExtraSettingDialog::autoReconnect() const { return ui->autoReconnectCheckBox->isChecked(); }

void ExtraSettingDialog::setAutoReconnect(bool on) { ui->autoReconnectCheckBox->setChecked(on); }

QByteArray ExtraSettingDialog::codec() const
{
    return ui->encodingComboBox->currentData().toByteArray();
}

bool ExtraSettingDialog::ansiColor() const { return ui->ansiColorCheckBox->isChecked(); }

void ExtraSettingDialog::setAnsiColor(bool on) { ui->ansiColorCheckBox->setChecked(on); }

void ExtraSettingDialog::setCodec(const QByteArray& name)
{
    ui->encodingComboBox->setCurrentIndex(
        ui->encodingComboBox->findData(RxFormat::canonicalCodec(name)));
}

void ExtraSettingDialog::setMinTray(bool minTray)
{
    if (minTray)
        ui->minTrayRadioButton->setChecked(true);
    else
        ui->quitRadioButton->setChecked(true);
    // Emitted even when the check state did not change, so the stored value is written back.
    emit ui->minTrayRadioButton->toggled(minTray);
}

bool ExtraSettingDialog::isMinTray() const { return ui->minTrayRadioButton->isChecked(); }

void ExtraSettingDialog::on_wrapRadioButton_clicked(bool checked)
{
    Q_UNUSED(checked)
    mode = 0;
}

void ExtraSettingDialog::on_timeWrapRadioButton_clicked(bool checked)
{
    Q_UNUSED(checked)
    mode = 1;
}

void ExtraSettingDialog::on_frontWrapRadioButton_clicked(bool checked)
{
    Q_UNUSED(checked)
    mode = 2;
}

void ExtraSettingDialog::on_backWrapRadioButton_clicked(bool checked)
{
    Q_UNUSED(checked)
    mode = 3;
}
