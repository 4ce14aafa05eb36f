// Log sharing: its addresses and status texts, then two instances over real sockets on 127.0.0.1.
#include "app/mainwindow.h"
#include "share/core/peerguard.h"
#include "share/core/sharetext.h"
#include "share/logshareddialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QNetworkInterface>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

static const QString kLocal = QStringLiteral("127.0.0.1");
static const QString kQuestion
    = QStringLiteral("是否确认要开启日记共享功能？\n这会清空本地缓存和无法打开本地串口\t");
static const QString kSwitchedOff = QStringLiteral("日志共享功能已关闭\t");
static const QString kPortTitle = QStringLiteral("接收区 - 来源串口");
static const QString kBareTip = QStringLiteral("应用名：Quillon.exe\r\n版本号：2.8.2\r\n");

// Boxes and statuses as "I: …", "W: …", "Q: …", "S: …", a window's reaction before its status.
struct Journal {
    Journal()
    {
        MsgBox::setHandler([this](const MsgBox::Call& call) {
            static const char* const kinds[] = { "W", "I", "Q", "A" };
            // Each window warns at start-up that the update plug-in is missing: not our subject.
            if (call.text == QStringLiteral("缺少 OrvUpdatePlugin.dll 库\t"))
                return QMessageBox::Ok;
            calls.append(call);
            events << QString::fromLatin1(kinds[call.kind]) + ": " + call.text;
            // A modal box runs an event loop of its own; a test may keep it open like a user.
            maxDepth = qMax(maxDepth, ++depth);
            if (whileOpen)
                whileOpen(call);
            --depth;
            return call.kind == MsgBox::Question ? answer : QMessageBox::Ok;
        });
    }
    ~Journal() { MsgBox::setHandler({}); }
    void watch(LogSharedDialog* dialog)
    {
        QObject::connect(dialog, &LogSharedDialog::stateInfo, &context,
            [this](const QString& info) { events << "S: " + info; });
    }
    void clear()
    {
        events.clear();
        calls.clear();
    }

    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QStringList events;
    QList<MsgBox::Call> calls;
    std::function<void(const MsgBox::Call&)> whileOpen;
    int depth = 0; // boxes open now
    int maxDepth = 0;
    QString boxes() const { return QString("%1 open, at most %2").arg(depth).arg(maxDepth); }
    QObject context;
};

// Uses up every free descriptor, so the next accept() fails for lack of resources.
struct DescriptorFlood {
    DescriptorFlood()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit low { std::min<rlim_t>(saved.rlim_cur, 1024), saved.rlim_max };
        ::setrlimit(RLIMIT_NOFILE, &low);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            fds.push_back(fd);
        exhausted = errno == EMFILE;
    }
    ~DescriptorFlood()
    {
        for (int fd : fds)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
    }
    bool exhausted = false;
    rlimit saved {};
    std::vector<int> fds;
};

static quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

template <class T> static T* part(QObject* dialog, const char* name)
{
    T* w = dialog->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

static QCheckBox* enableBox(QObject* d) { return part<QCheckBox>(d, "enableLogSharedCheckBox"); }

static void setEnabledBox(LogSharedDialog* d, bool on)
{
    if (enableBox(d)->isChecked() != on)
        enableBox(d)->click();
}

static void pressOk(LogSharedDialog* d) { part<QPushButton>(d, "okButton")->click(); }

// Listens on port, a free one by default; returns the port.
static quint16 receiveOn(LogSharedDialog* d, QVariant port = {})
{
    port = port.isValid() ? port : freePort();
    setEnabledBox(d, true);
    part<QRadioButton>(d, "formRadioButton")->click();
    part<QComboBox>(d, "formIPComboBox")->setCurrentText(kLocal);
    part<QLineEdit>(d, "formPortLineEdit")->setText(port.toString());
    pressOk(d);
    return port.value<quint16>();
}

static void sendTo(LogSharedDialog* d, const QVariant& port, const QString& ip = kLocal)
{
    setEnabledBox(d, true);
    part<QRadioButton>(d, "toRadioButton")->click();
    part<QLineEdit>(d, "toIPLineEdit")->setText(ip);
    part<QLineEdit>(d, "toPortLineEdit")->setText(port.toString());
    pressOk(d);
}

static void switchOff(LogSharedDialog* d)
{
    setEnabledBox(d, false);
    pressOk(d);
}

// The dialog as a user sees it, e.g. "unchecked from widgets off mode 0" ("on/off": mixed).
static QString looks(LogSharedDialog* d)
{
    QStringList widgets;
    for (const char* name : { "formRadioButton", "formIPComboBox", "formPortLineEdit",
             "toRadioButton", "toIPLineEdit", "toPortLineEdit" })
        widgets << (part<QWidget>(d, name)->isEnabled() ? "on" : "off");
    widgets.removeDuplicates();
    const char* role = part<QRadioButton>(d, "formRadioButton")->isChecked() ? "from"
        : part<QRadioButton>(d, "toRadioButton")->isChecked()                ? "to"
                                                                             : "no role";
    return QString("%1 %2 widgets %3 mode %4")
        .arg(enableBox(d)->isChecked() ? "checked" : "unchecked", role, widgets.join('/'))
        .arg(d->shareMode());
}

// from: another loopback address to connect from, which a test may make a stranger.
static std::unique_ptr<QTcpSocket> connectPeer(quint16 port, const QString& from = QString())
{
    auto peer = std::make_unique<QTcpSocket>();
    if (!from.isEmpty())
        peer->bind(QHostAddress(from));
    peer->connectToHost(QHostAddress::LocalHost, port);
    return peer->waitForConnected(3000) ? std::move(peer) : nullptr;
}

// Everything the socket receives until it holds at least size bytes (or time runs out).
static QByteArray readAtLeast(QTcpSocket* socket, int size)
{
    QByteArray got; // the caller compares what came
    static_cast<void>(QTest::qWaitFor([&] { return (got += socket->readAll()).size() >= size; }));
    return got;
}

// The journal's lines for the statuses and messages of one address, and the peers' names.
static QString at(const char* text, QVariant port) { return QString(text).arg(port.toString()); }
static QString peerName(const QTcpSocket& peer) { return at("127.0.0.1[%1]", peer.localPort()); }
static QString listening(quint16 port) { return at("S: 本地监听 [127.0.0.1:%1]", port); }
static QString sendingTo(QVariant port) { return at("S: ；传至 → [127.0.0.1:%1]", port); }
static QString peerLeft(quint16 peer) { return at("I: [127.0.0.1:%1] 断开连接\t", peer); }
static QString peerTimedOut(quint16 peer)
{
    return at("I: 60分钟未收到 [127.0.0.1:%1] 的数据，主动断开连接\t", peer);
}
static QString connectError(QVariant port) { return at("W: 连接到 127.0.0.1:%1 出错\t", port); }
// What the dialog logs when it takes up an address.
static QString debugLine(quint16 port) { return at("address \"127.0.0.1\" localPort %1", port); }

static QStringList items(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// The record files of one kind ("All", "Auto", "Live") as "<source>: <content>", sorted.
static QStringList records(const QString& kind)
{
    QStringList out;
    for (const QString& name :
        QDir("Record").entryList({ "Orv_" + kind + "_Rec_*.txt" }, QDir::Files))
        out << name.section('_', 3, 3) + ": " + QString::fromUtf8(fileBytes("Record/" + name));
    out.sort();
    return out;
}

static QString title(MainWindow& w) { return w.form()->recvAreaGroupBox->title(); }

// The receive area's title, the usable port controls (list, open, pause), the open button's colour
// (closed/open/grey) and whether the port is open.
static QString looks(MainWindow& w)
{
    QStringList on;
    for (QWidget* c : std::initializer_list<QWidget*> {
             w.form()->serialNumComboBox, w.form()->openSerialButton, w.form()->pauseRecvButton })
        if (c->isEnabled())
            on << c->objectName();
    static const QString bold = "QPushButton{color:%1;font-weight:bold;}";
    static const QHash<QString, QString> colours { { bold.arg("#000000"), "closed" },
        { bold.arg("#0000FF"), "open" }, { bold.arg("#969696"), "grey" } };
    const QString style = w.form()->openSerialButton->styleSheet();
    on << colours.value(style, style);
    return QStringList({ title(w), on.join(' '), w.port()->isOpen() ? "port open" : "port closed" })
        .join(" | ");
}
static const QString kIdle = "serialNumComboBox openSerialButton closed";
static const QString kInUse = "openSerialButton pauseRecvButton open";

static const QString kPortIdle = kPortTitle + " | " + kIdle + " | port closed";
static const QString kPortInUse = kPortTitle + " | " + kInUse + " | port open";

static QString trayTip(MainWindow& w) { return w.findChild<QSystemTrayIcon*>()->toolTip(); }

// A dialog in the receive role on a free port, what it handed on, and the peer it holds.
struct Listener {
    LogSharedDialog d;
    quint16 port = freePort();
    QByteArray got;
    std::unique_ptr<QTcpSocket> peer;
    quint16 peerPort = 0;

    // inactivityMs: 0 keeps the dialog's own interval.
    Listener(QWidget* host, Journal* journal, int inactivityMs = 0)
        : d(host)
    {
        journal->watch(&d);
        if (inactivityMs)
            d.setInactivityInterval(inactivityMs);
        d.show();
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debugLine(port))); // missing fails the test
        receiveOn(&d, port);
        QObject::connect(&d, &LogSharedDialog::formData, [this](const QByteArray& b) { got += b; });
    }
    // Connects a peer and waits until the dialog names it as its source.
    bool hold(const QString& from = QString())
    {
        peer = connectPeer(port, from);
        peerPort = peer ? peer->localPort() : 0;
        return peer && QTest::qWaitFor([this] { return d.sourceName() == peerName(*peer); });
    }
};

