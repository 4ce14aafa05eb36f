#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

namespace Ui {
class LogSharedDialog;
}

// Settings and TCP link for passing received serial bytes to another instance.
class LogSharedDialog : public QDialog {
    Q_OBJECT

public:
    explicit LogSharedDialog(QWidget* parent);
    ~LogSharedDialog() override;

    // 0 sharing off, 1 receiving from the network, 2 sending to the network.
    int shareMode() const;
    // The connected peer as "address[port]", empty without one.
    QString sourceName() const;
    // Forwards one chunk read from the local port to the peer.
    void sendShareData(const QByteArray& data);
    QString toAddressText() const;
    void setToAddressText(const QString& address);
    // While paused the peer's bytes stay unread, so TCP flow control holds the peer back.
    void setReadPaused(bool paused);

signals:
    void stateInfo(QString info);
    void formData(QByteArray data);

private:
    Ui::LogSharedDialog* ui = nullptr;
};
