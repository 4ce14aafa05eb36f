// Address parsing and status texts of the log-sharing link.
#include "share/core/peerguard.h"
#include "share/core/sharetext.h"
#include "testdata.h"

class tst_ShareText : public QObject {
    Q_OBJECT

private slots:
    void ipv4_data()
    {
        const auto add = columns<QString, bool>("text", "valid");
        add("private address", "192.168.1.100", true);
        add("loopback", "127.0.0.1", true);
        add("all zeros", "0.0.0.0", true);
        add("all 255", "255.255.255.255", true);
        add("two-digit and one-digit octets", "10.9.99.1", true);
        add("octet 249", "1.2.3.249", true);
        add("octet 256", "1.2.3.256", false);
        add("octet 260", "260.1.1.1", false);
        add("octet 300", "1.300.1.1", false);
        add("leading zero", "01.2.3.4", false);
        add("zero padded", "192.168.001.100", false);
        add("three octets", "1.2.3", false);
        add("five octets", "1.2.3.4.5", false);
        add("trailing dot", "1.2.3.4.", false);
        add("empty octet", "1..3.4", false);
        add("blank inside", "1.2. 3.4", false);
        add("host name", "localhost", false);
        add("IPv6", "::1", false);
        add("empty", "", false);
        add("sign", "+1.2.3.4", false);
    }

    void ipv4()
    {
        QFETCH(QString, text);
        QTEST(ShareText::isIpv4(text), "valid");
    }

    void port_data()
    {
        const auto add = columns<QString, int>("text", "port");
        add("default", "11223", 11223);
        add("not a number", "abc", 0);
        add("empty", "", 0);
        add("trailing letters", "80x", 0);
        add("blanks around", " 8080 ", 8080);
        add("hex is not decimal", "0x50", 0);
        add("leading zeros", "0080", 80);
        add("above 16 bits kept as typed", "70000", 70000);
        add("negative", "-1", -1);
    }

    void port()
    {
        QFETCH(QString, text);
        QTEST(ShareText::portFromText(text), "port");
    }

    void statusTexts_data()
    {
        const auto add = columns<QString, QString, int, QString>("kind", "address", "port", "text");
        add("listening", "listening", "127.0.0.1", 11223, "本地监听 [127.0.0.1:11223]");
        add("listening on port 0", "listening", "0.0.0.0", 0, "本地监听 [0.0.0.0:0]");
        add("peer", "peer", "10.0.0.7", 51234, "来源网络 [10.0.0.7:51234]");
        add("target", "target", "192.168.1.100", 11223, "；传至 → [192.168.1.100:11223]");
        add("target unparsed", "target", "", 11223, "；传至 → [:11223]");
        add("scoped address not substituted twice", "peer", "fe80::1%2", 9,
            "来源网络 [fe80::1%2:9]");
        // The name a shared line's source gets; none without a peer.
        add("peer held", "source", "127.0.0.1", 40000, "127.0.0.1[40000]");
        add("no peer", "source", "", 0, "");
        add("address without port", "source", "127.0.0.1", 0, "");
        add("port without address", "source", "", 5, "");
        add("percent in address kept", "source", "fe80::1%2", 7, "fe80::1%2[7]");
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
        const auto add = columns<QByteArray, int>("head", "kind");
        const int u = PeerGuard::Undecided, h = PeerGuard::Http, p = PeerGuard::Plain;
        add("POST with a forged line", "POST /log HTTP/1.1\r\nHost: x\r\n\r\n[00:00:00.000]RX\n",
            h);
        add("preflight", "OPTIONS * HTTP/1.1\r\n", h);
        add("method cut short", "DELE", u);
        add("request target still coming", "PUT /upload/fi", u);
        add("long target", "GET /" + QByteArray(PeerGuard::MaxRequestLine, 'a'), h);
        add("a prompt", "ok>", p);
        add("a method word in a log line", "GET status\r\n", p);
        add("version on a later line", "HEAD x\nHTTP/1.1", p);
    }

    void firstBytes()
    {
        QFETCH(QByteArray, head);
        QTEST(int(PeerGuard::classifyHead(head)), "kind");
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
};

QTEST_GUILESS_MAIN(tst_ShareText)
#include "tst_sharetext.moc"