// A dialog in the send role, and the far side of its link once it stands.
struct Sender {
    QTcpServer& target; // listening from the start
    LogSharedDialog d;
    std::unique_ptr<QTcpSocket> in;
    const quint16 port = target.serverPort(); // kept when the target stops listening

    Sender(QWidget* host, Journal* journal, QTcpServer* far)
        : target(*far)
        , d(host)
    {
        journal->watch(&d);
    }
    // Sends to the target (as typed, or its port), listening again if need be; waits for the link.
    bool link(const QString& typedPort = QString())
    {
        if (!target.isListening() && !target.listen(QHostAddress::LocalHost, port))
            return false;
        sendTo(&d, typedPort.isEmpty() ? QVariant(port) : typedPort);
        const bool came = QTest::qWaitFor([this] { return target.hasPendingConnections(); });
        in.reset(target.nextPendingConnection()); // none if it did not come
        return came && linkStands();
    }
    bool linkStands()
    {
        return QTest::qWaitFor([this] {
            return d.findChild<QTcpSocket*>()->state() == QAbstractSocket::ConnectedState;
        });
    }
};

// After a step a held peer is still read, or gone and the next one welcome, or gone for good.
enum class Then { Kept, NextPeerWelcome, Closed };
Q_DECLARE_METATYPE(Then)
template <class T> using Step = std::function<void(T&)>;
Q_DECLARE_METATYPE(Step<Listener>)
Q_DECLARE_METATYPE(Step<Sender>)
Q_DECLARE_METATYPE(Step<MainWindow>)

// w listens on a free port, shown without time stamps.
static quint16 listenIn(MainWindow& w)
{
    w.form()->showTimeCheckBox->setChecked(false);
    return receiveOn(w.logShared());
}

