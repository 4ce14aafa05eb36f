// Address parsing and status texts of the log-sharing link.
#include "share/core/peerguard.h"
#include "share/core/sharetext.h"
#include "testdata.h"

#include <QtTest>

class tst_ShareText : public QObject {
    Q_OBJECT

private slots:
    void ipv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        row("private address", "192.168.1.100", true);
        row("loopback", "127.0.0.1", true);
        row("all zeros", "0.0.0.0", true);
        row("all 255", "255.255.255.255", true);
        row("two-digit and one-digit octets", "10.9.99.1", true);
        row("octet 249", "1.2.3.249", true);
        row("octet 256", "1.2.3.256", false);
        row("octet 260", "260.1.1.1", false);
        row("octet 300", "1.300.1.1", false);
        row("leading zero", "01.2.3.4", false);
        row("zero padded", "192.168.001.100", false);
        row("three octets", "1.2.3", false);
        row("five octets", "1.2.3.4.5", false);
        row("trailing dot", "1.2.3.4.", false);
        row("empty octet", "1..3.4", false);
        row("blank inside", "1.2. 3.4", false);
        row("host name", "localhost", false);
        row("IPv6", "::1", false);
        row("empty", "", false);
        row("sign", "+1.2.3.4", false);
    }

    void ipv4()
    {
        QFETCH(QString, text);
        QTEST(ShareText::isIpv4(text), "valid");
    }

    void port_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        row("default", "11223", 11223);
        row("not a number", "abc", 0);
        row("empty", "", 0);
        row("trailing letters", "80x", 0);
        row("blanks around", " 8080 ", 8080);
        row("hex is not decimal", "0x50", 0);
        row("leading zeros", "0080", 80);
        row("above 16 bits kept as typed", "70000", 70000);
        row("negative", "-1", -1);
    }

    void port()
    {
        QFETCH(QString, text);
        QTEST(ShareText::portFromText(text), "port");
    }

    void statusTexts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("text");
        row("listening", "listening", "127.0.0.1", 11223, "本地监听 [127.0.0.1:11223]");
        row("listening on port 0", "listening", "0.0.0.0", 0, "本地监听 [0.0.0.0:0]");
        row("peer", "peer", "10.0.0.7", 51234, "来源网络 [10.0.0.7:51234]");
        row("target", "target", "192.168.1.100", 11223, "；传至 → [192.168.1.100:11223]");
        row("target unparsed", "target", "", 11223, "；传至 → [:11223]");
        row("scoped address not substituted twice", "peer", "fe80::1%2", 9,
            "来源网络 [fe80::1%2:9]");
        // The name a shared line's source gets; none without a peer.
        row("peer held", "source", "127.0.0.1", 40000, "127.0.0.1[40000]");
        row("no peer", "source", "", 0, "");
        row("address without port", "source", "127.0.0.1", 0, "");
        row("port without address", "source", "", 5, "");
        row("percent in address kept", "source", "fe80::1%2", 7, "fe80::1%2[7]");
    }

    void statusTexts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, address);
        QFETCH(int, port);
        const QString made = kind == QLatin1String("listening")
            ? ShareText::listening(address, port)
            : kind == QLatin1String("peer")   ? ShareText::peer(address, port)
            : kind == QLatin1String("target") ? ShareText::target(address, port)
                                              : ShareText::sourceName(address, quint16(port));
        QTEST(made, "text");
    }

    void firstBytes_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("kind");
        const int u = PeerGuard::Undecided, h = PeerGuard::Http, p = PeerGuard::Plain;
        row("POST with a forged line",
            QByteArray("POST /log HTTP/1.1\r\nHost: x\r\n\r\n[00:00:00.000]RX\n"), h);
        row("preflight", QByteArray("OPTIONS * HTTP/1.1\r\n"), h);
        row("method cut short", QByteArray("DELE"), u);
        row("request target still coming", QByteArray("PUT /upload/fi"), u);
        row("long target", "GET /" + QByteArray(PeerGuard::MaxRequestLine, 'a'), h);
        row("a prompt", QByteArray("ok>"), p);
        row("a method word in a log line", QByteArray("GET status\r\n"), p);
        row("version on a later line", QByteArray("HEAD x\nHTTP/1.1"), p);
    }

    void firstBytes()
    {
        QFETCH(QByteArray, head);
        QTEST(int(PeerGuard::classifyHead(head)), "kind");
    }

    void peerAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("loopback");
        QTest::addColumn<bool>("listed"); // in "10.0.0.7, 127.0.0.2"
        QTest::addColumn<QString>("listen"); // as a listening address
        row("loopback", "127.0.0.1", true, false, "127.0.0.1");
        row("other loopback, listed", "127.0.0.2", true, true, "127.0.0.2");
        row("mapped loopback", "::ffff:127.0.0.1", true, false, "127.0.0.1");
        row("LAN host, listed", "10.0.0.7", false, true, "10.0.0.7");
        row("stranger", "192.168.1.9", false, false, "192.168.1.9");
        row("all interfaces", "0.0.0.0", false, false, "127.0.0.1");
        row("nothing chosen", "", false, false, "127.0.0.1");
        row("near miss", "1127.0.0.1", false, false, "127.0.0.1");
    }

    void peerAddress()
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
};

QTEST_GUILESS_MAIN(tst_ShareText)
#include "tst_sharetext.moc"
