#include "share/logshareddialog.h"
#include "ui_logshareddialog.h"

#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "share/sharetext.h"

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
    toClient->write(data);
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
    // The abort runs doDisconnected at once, which tells the user and lets the peer go.
    if (connection)
        connection->abort();
    if (connection)
        dropConnection();
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
        MsgBox::information(this, boxTitle(),
            tr("来自 [%1:%2] 连接失败，已有连接进行中\t").arg(address, QString::number(port)));
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
    // Its destruction may still signal: it is no longer ours to hear.
    gone->disconnect(this);
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
    MsgBox::information(
        this, boxTitle(), tr("[%1:%2] 断开连接\t").arg(peerAddress, QString::number(peerPort)));
    if (connection == gone)
        dropConnection();
}

void LogSharedDialog::doCommTimeout()
{
    QTcpSocket* silent = connection;
    if (!silent)
        return;
    // The timer repeats: it must not stack a second message behind the first.
    commTimer->stop();
    MsgBox::information(this, boxTitle(),
        tr("60分钟未收到 [%1:%2] 的数据，主动断开连接\t")
            .arg(peerAddress, QString::number(peerPort)));
    if (connection == silent)
        dropConnection();
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
