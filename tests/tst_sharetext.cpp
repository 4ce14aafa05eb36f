// Address parsing and status texts of the log-sharing link.
#include "share/core/peerguard.h"
#include "share/core/sharetext.h"

#include <QtTest>

class tst_ShareText : public QObject {
    Q_OBJECT

private slots:
    void ipv4_data();
    void ipv4();
    void port_data();
    void port();
    void sourceName_data();
    void sourceName();
    void statusTexts_data();
    void statusTexts();
    void firstBytes_data();
    void firstBytes();
    void peerAddress_data();
    void peerAddress();
};

void tst_ShareText::ipv4_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("private address") << "192.168.1.100" << true;
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("all zeros") << "0.0.0.0" << true;
    QTest::newRow("all 255") << "255.255.255.255" << true;
    QTest::newRow("two-digit and one-digit octets") << "10.9.99.1" << true;
    QTest::newRow("octet 249") << "1.2.3.249" << true;
    QTest::newRow("octet 256") << "1.2.3.256" << false;
    QTest::newRow("octet 260") << "260.1.1.1" << false;
    QTest::newRow("octet 300") << "1.300.1.1" << false;
    QTest::newRow("leading zero") << "01.2.3.4" << false;
    QTest::newRow("zero padded") << "192.168.001.100" << false;
    QTest::newRow("three octets") << "1.2.3" << false;
    QTest::newRow("five octets") << "1.2.3.4.5" << false;
    QTest::newRow("trailing dot") << "1.2.3.4." << false;
    QTest::newRow("empty octet") << "1..3.4" << false;
    QTest::newRow("blank inside") << "1.2. 3.4" << false;
    QTest::newRow("host name") << "localhost" << false;
    QTest::newRow("IPv6") << "::1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("sign") << "+1.2.3.4" << false;
}

void tst_ShareText::ipv4()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(ShareText::isIpv4(text), valid);
}

void tst_ShareText::port_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << "11223" << 11223;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("trailing letters") << "80x" << 0;
    QTest::newRow("blanks around") << " 8080 " << 8080;
    QTest::newRow("hex is not decimal") << "0x50" << 0;
    QTest::newRow("leading zeros") << "0080" << 80;
    QTest::newRow("above 16 bits kept as typed") << "70000" << 70000;
    QTest::newRow("negative") << "-1" << -1;
}

void tst_ShareText::port()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(ShareText::portFromText(text), port);
}

void tst_ShareText::sourceName_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("peer held") << "127.0.0.1" << 40000 << "127.0.0.1[40000]";
    QTest::newRow("no peer") << "" << 0 << "";
    QTest::newRow("address without port") << "127.0.0.1" << 0 << "";
    QTest::newRow("port without address") << "" << 5 << "";
    QTest::newRow("percent in address kept") << "fe80::1%2" << 7 << "fe80::1%2[7]";
}

void tst_ShareText::sourceName()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, name);
    QCOMPARE(ShareText::sourceName(address, quint16(port)), name);
}

void tst_ShareText::statusTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("text");
    QTest::newRow("listening") << 0 << "127.0.0.1" << 11223 << "本地监听 [127.0.0.1:11223]";
    QTest::newRow("listening on port 0") << 0 << "0.0.0.0" << 0 << "本地监听 [0.0.0.0:0]";
    QTest::newRow("peer") << 1 << "10.0.0.7" << 51234 << "来源网络 [10.0.0.7:51234]";
    QTest::newRow("target") << 2 << "192.168.1.100" << 11223 << "；传至 → [192.168.1.100:11223]";
    QTest::newRow("target unparsed") << 2 << "" << 11223 << "；传至 → [:11223]";
    QTest::newRow("scoped address not substituted twice")
        << 1 << "fe80::1%2" << 9 << "来源网络 [fe80::1%2:9]";
}

void tst_ShareText::statusTexts()
{
    QFETCH(int, kind);
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, text);
    const QString made = kind == 0 ? ShareText::listening(address, port)
        : kind == 1                ? ShareText::peer(address, port)
                                   : ShareText::target(address, port);
    QCOMPARE(made, text);
}

void tst_ShareText::firstBytes_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("kind");
    const int u = PeerGuard::Undecided, h = PeerGuard::Http, p = PeerGuard::Plain;
    QTest::newRow("POST with a forged line")
        << QByteArray("POST /log HTTP/1.1\r\nHost: x\r\n\r\n[00:00:00.000]RX\n") << h;
    QTest::newRow("preflight") << QByteArray("OPTIONS * HTTP/1.1\r\n") << h;
    QTest::newRow("method cut short") << QByteArray("DELE") << u;
    QTest::newRow("request target still coming") << QByteArray("PUT /upload/fi") << u;
    QTest::newRow("long target") << "GET /" + QByteArray(PeerGuard::MaxRequestLine, 'a') << h;
    QTest::newRow("a prompt") << QByteArray("ok>") << p;
    QTest::newRow("a method word in a log line") << QByteArray("GET status\r\n") << p;
    QTest::newRow("version on a later line") << QByteArray("HEAD x\nHTTP/1.1") << p;
}

void tst_ShareText::firstBytes()
{
    QFETCH(QByteArray, head);
    QFETCH(int, kind);
    QCOMPARE(int(PeerGuard::classifyHead(head)), kind);
}

void tst_ShareText::peerAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<bool>("listed"); // in "10.0.0.7, 127.0.0.2"
    QTest::addColumn<QString>("listen"); // as a listening address
    QTest::newRow("loopback") << "127.0.0.1" << true << false << "127.0.0.1";
    QTest::newRow("other loopback, listed") << "127.0.0.2" << true << true << "127.0.0.2";
    QTest::newRow("mapped loopback") << "::ffff:127.0.0.1" << true << false << "127.0.0.1";
    QTest::newRow("LAN host, listed") << "10.0.0.7" << false << true << "10.0.0.7";
    QTest::newRow("stranger") << "192.168.1.9" << false << false << "192.168.1.9";
    QTest::newRow("all interfaces") << "0.0.0.0" << false << false << "127.0.0.1";
    QTest::newRow("nothing chosen") << "" << false << false << "127.0.0.1";
    QTest::newRow("near miss") << "1127.0.0.1" << false << false << "127.0.0.1";
}

void tst_ShareText::peerAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, loopback);
    QFETCH(bool, listed);
    QFETCH(QString, listen);
    QCOMPARE(PeerGuard::isLoopback(address), loopback);
    const QStringList list = PeerGuard::parseAddressList(" 10.0.0.7;junk,,127.0.0.2 10.0.0.7 ");
    QCOMPARE(list, QStringList({ "10.0.0.7", "127.0.0.2" }));
    QCOMPARE(PeerGuard::isListed(address, list), listed);
    QCOMPARE(PeerGuard::listenAddress(address), listen);
}

QTEST_GUILESS_MAIN(tst_ShareText)
#include "tst_sharetext.moc"
