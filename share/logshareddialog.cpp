#include "share/logshareddialog.h"
#include "ui_logshareddialog.h"

#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "share/core/sharetext.h"

#include <QDateTime>
#include <QDebug>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QRegExp>
#include <QRegExpValidator>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// What Qt may take from the kernel ahead of the display; beyond it TCP flow control holds the peer.
static const qint64 kConnectionReadBuffer = 1 << 20;

static QString boxTitle() { return QStringLiteral("Quillon"); }

LogSharedDialog::LogSharedDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogSharedDialog)
    , isLocalPeer(PeerGuard::isLoopback)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 日志共享功能"));

    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        bool ipv4 = false;
        address.toIPv4Address(&ipv4);
        if (ipv4)
            ui->formIPComboBox->addItem(address.toString());
    }
    // Other hosts only when the user chooses so.
    const int loopback = ui->formIPComboBox->findText(QStringLiteral("127.0.0.1"));
    if (loopback >= 0)
        ui->formIPComboBox->setCurrentIndex(loopback);

    setAddressWidgetsEnabled(false);

    ui->toIPLineEdit->setValidator(new QRegExpValidator(
        QRegExp(ShareText::ipv4Pattern(), Qt::CaseSensitive, QRegExp::RegExp), ui->toIPLineEdit));

    server = new QTcpServer(this);
    server->setMaxPendingConnections(1);
    connect(server, &QTcpServer::newConnection, this, &LogSharedDialog::doNewConnection);
    connect(server, &QTcpServer::acceptError, this, &LogSharedDialog::doAcceptError);

    toClient = new QTcpSocket(this);
    connect(toClient, &QAbstractSocket::errorOccurred, this, &LogSharedDialog::doToClientError);
    // The link is one-way: whatever a peer sends back must not pile up here.
    toClient->setReadBufferSize(kOutgoingReadBuffer);
    connect(toClient, &QIODevice::readyRead, this, &LogSharedDialog::discardIncoming);
    connect(toClient, &QIODevice::bytesWritten, this, &LogSharedDialog::queueDrained);

    commTimer = new QTimer(this);
    connect(commTimer, &QTimer::timeout, this, &LogSharedDialog::doCommTimeout);

    // Runs after the by-name slot on_okButton_clicked, so the main window sees the applied setup.
    if (auto* main = qobject_cast<MainWindow*>(parent)) {
        connect(ui->okButton, &QPushButton::clicked, main, &MainWindow::slotLogShared);
        store = main->settingsStore();
        store->beginGroup(QStringLiteral("LogSharedConfig"));
        // A list by hand in the file may be one text with commas or a list of texts.
        const QStringList kept = store->value(QStringLiteral("AllowedPeers")).toStringList();
        store->endGroup();
        allowed = PeerGuard::parseAddressList(kept.join(QLatin1Char(',')));
    }
    ui->allowIPLineEdit->setText(allowed.join(QStringLiteral(", ")));
}

LogSharedDialog::~LogSharedDialog()
{
    // Sockets closed while the children are torn down must not call back into a dead dialog.
    commTimer->stop();
    server->disconnect(this);
    toClient->disconnect(this);
    if (connection)
        connection->disconnect(this);
    for (auto it = waiting.cbegin(); it != waiting.cend(); ++it)
        it.key()->disconnect(this);
    for (const Arrival& arrival : qAsConst(heads))
        arrival.quiet->disconnect(this);
    delete ui;
}

int LogSharedDialog::shareMode() const
{
    if (!ui->enableLogSharedCheckBox->isChecked())
        return 0;
    if (ui->formRadioButton->isChecked())
        return 1;
    if (ui->toRadioButton->isChecked())
        return 2;
    return 0;
}

QString LogSharedDialog::sourceName() const { return ShareText::sourceName(peerAddress, peerPort); }

void LogSharedDialog::sendShareData(const QByteArray& data)
{
    // Without a connection (attempt) the bytes are lost, as on a cut cable.
    if (toClient->state() == QAbstractSocket::UnconnectedState)
        return;
    // A peer that does not read would otherwise make us hold everything the port ever sent.
    if (toClient->bytesToWrite() + data.size() > kMaxQueuedBytes) {
        missed += data.size();
        reportMissed();
        return;
    }
    toClient->write(data);
}

