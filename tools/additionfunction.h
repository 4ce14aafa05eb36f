#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

namespace Ui {
class AdditionFunction;
}

// The utility window: checksums, character/hex conversion, frames, device commands, MCU upgrade.
class AdditionFunction : public QDialog {
    Q_OBJECT

public:
    explicit AdditionFunction(QWidget* parent);
    ~AdditionFunction() override;

    // While checked, received lines go to the upgrade dialogue instead of the view.
    bool isMcuUpgradeChecked() const;
    void setMcuUpgradeChecked(bool checked);
    // Upgrade type ("1" … "5") and key, as the bytes written at the boot loader's prompts.
    void mcuUpgradeParams(QByteArray& type, QByteArray& key) const;
    // Every chunk the port delivers, for the device console's reply parser.
    void feedDeviceReply(const QByteArray& data);

signals:
    void signalSendData(QString data, bool isHex, int delayms);

private:
    Ui::AdditionFunction* ui = nullptr;
};