// The resident memory of this process, in bytes.
static qint64 residentNow()
{
    for (const QByteArray& line : fileBytes("/proc/self/status").split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

static QByteArray floodLine(int i)
{
    static const QByteArray filler(86, 'x');
    return "seq=" + QByteArray::number(i).rightJustified(8, '0') + ' ' + filler + '\n';
}

// How the view shows line i.
static QString floodShown(int i) { return QString::fromUtf8("RX←◆" + floodLine(i).chopped(1)); }

using Call = std::function<QVariant()>;
Q_DECLARE_METATYPE(Call)

class tst_LogShare : public PtyWindowTest {
    Q_OBJECT

public:
    // No update plug-in: two windows in one process would both claim its single instance.
    tst_LogShare()
        : PtyWindowTest("USB-SERIAL CH340", false)
    {
    }

private slots:
    // What the parsers and text makers return: a row per call, with its result.
    void texts_data()
    {
        const auto add = columns<QVariant, Call>("expected", "call");
        const auto ipv4 = [&](const QByteArray& tag, const QString& text, bool valid) {
            add("ipv4: " + tag, valid, [=] { return ShareText::isIpv4(text); });
        };
        ipv4("private address", "192.168.1.100", true);
        ipv4("loopback", "127.0.0.1", true);
        ipv4("all zeros", "0.0.0.0", true);
        ipv4("all 255", "255.255.255.255", true);
        ipv4("two-digit and one-digit octets", "10.9.99.1", true);
        ipv4("octet 249", "1.2.3.249", true);
        ipv4("octet 256", "1.2.3.256", false);
        ipv4("octet 260", "260.1.1.1", false);
        ipv4("octet 300", "1.300.1.1", false);
        ipv4("leading zero", "01.2.3.4", false);
        ipv4("zero padded", "192.168.001.100", false);
        ipv4("three octets", "1.2.3", false);
        ipv4("five octets", "1.2.3.4.5", false);
        ipv4("trailing dot", "1.2.3.4.", false);
        ipv4("empty octet", "1..3.4", false);
        ipv4("blank inside", "1.2. 3.4", false);
        ipv4("host name", "localhost", false);
        ipv4("IPv6", "::1", false);
        ipv4("empty", "", false);
        ipv4("sign", "+1.2.3.4", false);

        const auto port = [&](const QByteArray& tag, const QString& text, int expected) {
            add("port: " + tag, expected, [=] { return ShareText::portFromText(text); });
        };
        port("default", "11223", 11223);
        port("not a number", "abc", 0);
        port("empty", "", 0);
        port("trailing letters", "80x", 0);
        port("blanks around", " 8080 ", 8080);
        port("hex is not decimal", "0x50", 0);
        port("leading zeros", "0080", 80);
        port("above 16 bits kept as typed", "70000", 70000);
        port("negative", "-1", -1);

        using Make = QString (*)(const QString&, int);
        const auto status = [&](const QByteArray& tag, Make make, const QString& address,
                                int number, const QString& expected) {
            add("statusTexts: " + tag, expected, [=] { return make(address, number); });
        };
        const Make listening = ShareText::listening, peer = ShareText::peer,
                   target = ShareText::target;
        const Make source = [](const QString& address, int port) {
            return ShareText::sourceName(address, quint16(port));
        };
        status("listening", listening, "127.0.0.1", 11223, "本地监听 [127.0.0.1:11223]");
        status("listening on port 0", listening, "0.0.0.0", 0, "本地监听 [0.0.0.0:0]");
        status("peer", peer, "10.0.0.7", 51234, "来源网络 [10.0.0.7:51234]");
        status("target", target, "192.168.1.100", 11223, "；传至 → [192.168.1.100:11223]");
        status("target unparsed", target, "", 11223, "；传至 → [:11223]");
        status(
            "scoped address not substituted twice", peer, "fe80::1%2", 9, "来源网络 [fe80::1%2:9]");
        // The name a shared line's source gets; none without a peer.
        status("peer held", source, "127.0.0.1", 40000, "127.0.0.1[40000]");
        status("no peer", source, "", 0, "");
        status("address without port", source, "127.0.0.1", 0, "");
        status("port without address", source, "", 5, "");
        status("percent in address kept", source, "fe80::1%2", 7, "fe80::1%2[7]");

        const auto head = [&](const QByteArray& tag, const QByteArray& head, int kind) {
            add("firstBytes: " + tag, kind, [=] { return int(PeerGuard::classifyHead(head)); });
        };
        const int u = PeerGuard::Undecided, h = PeerGuard::Http, p = PeerGuard::Plain;
        head("POST with a forged line", "POST /log HTTP/1.1\r\nHost: x\r\n\r\n[00:00:00.000]RX\n",
            h);
        head("preflight", "OPTIONS * HTTP/1.1\r\n", h);
        head("method cut short", "DELE", u);
        head("request target still coming", "PUT /upload/fi", u);
        head("long target", "GET /" + QByteArray(PeerGuard::MaxRequestLine, 'a'), h);
        head("a prompt", "ok>", p);
        head("a method word in a log line", "GET status\r\n", p);
        head("version on a later line", "HEAD x\nHTTP/1.1", p);
    }

    void texts()
    {
        QFETCH(Call, call);
        QFETCH(QVariant, expected);
        const QVariant actual = call();
        QCOMPARE(actual.userType(), expected.userType());
        QCOMPARE(actual.toString(), expected.toString());
    }

    void peerAddress_data()
    {
        // listed: in "10.0.0.7, 127.0.0.2"; listen: as a listening address
        const auto add
            = columns<QString, bool, bool, QString>("address", "loopback", "listed", "listen");
        add("loopback", "127.0.0.1", true, false, "127.0.0.1");
        add("other loopback, listed", "127.0.0.2", true, true, "127.0.0.2");
        add("mapped loopback", "::ffff:127.0.0.1", true, false, "127.0.0.1");
        add("LAN host, listed", "10.0.0.7", false, true, "10.0.0.7");
        add("stranger", "192.168.1.9", false, false, "192.168.1.9");
        add("all interfaces", "0.0.0.0", false, false, "127.0.0.1");
        add("nothing chosen", "", false, false, "127.0.0.1");
        add("near miss", "1127.0.0.1", false, false, "127.0.0.1");
    }

    void peerAddress()
    {
        QFETCH(QString, address);
        QTEST(PeerGuard::isLoopback(address), "loopback");
        const QStringList list = PeerGuard::parseAddressList(" 10.0.0.7;junk,,127.0.0.2 10.0.0.7 ");
        QCOMPARE(list, QStringList({ "10.0.0.7", "127.0.0.2" }));
        QTEST(PeerGuard::isListed(address, list), "listed");
        QTEST(PeerGuard::listenAddress(address), "listen");
    }

    void init()
    {
        PtyWindowTest::init();
        // The journal answers the boxes instead of the bench's recorder while it lives.
        journal = new Journal;
        host = new QWidget;
        target = new QTcpServer; // a far side for the send role
        QVERIFY(target->listen(QHostAddress::LocalHost, 0));
    }

    void cleanup()
    {
        delete target;
        delete host;
        delete journal;
        PtyWindowTest::cleanup();
    }

    // The dialog on its own.
    void formAtStart()
    {
        LogSharedDialog d(host);
        auto* combo = part<QComboBox>(&d, "formIPComboBox");
        // The listening address is this machine's until the user picks another.
        QCOMPARE(QStringList({ d.windowTitle(), looks(&d), d.sourceName(), d.toAddressText(),
                     part<QLineEdit>(&d, "formPortLineEdit")->text(),
                     part<QLineEdit>(&d, "toPortLineEdit")->text(), combo->currentText(),
                     QString::number(d.inactivityInterval()) }),
            QStringList({ "Quillon - 日志共享功能", "unchecked from widgets off mode 0", "",
                "192.168.1.100", "11223", "11223", kLocal, "3600000" }));

        // Only IPv4 addresses, loopback included, in the order the system reports them.
        QVERIFY(!combo->isEditable());
        QStringList expected;
        for (const QHostAddress& a : QNetworkInterface::allAddresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol)
                expected << a.toString();
        QCOMPARE(items(combo), expected);
    }

    void enableBoxTogglesAddressWidgets()
    {
        LogSharedDialog d(host);
        enableBox(&d)->click();
        QCOMPARE(looks(&d), QString("checked from widgets on mode 1"));
        enableBox(&d)->click();
        QCOMPARE(looks(&d), QString("unchecked from widgets off mode 0"));
    }

    void shareMode_data()
    {
        // radio: 0 none, 1 receive, 2 send; only the user's click moves the address widgets
        const auto add = columns<bool, int, QString>("enabled", "radio", "looks");
        add("off, receive chosen", false, 1, "unchecked from widgets off mode 0");
        add("off, send chosen", false, 2, "unchecked to widgets off mode 0");
        add("receive", true, 1, "checked from widgets off mode 1");
        add("send", true, 2, "checked to widgets off mode 2");
        add("on, no role", true, 0, "checked no role widgets off mode 0");
    }

    void shareMode()
    {
        QFETCH(bool, enabled);
        QFETCH(int, radio);
        LogSharedDialog d(host);
        auto* from = part<QRadioButton>(&d, "formRadioButton");
        from->setAutoExclusive(false); // lets both be off, which no user can do
        from->setChecked(radio == 1);
        part<QRadioButton>(&d, "toRadioButton")->setChecked(radio == 2);
        enableBox(&d)->setChecked(enabled);
        QTEST(looks(&d), "looks");
    }

    void targetAddressTyping_data()
    {
        const auto add = columns<QString, QString>("typed", "shown");
        add("full address", "10.0.0.254", "10.0.0.254");
        add("fourth dot refused", "1.2.3.4.5", "1.2.3.45");
        add("octet 256 refused", "1.2.3.256", "1.2.3.25");
        add("octet 300 refused", "300", "30");
        add("leading zero refused", "1.02", "1.0");
        add("letters refused", "a1b.c2", "1.2");
        add("double dot refused", "1..2", "1.2");
        add("blank refused", "1. 2", "1.2");
    }

    void targetAddressTyping()
    {
        QFETCH(QString, typed);
        LogSharedDialog d(host);
        enableBox(&d)->click();
        auto* edit = part<QLineEdit>(&d, "toIPLineEdit");
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTEST(edit->text(), "shown");
    }

    // A held peer, then one thing happens; the step checks what the journal says of it.
    void heldPeer_data()
    {
        // inactivityMs: 0 keeps the dialog's own
        const auto add = columns<int, Then, Step<Listener>>("inactivityMs", "then", "step");
        add("receiveRoleListens", 0, Then::Kept, [](Listener&) {}); // the driver's checks alone
        add("peerHeldThenCloses", 0, Then::NextPeerWelcome, [this](Listener& l) {
            QObject context;
            QStringList namesAtStatus;
            connect(&l.d, &LogSharedDialog::stateInfo, &context,
                [&] { namesAtStatus << l.d.sourceName(); });
            l.peer->write("first ");
            QTRY_COMPARE(l.got, QByteArray("first "));
            l.peer->write(QByteArray("\0\xff\r\n", 4));
            QTRY_COMPARE(l.got, QByteArray("first \0\xff\r\n", 10));
            l.peer->disconnectFromHost();
            // The peer is let go before the user is told.
            QTRY_COMPARE(journal->events, QStringList({ listening(l.port), peerLeft(l.peerPort) }));
            // The status came while the departing peer was still named.
            QCOMPARE(namesAtStatus.last(), QString("127.0.0.1[%1]").arg(l.peerPort));
        });
        add("secondPeerIsCutOff", 0, Then::Kept, [this](Listener& l) {
            auto second = connectPeer(l.port);
            QVERIFY(second);
            const quint16 secondPort = second->localPort(); // gone once it is cut off
            QTRY_COMPARE(journal->events,
                QStringList {
                    at("I: 来自 [127.0.0.1:%1] 连接失败，已有连接进行中\t", secondPort) });
            QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
        });
        add("okAgainKeepsPeer", 0, Then::Kept, [this](Listener& l) {
            pressOk(&l.d);
            QCOMPARE(journal->events, QStringList()); // no new listening status while held
        });
        add("newListenPortLetsPeerGo", 0, Then::NextPeerWelcome, [this](Listener& l) {
            const quint16 other = receiveOn(&l.d);
            QCOMPARE(journal->events,
                QStringList({ listening(l.port), peerLeft(l.peerPort), listening(other) }));
            QVERIFY(!connectPeer(l.port));
            l.port = other;
        });
        // It never sends a byte: the clock runs from the accept.
        add("silentPeerIsTimedOut", 200, Then::NextPeerWelcome, [this](Listener& l) {
            QTRY_COMPARE(
                journal->events, QStringList({ listening(l.port), peerTimedOut(l.peerPort) }));
        });
        add("inactivityEndsConnection", 400, Then::NextPeerWelcome, [this](Listener& l) {
            // Every read restarts the clock: the peer speaks every 150 ms, past the interval.
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < 6; ++i) {
                l.peer->write("tick");
                QTest::qWait(150);
            }
            QVERIFY(clock.elapsed() > 800);
            QCOMPARE(journal->events, QStringList());
            QTRY_COMPARE_WITH_TIMEOUT(journal->events,
                QStringList({ listening(l.port), peerTimedOut(l.peerPort) }), 3000);
            QTest::qWait(600); // longer than the interval: nothing more may come
            QCOMPARE(journal->events.size(), 2); // the timer went with the peer
        });
        add("receiveToSendLetsPeerGo", 0, Then::Closed, [this](Listener& l) {
            sendTo(&l.d, target->serverPort());
            QCOMPARE(l.d.shareMode(), 2);
            QCOMPARE(journal->events,
                QStringList(
                    { listening(l.port), peerLeft(l.peerPort), sendingTo(target->serverPort()) }));
            QTRY_VERIFY(target->hasPendingConnections());
        });
        add("okUncheckedStopsEverything", 0, Then::Closed, [this](Listener& l) {
            l.d.show();
            switchOff(&l.d);
            // The box is unchecked by now, so no listening status follows the message.
            QCOMPARE(journal->events, QStringList({ peerLeft(l.peerPort), "S: " }));
            QCOMPARE(QVariantList({ looks(&l.d), l.d.result(), l.d.isHidden() }),
                QVariantList({ "unchecked from widgets off mode 0", QDialog::Rejected, true }));
        });
        add("pausedReadHoldsPeerBack", 0, Then::Kept, [](Listener& l) {
            l.d.setReadPaused(true);
            QByteArray data(24 << 20, '\0');
            for (int i = 0; i < data.size(); ++i)
                data[i] = char(i * 7 + (i >> 12));
            l.peer->write(data);
            // Time for the bytes to flow as far as a pause lets them: nothing may be handed on.
            QTest::qWait(500);
            QCOMPARE(l.got.size(), 0);
            const qint64 buffered = l.d.bufferedBytes();
            QVERIFY2(buffered > 0 && buffered <= (1 << 20), qPrintable(QString::number(buffered)));
            // The rest waits on the peer's side: flow control, not our memory.
            QVERIFY(l.peer->bytesToWrite() > 0);
            l.d.setReadPaused(false);
            QTRY_COMPARE_WITH_TIMEOUT(l.got.size(), data.size(), 10000);
            QVERIFY(l.got == data);
        });
        // The pause belongs to the peer: the next one is read without waiting for a resume.
        add("closeWhilePausedLosesNothing", 0, Then::NextPeerWelcome, [this](Listener& l) {
            l.d.setReadPaused(true);
            const QByteArray data = QByteArray("last words ").repeated(40000);
            l.peer->write(data);
            l.peer->disconnectFromHost();
            QTRY_VERIFY(journal->events.contains(peerLeft(l.peerPort)));
            QVERIFY(l.got == data);
        });
        add("reconnectWhileTold: the peer disconnects", 0, Then::Kept,
            [this](Listener& l) { backWhileTold(l, false); });
        add("reconnectWhileTold: the peer times out", 300, Then::NextPeerWelcome,
            [this](Listener& l) { backWhileTold(l, true); });
    }

    void heldPeer()
    {
        QFETCH(int, inactivityMs);
        QFETCH(Then, then);
        QFETCH(Step<Listener>, step);
        Listener l(host, journal, inactivityMs);
        // It listens, its Ok has closed it, and it names no source until a peer comes.
        QCOMPARE(QVariantList({ l.d.shareMode(), l.d.result(), l.d.isHidden(), l.d.sourceName() }),
            QVariantList({ 1, QDialog::Accepted, true, QString() }));
        QVERIFY(l.hold());
        QCOMPARE(journal->events,
            QStringList({ listening(l.port), at("S: 来源网络 [127.0.0.1:%1]", l.peerPort) }));
        journal->clear();
        step(l);
        if (QTest::currentTestFailed())
            return;
        for (const MsgBox::Call& call : journal->calls)
            QCOMPARE(call.title, QString("Quillon"));
        const QStringList told = journal->events;
        l.got.clear();
        if (then == Then::Kept) {
            QCOMPARE(l.d.sourceName(), peerName(*l.peer));
            l.peer->write("kept");
            QTRY_COMPARE(l.got, QByteArray("kept"));
            QCOMPARE(l.peer->state(), QAbstractSocket::ConnectedState);
            QCOMPARE(journal->events, told);
            return;
        }
        QTRY_COMPARE(l.peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(l.d.sourceName(), QString());
        if (then == Then::Closed) {
            QVERIFY(!connectPeer(l.port));
            return;
        }
        QVERIFY(l.hold());
        l.peer->write("fresh");
        QTRY_COMPARE(l.got, QByteArray("fresh"));
    }

    void refusalsNeverStackBoxes()
    {
        Listener l(host, journal);
        QVERIFY(l.hold());
        journal->whileOpen = [](const MsgBox::Call&) { QTest::qWait(300); }; // the user reading it
        static QStringList logged; // the qDebug() lines, one for each refusal
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
        // A second sender that retries every few milliseconds.
        QTimer retry; // owns the tries
        connect(&retry, &QTimer::timeout,
            [&] { (new QTcpSocket(&retry))->connectToHost(QHostAddress::LocalHost, l.port); });
        retry.start(5);
        QTRY_VERIFY(logged.filter("连接失败，已有连接进行中").size() >= 10);
        retry.stop();
        QTRY_COMPARE(journal->boxes(), QString("0 open, at most 1"));
        QVERIFY(journal->calls.size() < logged.filter("连接失败").size());
        for (const MsgBox::Call& call : journal->calls)
            QVERIFY2(call.text.contains("连接失败，已有连接进行中"), qPrintable(call.text));
        QCOMPARE(l.d.sourceName(), peerName(*l.peer)); // the held peer is untouched
    }

    void sendRoleForwardsChunks()
    {
        Sender s(host, journal, target);
        s.d.sendShareData("lost before any connection ");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debugLine(s.port)));
        sendTo(&s.d, s.port);
        QCOMPARE(s.d.shareMode(), 2);
        QCOMPARE(journal->events, QStringList { sendingTo(s.port) });
        QCOMPARE(s.d.result(), int(QDialog::Accepted));
        // Bytes given while the connection is being made are sent once it stands.
        s.d.sendShareData("early ");
        QTRY_VERIFY(s.target.hasPendingConnections());
        s.in.reset(s.target.nextPendingConnection());
        s.d.sendShareData(QByteArray("raw\0\xfe\n", 6));
        s.d.sendShareData("");
        s.d.sendShareData("tail");
        QCOMPARE(readAtLeast(s.in.get(), 16), QByteArray("early raw\0\xfe\ntail", 16));

        // Ok again keeps the link as it is.
        QVERIFY(s.linkStands());
        pressOk(&s.d);
        QCOMPARE(journal->events, QStringList({ sendingTo(s.port), sendingTo(s.port) }));
        QTest::qWait(200); // no second connection may come
        QVERIFY(!s.target.hasPendingConnections());
        s.d.sendShareData("same link");
        QCOMPARE(readAtLeast(s.in.get(), 9), QByteArray("same link"));
        QCOMPARE(s.in->state(), QAbstractSocket::ConnectedState);
    }

    // The send role fails: the dialog switches off, drops what it gets, and a retry connects.
    void sendFails_data()
    {
        const auto add = columns<Step<Sender>>("step");
        add("connectionRefused", [this](Sender& s) {
            s.target.close();
            sendTo(&s.d, s.port);
            QTRY_COMPARE(
                journal->events, QStringList({ sendingTo(s.port), connectError(s.port), "S: " }));
        });
        // The message repeats the texts as typed, leading zero included.
        add("remoteCloseInSendRole", [this](Sender& s) {
            const QString typedPort = QString("0%1").arg(s.port);
            QVERIFY(s.link(typedPort));
            journal->clear();
            s.in->disconnectFromHost();
            QTRY_COMPARE(journal->events, QStringList({ connectError(typedPort), "S: " }));
        });
        add("unparsableTarget", [this](Sender& s) {
            sendTo(&s.d, "11223", "");
            QTRY_COMPARE(journal->events,
                QStringList({ "S: ；传至 → [:11223]", "W: 连接到 :11223 出错\t", "S: " }));
        });
    }

    void sendFails()
    {
        QFETCH(Step<Sender>, step);
        Sender s(host, journal, target);
        s.d.show();
        step(s);
        if (QTest::currentTestFailed())
            return;
        for (const MsgBox::Call& call : journal->calls)
            QCOMPARE(call.title, QString("Quillon"));
        QCOMPARE(looks(&s.d), QString("unchecked to widgets off mode 0"));
        QVERIFY(s.d.isHidden());
        const QStringList told = journal->events;
        s.d.sendShareData("nowhere"); // dropped quietly
        QCOMPARE(journal->events, told);

        QVERIFY(s.link()); // again, on the same port
        s.d.sendShareData("second try");
        QCOMPARE(readAtLeast(s.in.get(), 10), QByteArray("second try"));
    }

    void peerThatNeverReads()
    {
        // A receiving instance that accepted and then hangs: it never reads a byte.
        Sender s(host, journal, target);
        const int far = int(s.target.socketDescriptor());
        s.target.pauseAccepting(); // Qt accepts nothing: the connection is taken by hand
        const int small = 64 << 10; // inherited by the accepted socket
        ::setsockopt(far, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sendTo(&s.d, s.port);
        QVERIFY(s.linkStands());
        const int deaf = ::accept4(far, nullptr, nullptr, SOCK_CLOEXEC);
        const auto closeDeaf = qScopeGuard([deaf] { ::close(deaf); });
        QVERIFY(deaf >= 0);
        journal->clear();

        // 100 MB from the port, in the chunks a port read gives.
        const QByteArray chunk(4096, 'x');
        const qint64 total = 100 << 20;
        const qint64 baseMemory = residentNow();
        qint64 maxQueued = 0, maxMemory = baseMemory;
        for (qint64 sent = 0; sent < total; sent += chunk.size()) {
            s.d.sendShareData(chunk);
            maxQueued = qMax(maxQueued, s.d.queuedBytes());
            if ((sent & ((1 << 20) - 1)) == 0) {
                QCoreApplication::processEvents();
                maxMemory = qMax(maxMemory, residentNow());
            }
        }
        QCoreApplication::processEvents();
        QVERIFY2(
            maxQueued <= LogSharedDialog::kMaxQueuedBytes, qPrintable(QString::number(maxQueued)));
        // What the kernel took, what waits in the queue and what was dropped add up to what came.
        QVERIFY(s.d.missedBytes() > total - LogSharedDialog::kMaxQueuedBytes - (8 << 20));
        QCOMPARE(s.d.missedBytes() % chunk.size(), 0); // whole chunks only
#ifndef __SANITIZE_ADDRESS__
        QVERIFY2(maxMemory - baseMemory < (48 << 20),
            qPrintable(QString::number(maxMemory - baseMemory)));
#endif
        // Told in the status, a few times at most, never in a box.
        QVERIFY(journal->calls.isEmpty());
        const QStringList told = journal->events.filter("对方漏收");
        QVERIFY2(!told.isEmpty() && told.size() <= 5, qPrintable(told.join(", ")));
        QVERIFY(told.first().startsWith(at("S: ；传至 → [127.0.0.1:%1]；对方漏收 ", s.port)));
        QCOMPARE(s.d.shareMode(), 2);
    }

    // One way only: what the far side writes is never read, and the link goes on working.
    void peerThatWritesBack()
    {
        Sender s(host, journal, target);
        QVERIFY(s.link());
        QTcpSocket* back = s.in.get();
        QByteArray got, sentBack;
        connect(back, &QIODevice::readyRead, this, [&] { got += back->readAll(); });
        connect(&s.d, &LogSharedDialog::formData, [&](const QByteArray& b) { sentBack += b; });

        // 32 MB the other way.
        const QByteArray chunk(1 << 20, 'y');
        qint64 maxBuffered = 0;
        for (int i = 0; i < 32; ++i) {
            back->write(chunk);
            for (QDeadlineTimer limit(5000); back->bytesToWrite() > 0 && !limit.hasExpired();) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                maxBuffered = qMax(maxBuffered, s.d.outgoingBufferedBytes());
            }
            QVERIFY(back->bytesToWrite() == 0);
        }
        QVERIFY2(maxBuffered <= LogSharedDialog::kOutgoingReadBuffer,
            qPrintable(QString::number(maxBuffered)));
        s.d.sendShareData("still forwarding");
        QTRY_COMPARE(got, QByteArray("still forwarding"));
        QCOMPARE(sentBack, QByteArray());
        QCOMPARE(journal->events, QStringList { sendingTo(s.port) }); // no box, no new status
    }

    void webRequestsShowNothing()
    {
        Listener l(host, journal);
        // A request whole, cut in its method, after a quiet spell (""): closed unseen, slot free.
        for (const QByteArrayList& pieces :
            { QByteArrayList { "POST /log HTTP/1.1\r\n\r\n[12:00:00.000]RX←◆forged\n" },
                QByteArrayList { "GE", "T / HTTP/1.1\r\n" },
                QByteArrayList { "", "PUT / HTTP/1.1\r\n" } }) {
            auto peer = connectPeer(l.port);
            for (const QByteArray& piece : pieces) {
                QTest::qWait(piece.isEmpty() ? 500 : 100);
                peer->write(piece);
            }
            QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        }
        // A sender's prompt of three bytes is shown after a moment.
        auto sender = connectPeer(l.port);
        sender->write("ok>");
        QTRY_COMPARE(l.got, QByteArray("ok>"));
        QVERIFY(journal->calls.isEmpty());
    }

    void strangerAskedOnce_data()
    {
        const auto add = columns<int>("answer");
        add("accepted", QMessageBox::Ok);
        add("declined", QMessageBox::Cancel);
    }

    void strangerAskedOnce()
    {
        QFETCH(int, answer);
        Listener l(host, journal);
        l.d.setLocalPeerTest([](const QString& a) { return a == kLocal; });
        journal->answer = QMessageBox::StandardButton(answer);
        journal->whileOpen = [&](const MsgBox::Call& call) {
            // Another stranger while the question is open goes without a box of its own.
            if (call.kind == MsgBox::Question) {
                auto other = connectPeer(l.port, "127.0.0.3");
                QTRY_COMPARE(other->state(), QAbstractSocket::UnconnectedState);
            }
            QTest::qWait(50); // the user reading it
        };
        // A stranger and this machine come and go in a loop, the stranger first, a moment apart.
        for (int i = 0; i < 100; ++i) {
            auto peer = connectPeer(l.port, i % 2 ? kLocal : QString("127.0.0.2"));
            peer->write(i % 2 ? "local\n" : "far\n");
            peer->disconnectFromHost();
            QTest::qWait(5);
        }
        QTRY_COMPARE(l.d.findChildren<QTcpSocket*>().size(), 1); // the outgoing one alone
        QTRY_COMPARE(journal->boxes(), QString("0 open, at most 1"));
        QCOMPARE(journal->events.filter("是否接受来自 [127.0.0.2:").size(), 1);
        QCOMPARE(journal->events.filter("是否接受").size(), 1);
        QCOMPARE(l.got.contains("far"), answer == QMessageBox::Ok);
        QVERIFY(l.got.contains("local"));
    }

    // Two instances.
    void forwardedBytesByteExact()
    {
        MainWindow rx;
        rx.form()->showHexCheckBox->click();
        MainWindow tx;
        QVERIFY(linkWindows(rx, tx));
        QCOMPARE(rx.logShared()->shareMode(), 1);
        QByteArray bytes;
        for (int i = 0; i < 64 * 256; ++i) // 64 rounds of every byte value
            bytes += char(((i % 256) * 31 + i / 256) & 0xff);
        bytes += '\n';
        QVERIFY(pty->write(bytes.left(5000)));
        QVERIFY(pty->write(bytes.mid(5000)));
        QTRY_COMPARE(rx.received(), bytes.size());
        // fromHex skips the line breaks between the lines' digits.
        QTRY_COMPARE(QByteArray::fromHex(viewText(rx).remove("RX←◆").toLatin1()), bytes);
        QCOMPARE(tx.received(), bytes.size());
        QCOMPARE(rx.logShared()->bufferedBytes(), 0);
    }

    void forwardedTextShownPlain_data()
    {
        // typed: sent by tx itself first, never forwarded
        const auto add = columns<QByteArray, QByteArray, QString>("typed", "bytes", "view");
        add("markup stays text", "", "<b>bold</b> &amp; <img src=\"x.png\">\n",
            "RX←◆<b>bold</b> &amp; <img src=\"x.png\">");
        add("GBK text", "", "\xce\xc2\xb6\xc8 25\r\n", "RX←◆温度 25");
        add("several lines in order", "", "one\ntwo\nthree\n", "RX←◆one\nRX←◆two\nRX←◆three");
        add("ownTransmitNotForwarded", "typed here\n", "from the board\n", "RX←◆from the board");
    }

    void forwardedTextShownPlain()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, view);
        MainWindow rx, tx;
        QVERIFY(linkWindows(rx, tx));
        if (!typed.isEmpty()) {
            tx.form()->sendDataTextEdit->setPlainText(typed);
            tx.form()->sendDataButton->click();
            QByteArray wire;
            QTRY_VERIFY((wire += pty->read(50)).contains(typed.trimmed()));
        }
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE(viewText(rx), view);
        QTest::qWait(100); // nothing more may follow
        QCOMPARE(viewText(rx), view);
        QCOMPARE(viewText(tx), (typed.isEmpty() ? "" : "TX→◇" + typed + "\n") + view);
        QCOMPARE(QVariantList({ rx.received(), rx.sent() }), QVariantList({ bytes.size(), 0 }));
    }

    void confirmTwiceShowsOnce()
    {
        MainWindow rx;
        const quint16 port = listenIn(rx);
        pressOk(rx.logShared());
        QCOMPARE(journal->events.count("Q: " + kQuestion), 2);
        auto peer = connectPeer(port);
        QVERIFY(peer);
        QTRY_VERIFY(!rx.logShared()->sourceName().isEmpty());
        peer->write("once\n");
        QTRY_COMPARE(viewText(rx), QString("RX←◆once"));
        QTest::qWait(100); // no second copy may follow
        QCOMPARE(viewText(rx), QString("RX←◆once"));
        QCOMPARE(QVariantList({ rx.received(), rx.lines() }), QVariantList({ 5, 1 }));
    }

    void declineLeavesPortAlone()
    {
        MainWindow rx;
        openPort(rx, NoTime);
        QVERIFY(pty->write("local\n"));
        QTRY_COMPARE(viewText(rx), QString("RX←◆local"));
        journal->watch(rx.logShared());
        journal->answer = QMessageBox::Cancel;
        const quint16 port = receiveOn(rx.logShared());

        QCOMPARE(journal->events, QStringList({ listening(port), "Q: " + kQuestion }));
        QCOMPARE(journal->calls.last().title, QString("开启日记共享"));
        QCOMPARE(
            QStringList({ looks(rx), viewText(rx) }), QStringList({ kPortInUse, "RX←◆local" }));

        // The dialog still listens, but nothing from the network reaches the view.
        auto peer = connectPeer(port);
        QVERIFY(peer);
        QTRY_VERIFY(!rx.logShared()->sourceName().isEmpty());
        peer->write("unseen\n");
        QTest::qWait(150); // nothing may arrive
        QCOMPARE(QVariantList({ viewText(rx), rx.received() }), QVariantList({ "RX←◆local", 6 }));

        // Confirming later connects the view.
        journal->answer = QMessageBox::Ok;
        pressOk(rx.logShared());
        QVERIFY(!rx.port()->isOpen());
        peer->write("seen\n");
        QTRY_COMPARE(viewText(rx), QString("RX←◆seen"));
    }

    void receiveRoleClosesPortAndClearsView()
    {
        MainWindow rx;
        openPort(rx, NoTime);
        // Half a line from the port must not lead the first line from the network.
        QVERIFY(pty->write("local\nhalf"));
        QTRY_COMPARE(viewText(rx), QString("RX←◆local"));
        QTRY_VERIFY(rx.pendingBytes() > 0);
        journal->watch(rx.logShared());

        // The port is closed before the view is cleared.
        QStringList order;
        const QMetaObject::Connection watch
            = connect(rx.form()->recvShowText, &TextBrowser::contentsChanged, this, [&] {
                  if (viewText(rx).isEmpty())
                      order << (rx.port()->isOpen() ? "clear with port open" : "clear");
              });
        const quint16 port = receiveOn(rx.logShared());
        disconnect(watch);

        QCOMPARE(order, QStringList { "clear" });
        QCOMPARE(QVariantList({ looks(rx), rx.form()->openSerialButton->text(), viewText(rx),
                     rx.pendingBytes() }),
            QVariantList({ at("接收区 - 本地监听 [127.0.0.1:%1] | grey | port closed", port),
                "打开串口", QString(), 0 }));

        auto peer = connectPeer(port);
        QVERIFY(peer);
        const quint16 peerPort = peer->localPort();
        QTRY_COMPARE(title(rx), at("接收区 - 来源网络 [127.0.0.1:%1]", peerPort));
        QCOMPARE(trayTip(rx), kBareTip + at("端口号：127.0.0.1[%1]", peerPort));
        peer->write("net\n");
        QTRY_COMPARE(viewText(rx), QString("RX←◆net"));

        // Nothing from the local port while the network feeds the view.
        QVERIFY(pty->write("ignored\n"));
        QTest::qWait(100); // nothing may arrive
        QCOMPARE(viewText(rx), QString("RX←◆net"));

        peer->disconnectFromHost();
        QTRY_COMPARE(title(rx), at("接收区 - 本地监听 [127.0.0.1:%1]", port));
        QTRY_VERIFY(journal->events.contains(peerLeft(peerPort)));
    }

    void receiveRoleNeedsPortClosed()
    {
        MainWindow rx;
        openPort(rx);
        // Auto-send keeps the port open: the switch is abandoned rather than mixing both sources.
        rx.form()->sendDataTextEdit->setPlainText("x");
        rx.form()->timeAutoSpinBox->setValue(100000);
        rx.form()->autoSendCheckBox->setChecked(true);
        receiveOn(rx.logShared());
        QVERIFY(journal->events.contains("I: 请先停用自动发送功能，再尝试关闭串口！\t"));
        QCOMPARE(looks(rx), kPortInUse);
        rx.form()->autoSendCheckBox->setChecked(false);
    }

    void switchingOffRestoresControls_data()
    {
        // port: 0 closed, 1 open, 2 open and paused
        const auto add = columns<int, bool, QString>("port", "fromReceive", "window");
        add("closed, from the receive role", 0, true, kPortIdle);
        add("closed, from the send role", 0, false, kPortIdle);
        add("open, from the send role", 1, false, kPortInUse);
        add("open, declined receive role", 1, true, kPortInUse);
        add("paused, from the send role", 2, false,
            kPortTitle + " | pauseRecvButton grey | port open");
    }

    void switchingOffRestoresControls()
    {
        QFETCH(int, port);
        QFETCH(bool, fromReceive);
        MainWindow w;
        if (port > 0)
            openPort(w);
        if (port == 2)
            w.form()->pauseRecvButton->click();
        journal->answer = fromReceive && port > 0 ? QMessageBox::Cancel : QMessageBox::Ok;
        if (fromReceive)
            receiveOn(w.logShared());
        else
            sendTo(w.logShared(), target->serverPort());
        journal->watch(w.logShared());
        journal->clear();
        const QString tipBefore = trayTip(w);

        switchOff(w.logShared());
        QCOMPARE(journal->events, QStringList({ "I: " + kSwitchedOff, "S: " }));
        QCOMPARE(journal->calls.first().title, QString("Quillon"));
        QTEST(looks(w), "window");
        QCOMPARE(trayTip(w), port == 0 ? kBareTip : tipBefore);

        // Back on the port: nothing from the network reaches the view any more.
        if (port == 0) {
            openPort(w);
            QVERIFY(pty->write("port again\n"));
            QTRY_VERIFY(viewText(w).endsWith("RX←◆port again"));
        }
    }

    void sendRoleTitle()
    {
        MainWindow tx;
        openPort(tx);
        journal->watch(tx.logShared());
        sendTo(tx.logShared(), target->serverPort());
        // No question for the send role: the port stays in use.
        QCOMPARE(journal->events, QStringList { sendingTo(target->serverPort()) });
        QCOMPARE(looks(tx),
            at("接收区 - 来源串口；传至 → [127.0.0.1:%1] | ", target->serverPort()) + kInUse
                + " | port open");
        QTRY_VERIFY(target->hasPendingConnections());
    }

    void targetAddressSaved_data()
    {
        const auto add = columns<Step<MainWindow>>("role");
        add("sharing off", [](MainWindow& w) { switchOff(w.logShared()); });
        add("receive role", [](MainWindow& w) { receiveOn(w.logShared()); });
        add("send role", [this](MainWindow& w) { sendTo(w.logShared(), target->serverPort()); });
    }

    void targetAddressSaved()
    {
        QFETCH(Step<MainWindow>, role);
        {
            MainWindow w;
            auto* d = w.logShared();
            setEnabledBox(d, true);
            part<QLineEdit>(d, "toIPLineEdit")->setText(kLocal);
            role(w);
            QSettings ini("./Settings.ini", QSettings::IniFormat);
            QCOMPARE(ini.value("LogSharedConfig/ToAddress").toString(), kLocal);
        }
        MainWindow again;
        QCOMPARE(again.logShared()->toAddressText(), kLocal);
        // Nothing else of sharing survives a restart.
        QCOMPARE(again.logShared()->shareMode(), 0);
    }

    void recordFilesNamePeer()
    {
        MainWindow rx;
        const quint16 port = listenIn(rx);
        auto peer = connectPeer(port);
        QVERIFY(peer);
        QTRY_VERIFY(!rx.logShared()->sourceName().isEmpty());
        peer->write("to file\n");
        QTRY_COMPARE(viewText(rx), QString("RX←◆to file"));

        rx.form()->saveDataButton->click();
        QTRY_COMPARE(rx.recordsInHand(), 0); // written off the GUI thread
        QCOMPARE(records("All"), QStringList { peerName(*peer) + ": RX←◆to file" });

        // Automatic saves before a clear are named the same way.
        rx.form()->autoSlaveLogToFileCheckBox->setChecked(true);
        rx.form()->clearWindowButton->click();
        QTRY_COMPARE(rx.recordsInHand(), 0);
        QCOMPARE(records("Auto"), QStringList { peerName(*peer) + ": RX←◆to file" });
    }

    void eachPeerIsASession()
    {
        MainWindow rx;
        rx.form()->liveRecordCheckBox->setChecked(true);
        const quint16 port = listenIn(rx);
        // The first leaves at once after its prompt; the second stays.
        auto first = connectPeer(port);
        const quint16 firstPort = first->localPort();
        first->write("a\nprompt>");
        first->disconnectFromHost();
        QTRY_VERIFY(journal->events.contains(peerLeft(firstPort)));
        QTRY_COMPARE(viewText(rx), QString("RX←◆a\nRX←◆prompt>"));
        auto second = connectPeer(port);
        second->write("b\n");
        QTRY_COMPARE(viewText(rx), QString("RX←◆a\nRX←◆prompt>\nRX←◆b"));

        QStringList sessions = { QString("127.0.0.1[%1]: RX←◆a\nRX←◆prompt>\n").arg(firstPort),
            peerName(*second) + ": RX←◆b\n" };
        sessions.sort();
        QCOMPARE(records("Live"), sessions);
    }

    void portScanLeavesListAlone()
    {
        MainWindow w;
        auto* combo = w.form()->serialNumComboBox;
        const QStringList before = items(combo);
        QVERIFY(before.contains(pty->slavePath() + " USB-SERIAL CH340   "));
        const quint16 port = receiveOn(w.logShared());

        // A second adapter is plugged in while the network feeds the view.
        QVERIFY(bench->addPort("USB-SERIAL CH341").isOpen());
        w.slotUpdateSerialPort();
        QCOMPARE(items(combo), before);
        QCOMPARE(looks(w), at("接收区 - 本地监听 [127.0.0.1:%1] | grey | port closed", port));

        switchOff(w.logShared());
        w.slotUpdateSerialPort();
        QVERIFY(combo->count() > before.size());
    }

    // Sharing fails in a window: both switch off; the user's Ok gives the port controls back.
    void failureInWindow_data()
    {
        const auto add = columns<QString, QString, QString, Step<MainWindow>>(
            "dialog", "window", "afterOk", "step");
        add("listenFailurePortInUse", "unchecked from widgets off mode 0", kPortIdle, kPortIdle,
            [this](MainWindow& w) {
                receiveOn(w.logShared(), target->serverPort()); // a port in use
                auto* server = w.logShared()->findChild<QTcpServer*>();
                QVERIFY(server);
                QVERIFY(!server->errorString().isEmpty());
                // The nested Ok switches the main window off before the failure is reported.
                QCOMPARE(journal->events,
                    QStringList({ "I: " + kSwitchedOff,
                        "S: ", "W: 监听错误: " + server->errorString() + "\t" }));
            });
        add("connectFailureInMainWindow", "unchecked to widgets off mode 0", kPortInUse, kPortInUse,
            [this](MainWindow& w) {
                openPort(w, NoTime);
                const quint16 closed = freePort();
                sendTo(w.logShared(), closed);
                QTRY_COMPARE(journal->events,
                    QStringList(
                        { sendingTo(closed), connectError(closed), "I: " + kSwitchedOff, "S: " }));
                // Port bytes still reach the view; none are offered to the failed link.
                QVERIFY(pty->write("still local\n"));
                QTRY_VERIFY(viewText(w).endsWith("RX←◆still local"));
            });
        add("acceptErrorInMainWindow", "unchecked from widgets off mode 0",
            kPortTitle + " | grey | port closed", kPortIdle, [this](MainWindow& w) {
                const quint16 port = receiveOn(w.logShared());
                journal->clear();
                auto* server = w.logShared()->findChild<QTcpServer*>();
                QVERIFY(server);
                auto peer = connectPeer(port); // waits in the kernel's queue until the server looks
                QVERIFY(peer);
                {
                    DescriptorFlood flood;
                    QVERIFY(flood.exhausted);
                    QTRY_VERIFY(!journal->events.isEmpty());
                }
                QCOMPARE(journal->events,
                    QStringList({ "W: 接受错误: " + server->errorString() + "\t",
                        "I: " + kSwitchedOff, "S: " }));
                QCOMPARE(trayTip(w), kBareTip);
            });
    }

    void failureInWindow()
    {
        QFETCH(Step<MainWindow>, step);
        MainWindow w;
        journal->watch(w.logShared());
        step(w);
        if (QTest::currentTestFailed())
            return;
        for (const MsgBox::Call& call : journal->calls)
            QCOMPARE(call.title, QString("Quillon"));
        QTEST(looks(w.logShared()), "dialog");
        QTEST(looks(w), "window");
        pressOk(w.logShared());
        QTEST(looks(w), "afterOk");
    }

    void floodFromPeerIsBounded()
    {
        // 100 MB, far past the 16 MiB the receive path may hold (40 MB with the slower sanitizers).
#ifdef __SANITIZE_ADDRESS__
        const int lineCount = 400000;
#else
        const int lineCount = 1000000;
#endif
        const qint64 total = qint64(lineCount) * floodLine(0).size();

        MainWindow rx;
        rx.form()->maxRowsSpinBox->setValue(5000);
        const quint16 port = listenIn(rx);
        LogSharedDialog* d = rx.logShared();

        // Every line shown is whole and in order; a clear takes undrawn lines along, so the view
        // may skip ahead, never back. That none is lost is counted by the lines formatted.
        int next = 0;
        QString firstWrong;
        const auto check = [&](const QString& line) {
            if (line.isEmpty())
                return;
            const int seq = line.mid(8, 8).toInt();
            if (firstWrong.isEmpty() && (seq < next || line != floodShown(seq)))
                firstWrong = QString("after %1: %2").arg(next).arg(line.left(40));
            next = seq + 1;
        };
        // The line the view ends with is checked once something after it completes it.
        auto* view = rx.form()->recvShowText;
        QString tail;
        qint64 seen = 0;
        QObject reading; // gone before what it reads into
        connect(view, &TextBrowser::contentsChanged, &reading, [&] {
            const qint64 count = view->lineCount();
            if (count < seen) { // a clear: the last line before it was complete
                check(std::exchange(tail, QString()));
                seen = 0;
            }
            if (count == 0 || count == seen)
                return;
            // The line that ended the view last time is complete now.
            for (qint64 i = qMax<qint64>(seen - 1, 0); i + 1 < count; ++i)
                check(view->store().line(i));
            tail = view->store().line(count - 1);
            seen = count;
        });

        std::atomic<qint64> sent { 0 };
        std::atomic<bool> peerDone { false }, peerFailed { false }, stopPeer { false };
        const qint64 baseMemory = residentNow();
        qint64 handed = 0, maxPending = 0, maxBuffered = 0, maxInFlight = 0, maxMemory = baseMemory;
        bool paused = false;
        const auto sample = [&] {
            maxPending = qMax(maxPending, rx.pendingBytes());
            maxBuffered = qMax(maxBuffered, d->bufferedBytes());
            maxInFlight = qMax(maxInFlight, sent.load() - handed);
            maxMemory = qMax(maxMemory, residentNow());
            paused = paused || d->isReadPaused();
        };
        connect(d, &LogSharedDialog::formData, this, [&](const QByteArray& b) {
            handed += b.size();
            sample();
        });
        connect(rx.displayTimer(), &QTimer::timeout, this, sample);

        // The peer writes as fast as the kernel lets it, in a thread of its own.
        std::unique_ptr<QThread> peer(QThread::create([&] {
            QTcpSocket out;
            out.connectToHost(QHostAddress::LocalHost, port);
            peerFailed = !out.waitForConnected(5000);
            for (int next = 0; next < lineCount && !peerFailed && !stopPeer;) {
                QByteArray chunk;
                while (chunk.size() < (64 << 10) && next < lineCount)
                    chunk += floodLine(next++);
                out.write(chunk);
                while (out.bytesToWrite() > 0 && !peerFailed)
                    peerFailed = !out.waitForBytesWritten(-1);
                sent += chunk.size();
            }
            peerDone = true;
        }));
        peer->start();

        QElapsedTimer clock;
        clock.start();
        // Done once the last line is shown, or went with a clear (the row limit may fall on it).
        const QString lastLine = floodShown(lineCount - 1);
        QTRY_VERIFY_WITH_TIMEOUT(
            (peerDone && (tail == lastLine || rx.displayedLines() == lineCount)) || peerFailed
                || !firstWrong.isEmpty(),
            180000);
        // A failed check must not leave the peer blocked in a write that nobody reads.
        stopPeer = true;
        QTRY_VERIFY_WITH_TIMEOUT(peerDone, 60000);
        peer->wait();
        check(tail);
        qInfo(
            "flood: %lld bytes shown in %lld ms; most pending %lld, buffered %lld, in flight %lld, "
            "memory grew by %lld",
            total, clock.elapsed(), maxPending, maxBuffered, maxInFlight, maxMemory - baseMemory);
        QVERIFY(!peerFailed);
        QVERIFY2(firstWrong.isEmpty(), qPrintable(firstWrong));
        QTRY_COMPARE(rx.displayedLines(), qint64(lineCount));
        QCOMPARE(handed, total);
        QVERIFY(paused);
        // One read of at most 1 MiB may land on top of the 16 MiB, one more when the peer leaves.
        QVERIFY2(maxPending <= (18 << 20), qPrintable(QString::number(maxPending)));
        QVERIFY2(maxBuffered <= (1 << 20), qPrintable(QString::number(maxBuffered)));
        // The rest waited in the kernel's socket buffers, not in this process.
        QVERIFY2(maxInFlight < (32 << 20), qPrintable(QString::number(maxInFlight)));
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's quarantine keeps freed blocks resident
        // Holding the flood would have grown this process by more than the flood itself.
        QVERIFY2(
            maxMemory - baseMemory < total, qPrintable(QString::number(maxMemory - baseMemory)));
#endif
        // The peer's leaving is announced once everything it sent was handed on.
        QTRY_COMPARE(d->sourceName(), QString());
        const QRegularExpression gone("^I: \\[127\\.0\\.0\\.1:\\d+\\] 断开连接\t$");
        QCOMPARE(journal->events.filter(gone).size(), 1);
    }

    void allowListInSettings()
    {
        QFile ini("Settings.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[LogSharedConfig]\nAllowedPeers=127.0.0.2, 10.0.0.8\n");
        ini.close();
        MainWindow w;
        LogSharedDialog* d = w.logShared();
        d->setLocalPeerTest([](const QString& a) { return a == kLocal; });
        auto* edit = part<QLineEdit>(d, "allowIPLineEdit");
        QCOMPARE(edit->text(), QString("127.0.0.2, 10.0.0.8"));
        setEnabledBox(d, true);
        part<QComboBox>(d, "formIPComboBox")->setCurrentIndex(-1);
        pressOk(d);
        // No address chosen: the listener is on this machine only, never on all interfaces.
        auto* server = d->findChild<QTcpServer*>();
        QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        // A listed address is let in without a question.
        auto peer = connectPeer(server->serverPort(), "127.0.0.2");
        QTRY_COMPARE(d->sourceName(), QString("127.0.0.2[%1]").arg(peer->localPort()));
        QCOMPARE(journal->events.filter("是否接受").size(), 0);

        edit->setText("127.0.0.9");
        pressOk(d);
        const QSettings saved("./Settings.ini", QSettings::IniFormat);
        QCOMPARE(saved.value("LogSharedConfig/AllowedPeers").toStringList(),
            QStringList { "127.0.0.9" });
    }