qint64 LogSharedDialog::queuedBytes() const { return toClient->bytesToWrite(); }

qint64 LogSharedDialog::outgoingBufferedBytes() const { return toClient->bytesAvailable(); }

void LogSharedDialog::discardIncoming() { toClient->skip(toClient->bytesAvailable()); }

void LogSharedDialog::reportMissed()
{
    // One status per second at most, never a box: chunks are dropped many times a second.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (mode() != ShareMode::Send || missed == missedReported
        || (missedReported > 0 && now - lastMissedReport < 1000))
        return;
    missedReported = missed;
    lastMissedReport = now;
    emit stateInfo(ShareText::targetMissed(targetAddress, targetPort, missed));
}

void LogSharedDialog::queueDrained()
{
    // Once the peer catches up, the status gets the final count.
    if (missed != missedReported && toClient->bytesToWrite() < kMaxQueuedBytes / 2) {
        lastMissedReport = 0;
        reportMissed();
    }
}

QString LogSharedDialog::toAddressText() const { return ui->toIPLineEdit->text(); }

void LogSharedDialog::setToAddressText(const QString& address)
{
    ui->toIPLineEdit->setText(address);
}

void LogSharedDialog::setReadPaused(bool paused)
{
    readPaused = paused;
    // Bytes Qt already holds are not announced again: fetch them, but outside the caller's stack,
    // which is usually the formData emission of doReadyRead itself.
    if (!paused && !readScheduled && connection && connection->bytesAvailable() > 0) {
        readScheduled = true;
        QTimer::singleShot(0, this, [this] {
            readScheduled = false;
            doReadyRead();
        });
    }
}

qint64 LogSharedDialog::bufferedBytes() const
{
    return connection ? connection->bytesAvailable() : 0;
}

void LogSharedDialog::setAllowedPeers(const QStringList& addresses)
{
    const QStringList list = PeerGuard::parseAddressList(addresses.join(QLatin1Char(',')));
    ui->allowIPLineEdit->setText(list.join(QStringLiteral(", ")));
    if (list == allowed)
        return;
    allowed = list;
    if (store) {
        store->beginGroup(QStringLiteral("LogSharedConfig"));
        store->setValue(QStringLiteral("AllowedPeers"), allowed);
        store->endGroup();
    }
}

void LogSharedDialog::setAddressWidgetsEnabled(bool enabled)
{
    ui->formRadioButton->setEnabled(enabled);
    ui->formIPComboBox->setEnabled(enabled);
    ui->formPortLineEdit->setEnabled(enabled);
    ui->toRadioButton->setEnabled(enabled);
    ui->toIPLineEdit->setEnabled(enabled);
    ui->toPortLineEdit->setEnabled(enabled);
    ui->allowIPLineEdit->setEnabled(enabled);
}

void LogSharedDialog::on_enableLogSharedCheckBox_clicked(bool checked)
{
    setAddressWidgetsEnabled(checked);
}

void LogSharedDialog::stopListening()
{
    // Those still on their way in go without a word.
    const QList<QTcpSocket*> arriving = waiting.keys();
    for (QTcpSocket* socket : arriving)
        refuse(socket);
    if (connection && isWebRequest(connection))
        dropConnection();
    if (QTcpSocket* gone = connection) {
        if (gone->bytesAvailable() > 0)
            handOn(gone->readAll());
        const QString text = tr("[%1:%2] 断开连接\t").arg(peerAddress, QString::number(peerPort));
        if (connection == gone)
            dropConnection();
        tell(text);
    }
    server->close();
}

