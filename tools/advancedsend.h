#pragma once

#include <QDialog>
#include <QString>

class AdvancedSendItem;

namespace Ui {
class AdvancedSend;
}

// 99 prepared messages, sent one by one or in a cycle through signalSendData.
class AdvancedSend : public QDialog {
    Q_OBJECT

public:
    static constexpr int kItems = 99;

    explicit AdvancedSend(QWidget* parent);
    ~AdvancedSend() override;

    // The row of list position index (0 … 98), or null.
    AdvancedSendItem* item(int index) const;
    // The port closed or the program is ending: a cycle send under way sends no further row,
    // and every send still waiting for its delay is dropped.
    void stopCycleSend();

signals:
    void signalSendData(const QString& data, bool isHex, int delayms);

public slots:
    void slotAllCycleCheckBox(int index);
    void slotCycleSendButton();

private:
    Ui::AdvancedSend* ui = nullptr;
    bool cycling = false; // a cycle send is under way
    int stops = 0; // times a cycle send was told to stop
};
