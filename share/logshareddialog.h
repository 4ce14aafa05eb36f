#pragma once

#include "share/core/sharemode.h"

#include "share/core/peerguard.h"

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QSettings;
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
    ShareMode mode() const { return shareModeFromInt(shareMode()); }
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
    // Addresses other than this machine's that may send without being asked about; kept in the
    // settings as LogSharedConfig/AllowedPeers.
    QStringList allowedPeers() const { return allowed; }
    void setAllowedPeers(const QStringList& addresses);
    // Which peer addresses count as this machine (tests make strangers of other loopback ones).
    void setLocalPeerTest(std::function<bool(const QString&)> test)
    {
        isLocalPeer = std::move(test);
    }

signals:
    void stateInfo(QString info);
    void formData(QByteArray data);
    // A peer was let in, and a held peer is about to go (it is still named by sourceName).
    void signalPeerJoined();
    void signalPeerLeft();

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
    void tell(const QString& text);
    void reportMissed();
    void queueDrained();
    // Connections on their way in: their first bytes are looked at, then they are let in or not.
    PeerGuard::Head decideHead(QTcpSocket* socket, bool final);
    void look(QTcpSocket* socket, bool final);
    void quietPassed(QTcpSocket* socket);
    void arrivalLeft(QTcpSocket* socket);
    void admit(QTcpSocket* socket);
    void hold(QTcpSocket* socket);
    void refuse(QTcpSocket* socket);
    void refuseBusy(const QString& address, quint16 port);
    void webRequest(QTcpSocket* socket);
    bool isWebRequest(QTcpSocket* socket);
    void forgetHead(QTcpSocket* socket);

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
    bool boxOpen = false;
    qint64 missed = 0;
    qint64 missedReported = 0;
    qint64 lastMissedReport = 0;
    QString targetAddress;
    int targetPort = 0;
    bool readScheduled = false;

    // First bytes not decided yet, of a waiting connection or the held one.
    struct Arrival {
        QTimer* quiet = nullptr;
        bool heard = false;
    };
    QHash<QTcpSocket*, Arrival> heads;
    // Connections taken from the listener and not held, with their ends as they were then: a
    // socket forgets them once the peer has gone.
    struct Ends {
        QString peerAddress;
        quint16 peerPort = 0;
        QString localAddress;
        quint16 localPort = 0;
    };
    QHash<QTcpSocket*, Ends> waiting;
    static constexpr int kMaxWaiting = 16;
    // The stranger the user is being asked about, and those to ask about once a box has closed.
    QPointer<QTcpSocket> asked;
    QList<QPointer<QTcpSocket>> deferred;
    QStringList allowed;
    QSet<QString> confirmed;
    QSet<QString> declined;
    std::function<bool(const QString&)> isLocalPeer;
    QSettings* store = nullptr;
};