private:
    // The sender is back before the user has read that it left.
    void backWhileTold(Listener& l, bool timeout)
    {
        auto first = std::move(l.peer);
        QString nameWhileOpen;
        journal->whileOpen = [&](const MsgBox::Call&) {
            if (!l.peer) {
                QVERIFY(l.hold());
                nameWhileOpen = l.d.sourceName();
            }
        };
        if (!timeout)
            first->disconnectFromHost();
        QTRY_VERIFY(!nameWhileOpen.isEmpty());
        QTRY_COMPARE(journal->boxes(), QString("0 open, at most 1"));
        QVERIFY(journal->calls.first().text.contains(timeout ? "主动断开连接" : "断开连接"));
        QCOMPARE(journal->events.filter("连接失败").size(), 0);
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        journal->whileOpen = nullptr;
    }

    // rx listens without time stamps; tx forwards its open port to it. True once rx has its peer.
    bool linkWindows(MainWindow& rx, MainWindow& tx)
    {
        tx.form()->showTimeCheckBox->setChecked(false);
        const quint16 port = listenIn(rx);
        if (!bench->openIn(tx))
            return false;
        sendTo(tx.logShared(), port);
        return QTest::qWaitFor([&] { return !rx.logShared()->sourceName().isEmpty(); });
    }
    Journal* journal = nullptr;
    QWidget* host = nullptr;
    QTcpServer* target = nullptr;
};

QTEST_MAIN(tst_LogShare)
#include "tst_logshare.moc"
