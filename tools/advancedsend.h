#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class AdvancedSend;
}

// 99 prepared messages, sent one by one or in a cycle through signalSendData.
class AdvancedSend : public QDialog {
    Q_OBJECT

public:
    explicit AdvancedSend(QWidget* parent);
    ~AdvancedSend() override;

signals:
    void signalSendData(const QString& data, bool isHex, int delayms);

private:
    Ui::AdvancedSend* ui = nullptr;
};
