#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// One prepared message of the advanced send window: hex flag, text, send button and delay.
class AdvancedSendItem : public QWidget {
    Q_OBJECT

public:
    explicit AdvancedSendItem(const QString& buttonText, QWidget* parent = nullptr);

    // Hex digits only once the blanks are gone, and at least one of them.
    static bool isHexData(const QString& text);

    bool isHex() const;
    QString text() const;
    int delay() const;

    QCheckBox* hexCheckBox() const { return hexBox; }
    QLineEdit* dataLineEdit() const { return dataEdit; }
    QPushButton* sendPushButton() const { return sendButton; }
    QSpinBox* delaySpinBox() const { return delayBox; }

signals:
    void signalSendData(const QString& data, bool isHex, int delayms);

public slots:
    void slotSendPushButton();

private:
    QCheckBox* hexBox = nullptr;
    QLineEdit* dataEdit = nullptr;
    QPushButton* sendButton = nullptr;
    QSpinBox* delayBox = nullptr;
};