void LogSharedDialog::on_okButton_clicked()
{
    setAllowedPeers(QStringList { ui->allowIPLineEdit->text() });
    if (!ui->enableLogSharedCheckBox->isChecked()) {
        stopListening();
        toClient->close();
        emit stateInfo(QString());
        reject();
        return;
    }

    QHostAddress address;
    int port = 0;
    if (ui->formRadioButton->isChecked()) {
        address = QHostAddress(PeerGuard::listenAddress(ui->formIPComboBox->currentText()));
        port = ShareText::portFromText(ui->formPortLineEdit->text());
        const bool same = server->isListening() && server->serverAddress() == address
            && server->serverPort() == quint16(port);
        if (!same) {
            if (server->isListening())
                stopListening();
            if (!server->listen(address, quint16(port))) {
                const QString reason = server->errorString();
                // Switch off through the user's own path, so the main window restores itself.
                ui->enableLogSharedCheckBox->click();
                ui->okButton->click();
                MsgBox::warning(this, boxTitle(), tr("监听错误: %1\t").arg(reason));
                return;
            }
        }
        toClient->close();
        if (!connection)
            emit stateInfo(ShareText::listening(address.toString(), port));
    } else if (ui->toRadioButton->isChecked()) {
        address = QHostAddress(ui->toIPLineEdit->text());
        port = ShareText::portFromText(ui->toPortLineEdit->text());
        // A socket left unconnected by an error still remembers its peer: it must try again.
        const bool same = toClient->state() != QAbstractSocket::UnconnectedState
            && toClient->peerAddress() == address && toClient->peerPort() == quint16(port);
        if (!same) {
            toClient->close();
            missed = missedReported = 0;
            targetAddress = address.toString();
            targetPort = port;
            toClient->connectToHost(address, quint16(port), QIODevice::ReadWrite);
            if (server->isListening())
                stopListening();
        }
        emit stateInfo(ShareText::target(address.toString(), port));
    }

    qDebug() << "address" << address.toString() << "localPort" << port;
    accept();
}

void LogSharedDialog::doNewConnection()
{
    QTcpSocket* next = server->nextPendingConnection();
    if (!next)
        return;
    if (waiting.size() >= kMaxWaiting) {
        qDebug() << "log sharing: too many connections at once, closed"
                 << next->peerAddress().toString() << next->peerPort();
        next->abort();
        next->deleteLater();
        return;
    }
    // Nothing of it is shown before its first bytes are known to be no web request.
    next->setReadBufferSize(kConnectionReadBuffer);
    waiting.insert(next,
        { next->peerAddress().toString(), next->peerPort(), next->localAddress().toString(),
            next->localPort() });
    Arrival& arrival = heads[next];
    arrival.quiet = new QTimer(next);
    arrival.quiet->setSingleShot(true);
    connect(arrival.quiet, &QTimer::timeout, this, [this, next] { quietPassed(next); });
    connect(next, &QIODevice::readyRead, this, [this, next] { look(next, false); });
    connect(next, &QAbstractSocket::disconnected, this, [this, next] { arrivalLeft(next); });
    arrival.quiet->start(PeerGuard::QuietMs);
    if (next->bytesAvailable() > 0)
        look(next, false);
}

PeerGuard::Head LogSharedDialog::decideHead(QTcpSocket* socket, bool final)
{
    const auto it = heads.find(socket);
    if (it == heads.end())
        return PeerGuard::Plain;
    const QByteArray head = socket->peek(PeerGuard::MaxRequestLine);
    PeerGuard::Head kind = PeerGuard::classifyHead(head);
    if (kind == PeerGuard::Undecided) {
        if (head.isEmpty())
            return kind;
        if (!final) {
            // The first bytes wait a moment for the rest of their line, once.
            if (!it->heard) {
                it->heard = true;
                it->quiet->start(PeerGuard::QuietMs);
            }
            return kind;
        }
        kind = PeerGuard::Plain;
    }
    forgetHead(socket);
    return kind;
}

void LogSharedDialog::forgetHead(QTcpSocket* socket)
{
    const auto it = heads.find(socket);
    if (it == heads.end())
        return;
    // Later: this may run from the timer's own signal.
    it->quiet->stop();
    it->quiet->deleteLater();
    heads.erase(it);
}

void LogSharedDialog::look(QTcpSocket* socket, bool final)
{
    const PeerGuard::Head kind = decideHead(socket, final);
    if (kind == PeerGuard::Http)
        webRequest(socket);
    else if (kind == PeerGuard::Undecided)
        return;
    else if (socket == connection)
        doReadyRead();
    else if (socket != asked && waiting.contains(socket))
        admit(socket);
}

