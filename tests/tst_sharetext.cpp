// Address parsing and status texts of the log-sharing link.
#include "share/core/peerguard.h"
#include "share/core/sharetext.h"
#include "testdata.h"

using Call = std::function<QVariant()>;
Q_DECLARE_METATYPE(Call)

class tst_ShareText : public QObject {
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(tst_ShareText)
#include "tst_sharetext.moc"
