#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;

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
    bool isReadPaused() const { return readPaused; }
    // Bytes taken from the peer's connection but not yet handed on (bounded by the read buffer).
    qint64 bufferedBytes() const;
    // Silence on a held connection that ends it; one hour unless a test shortens it.
    void setInactivityInterval(int ms) { inactivityMs = ms; }
    int inactivityInterval() const { return inactivityMs; }
    // What the send role may queue for a slow peer; beyond it whole chunks are dropped.
    static constexpr qint64 kMaxQueuedBytes = 16 << 20;
    // Bytes the peer sends back to the send role are read and thrown away, this much at a time.
    static constexpr qint64 kOutgoingReadBuffer = 64 << 10;
    qint64 queuedBytes() const;
    qint64 outgoingBufferedBytes() const;
    // Bytes dropped for the current target because it did not take them in time.
    qint64 missedBytes() const { return missed; }

signals:
    void stateInfo(QString info);
    void formData(QByteArray data);

private slots:
    void doCommTimeout();
    void doNewConnection();
    void doAcceptError();
    void doDisconnected();
    void doReadyRead();
    void doToClientError();
    void on_okButton_clicked();
    void on_enableLogSharedCheckBox_clicked(bool checked);

private:
    void setAddressWidgetsEnabled(bool enabled);
    void stopListening();
    void dropConnection();
    void handOn(const QByteArray& data);
    void discardIncoming();
    void tellDeparture(const QString& text);
    void reportMissed();
    void queueDrained();

    Ui::LogSharedDialog* ui = nullptr;
    QTcpServer* server = nullptr;
    QTcpSocket* toClient = nullptr;
    QTcpSocket* connection = nullptr;
    QTimer* commTimer = nullptr;
    QString peerAddress;
    quint16 peerPort = 0;
    QString localAddress;
    quint16 localPort = 0;
    int inactivityMs = 3600000;
    bool readPaused = false;
    bool refusalShown = false;
    bool departureShown = false;
    qint64 missed = 0;
    qint64 missedReported = 0;
    qint64 lastMissedReport = 0;
    QString targetAddress;
    int targetPort = 0;
    bool readScheduled = false;
};