void LogSharedDialog::quietPassed(QTcpSocket* socket)
{
    if (heads.value(socket).heard || socket->bytesAvailable() > 0) {
        look(socket, heads.value(socket).heard);
        return;
    }
    // Nothing yet: a sender whose port is silent. It may come in; its first bytes are still
    // looked at when they come.
    if (socket != asked && waiting.contains(socket))
        admit(socket);
}

void LogSharedDialog::arrivalLeft(QTcpSocket* socket)
{
    // The answer decides about the one being asked about; its bytes stay in the socket.
    if (socket == asked || !waiting.contains(socket))
        return;
    // What it sent before it left is a sender's like any other. Asking about it may take a
    // while, and the socket may be gone after.
    const QPointer<QTcpSocket> guard(socket);
    if (socket->bytesAvailable() > 0)
        look(socket, true);
    if (guard && waiting.contains(socket) && socket != asked)
        refuse(socket);
}

void LogSharedDialog::admit(QTcpSocket* socket)
{
    const Ends ends = waiting.value(socket);
    const QString address = ends.peerAddress;
    const quint16 port = ends.peerPort;
    const QString plain = PeerGuard::plainAddress(address);
    const bool trusted
        = isLocalPeer(plain) || PeerGuard::isListed(plain, allowed) || confirmed.contains(plain);
    switch (PeerGuard::admission(
        trusted, declined.contains(plain), connection != nullptr, !asked.isNull())) {
    case PeerGuard::Hold:
        hold(socket);
        return;
    case PeerGuard::RefuseBusy:
        refuse(socket);
        refuseBusy(address, port);
        return;
    case PeerGuard::RefuseQuietly:
        qDebug() << "log sharing: not let in" << address << port;
        refuse(socket);
        return;
    case PeerGuard::Ask:
        break;
    }
    if (boxOpen) {
        if (!deferred.contains(socket))
            deferred.append(socket);
        return;
    }

    asked = socket;
    boxOpen = true;
    const QMessageBox::StandardButton answer = MsgBox::question(this, boxTitle(),
        tr("是否接受来自 [%1:%2] 的日志共享连接？\n只接受你信任的设备，本次运行中不再询问此地址。\t")
            .arg(address, QString::number(port)),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    const QPointer<QTcpSocket> was = asked;
    asked = nullptr;
    boxOpen = false;
    if (answer == QMessageBox::Ok)
        confirmed.insert(plain);
    else
        declined.insert(plain);
    // It may have been closed meanwhile: a web request after all, or the listener stopped.
    if (!was || !waiting.contains(was))
        return;
    if (answer != QMessageBox::Ok || !server->isListening())
        refuse(was);
    else
        admit(was);
}

void LogSharedDialog::hold(QTcpSocket* socket)
{
    const Ends ends = waiting.take(socket);
    socket->disconnect(this);
    connection = socket;
    // A new peer starts unthrottled: the main window pauses it again as soon as it falls behind.
    readPaused = false;
    peerAddress = ends.peerAddress;
    peerPort = ends.peerPort;
    localAddress = ends.localAddress;
    localPort = ends.localPort;
    // Listen before telling anyone: a message shown for the status runs the event loop.
    connect(socket, &QAbstractSocket::disconnected, this, &LogSharedDialog::doDisconnected);
    connect(socket, &QIODevice::readyRead, this, &LogSharedDialog::doReadyRead);
    // A peer that connects and never sends is let go in time too.
    commTimer->start(inactivityMs);
    // Either may run a box, during which the peer may go again.
    emit signalPeerJoined();
    if (connection == socket)
        emit stateInfo(ShareText::peer(peerAddress, peerPort));
    if (connection != socket)
        return;
    // What came while it waited is not announced again.
    if (socket->state() != QAbstractSocket::ConnectedState)
        doDisconnected();
    else if (socket->bytesAvailable() > 0)
        doReadyRead();
}

void LogSharedDialog::refuse(QTcpSocket* socket)
{
    waiting.remove(socket);
    forgetHead(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void LogSharedDialog::refuseBusy(const QString& address, quint16 port)
{
    tell(tr("来自 [%1:%2] 连接失败，已有连接进行中\t").arg(address, QString::number(port)));
}

bool LogSharedDialog::isWebRequest(QTcpSocket* socket)
{
    return heads.contains(socket) && decideHead(socket, true) == PeerGuard::Http;
}

void LogSharedDialog::webRequest(QTcpSocket* socket)
{
    if (socket == connection) {
        qDebug() << "log sharing: a web request closed" << peerAddress << peerPort;
        dropConnection();
        return;
    }
    qDebug() << "log sharing: a web request closed" << waiting.value(socket).peerAddress
             << waiting.value(socket).peerPort;
    refuse(socket);
}

void LogSharedDialog::doReadyRead()
{
    if (!connection || readPaused)
        return;
    if (heads.contains(connection)) {
        look(connection, false);
        return;
    }
    handOn(connection->readAll());
}

void LogSharedDialog::handOn(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    commTimer->start(inactivityMs);
    emit formData(data);
}

void LogSharedDialog::dropConnection()
{
    QTcpSocket* gone = connection;
    connection = nullptr;
    commTimer->stop();
    forgetHead(gone);
    // Its destruction may still signal: it is no longer ours to hear. Closed now, not when the
    // deletion comes round: a message box may hold the event loop for a long time.
    gone->disconnect(this);
    gone->abort();
    gone->deleteLater();

    // Told while sourceName still names the departing peer. The main window may show a box
    // meanwhile, and a new peer may come in during it.
    emit signalPeerLeft();
    if (ui->enableLogSharedCheckBox->isChecked())
        emit stateInfo(ShareText::listening(localAddress, localPort));
    if (connection)
        return;
    peerAddress.clear();
    localAddress.clear();
    peerPort = 0;
    localPort = 0;
}

void LogSharedDialog::doDisconnected()
{
    QTcpSocket* gone = connection;
    if (!gone)
        return;
    if (isWebRequest(gone)) {
        webRequest(gone);
        return;
    }
    // What the peer sent before closing is still owed to the display, paused or not.
    if (gone->bytesAvailable() > 0)
        handOn(gone->readAll());
    const QString text = tr("[%1:%2] 断开连接\t").arg(peerAddress, QString::number(peerPort));
    // Released before the message, so a sender that reconnects at once is accepted. The box
    // waits until the socket's own signal has returned: its event loop could delete the socket
    // under it.
    if (connection == gone)
        dropConnection();
    QTimer::singleShot(0, this, [this, text] { tell(text); });
}

void LogSharedDialog::doCommTimeout()
{
    QTcpSocket* silent = connection;
    if (!silent)
        return;
    commTimer->stop();
    const QString text = tr("60分钟未收到 [%1:%2] 的数据，主动断开连接\t")
                             .arg(peerAddress, QString::number(peerPort));
    dropConnection();
    tell(text);
}

void LogSharedDialog::tell(const QString& text)
{
    // One box at a time: a peer that comes and goes in a loop must not stack them, each with an
    // event loop of its own. The rest go to the debug log.
    if (boxOpen) {
        qDebug() << text;
        return;
    }
    boxOpen = true;
    MsgBox::information(this, boxTitle(), text);
    boxOpen = false;
    // Strangers that came meanwhile are asked about now.
    const QList<QPointer<QTcpSocket>> later = deferred;
    deferred.clear();
    for (const QPointer<QTcpSocket>& socket : later)
        if (socket && waiting.contains(socket) && socket != asked)
            admit(socket);
}

void LogSharedDialog::doAcceptError()
{
    ui->enableLogSharedCheckBox->setChecked(false);
    setAddressWidgetsEnabled(false);
    reject();
    MsgBox::warning(this, boxTitle(), tr("接受错误: %1\t").arg(server->errorString()));
    emit stateInfo(QString());
}

void LogSharedDialog::doToClientError()
{
    ui->enableLogSharedCheckBox->setChecked(false);
    setAddressWidgetsEnabled(false);
    reject();
    MsgBox::warning(this, boxTitle(),
        tr("连接到 %1:%2 出错\t").arg(ui->toIPLineEdit->text(), ui->toPortLineEdit->text()));
    emit stateInfo(QString());
}
