#pragma once

#include "tools/core/replyassembler.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

class QButtonGroup;

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
    // Completes a command frame typed as hex text and sends it through signalSendData.
    void sendDeviceCommand(const QString& frameText);

signals:
    void signalSendData(QString data, bool isHex, int delayms);

public slots:
    void slotCalChecksumButton();
    void slotCharacterHexShowButton();
    void slotSetDataButton();
    void slotUnsetDataButton();

private slots:
    void on_mpuVerToolButton_clicked();
    void on_resetMCUToolButton_clicked();
    void on_getResetInfoButton_clicked();
    void on_sendToolButton_clicked();
    void on_clearToolButton_clicked();

private:
    enum DisplayMode { CharacterMode = 1, HexMode = 2 };

    void sendPreset(quint8 code);
    void clearReplyPanes();

    Ui::AdditionFunction* ui = nullptr;
    QButtonGroup* dataModeGroup = nullptr;
    QButtonGroup* sumKindGroup = nullptr;
    int displayMode = HexMode;
    int appliedMode = HexMode;
    ReplyAssembler replies;
};
