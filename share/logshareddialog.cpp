#include "share/logshareddialog.h"
#include "ui_logshareddialog.h"

#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "share/sharetext.h"

#include <QDateTime>
#include <QDebug>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QRegExp>
#include <QRegExpValidator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// What Qt may take from the kernel ahead of the display; beyond it TCP flow control holds the peer.
static const qint64 kConnectionReadBuffer = 1 << 20;

static QString boxTitle() { return QStringLiteral("Quillon"); }

LogSharedDialog::LogSharedDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogSharedDialog)
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
    if (auto* main = qobject_cast<MainWindow*>(parent))
        connect(ui->okButton, &QPushButton::clicked, main, &MainWindow::slotLogShared);
}

LogSharedDialog::~LogSharedDialog()
{
    // Sockets closed while the children are torn down must not call back into a dead dialog.
    commTimer->stop();
    server->disconnect(this);
    toClient->disconnect(this);
    if (connection)
        connection->disconnect(this);
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
    if (shareMode() != 2 || missed == missedReported
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

void LogSharedDialog::setAddressWidgetsEnabled(bool enabled)
{
    ui->formRadioButton->setEnabled(enabled);
    ui->formIPComboBox->setEnabled(enabled);
    ui->formPortLineEdit->setEnabled(enabled);
    ui->toRadioButton->setEnabled(enabled);
    ui->toIPLineEdit->setEnabled(enabled);
    ui->toPortLineEdit->setEnabled(enabled);
}

void LogSharedDialog::on_enableLogSharedCheckBox_clicked(bool checked)
{
    setAddressWidgetsEnabled(checked);
}

void LogSharedDialog::stopListening()
{
    if (QTcpSocket* gone = connection) {
        if (gone->bytesAvailable() > 0)
            handOn(gone->readAll());
        const QString text = tr("[%1:%2] 断开连接\t").arg(peerAddress, QString::number(peerPort));
        if (connection == gone)
            dropConnection();
        tellDeparture(text);
    }
    server->close();
}

void LogSharedDialog::on_okButton_clicked()
{
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
        address = QHostAddress(ui->formIPComboBox->currentText());
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

    if (connection) {
        const QString address = next->peerAddress().toString();
        const quint16 port = next->peerPort();
        next->abort();
        next->deleteLater();
        const QString text
            = tr("来自 [%1:%2] 连接失败，已有连接进行中\t").arg(address, QString::number(port));
        // A peer connecting in a loop must not stack boxes, each with an event loop of its own.
        if (refusalShown) {
            qDebug() << text;
            return;
        }
        refusalShown = true;
        MsgBox::information(this, boxTitle(), text);
        refusalShown = false;
        return;
    }

    connection = next;
    // A new peer starts unthrottled: the main window pauses it again as soon as it falls behind.
    readPaused = false;
    peerAddress = next->peerAddress().toString();
    peerPort = next->peerPort();
    localAddress = next->localAddress().toString();
    localPort = next->localPort();
    next->setReadBufferSize(kConnectionReadBuffer);
    // Listen before telling anyone: a message shown for the status runs the event loop.
    connect(next, &QAbstractSocket::disconnected, this, &LogSharedDialog::doDisconnected);
    connect(next, &QIODevice::readyRead, this, &LogSharedDialog::doReadyRead);
    // A peer that connects and never sends is let go in time too.
    commTimer->start(inactivityMs);
    emit stateInfo(ShareText::peer(peerAddress, peerPort));
}

void LogSharedDialog::doReadyRead()
{
    if (!connection || readPaused)
        return;
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
    if (ui->enableLogSharedCheckBox->isChecked())
        emit stateInfo(ShareText::listening(localAddress, localPort));

    commTimer->stop();
    peerAddress.clear();
    localAddress.clear();
    peerPort = 0;
    localPort = 0;

    QTcpSocket* gone = connection;
    connection = nullptr;
    // Its destruction may still signal: it is no longer ours to hear. Closed now, not when the
    // deletion comes round: a message box may hold the event loop for a long time.
    gone->disconnect(this);
    gone->abort();
    gone->deleteLater();
}

void LogSharedDialog::doDisconnected()
{
    QTcpSocket* gone = connection;
    if (!gone)
        return;
    // What the peer sent before closing is still owed to the display, paused or not.
    if (gone->bytesAvailable() > 0)
        handOn(gone->readAll());
    const QString text = tr("[%1:%2] 断开连接\t").arg(peerAddress, QString::number(peerPort));
    // Released before the message, so a sender that reconnects at once is accepted. The box
    // waits until the socket's own signal has returned: its event loop could delete the socket
    // under it.
    if (connection == gone)
        dropConnection();
    QTimer::singleShot(0, this, [this, text] { tellDeparture(text); });
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
    tellDeparture(text);
}

void LogSharedDialog::tellDeparture(const QString& text)
{
    // A peer that comes and goes in a loop gets one box at a time; the rest go to the debug log.
    if (departureShown) {
        qDebug() << text;
        return;
    }
    departureShown = true;
    MsgBox::information(this, boxTitle(), text);
    departureShown = false;
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
