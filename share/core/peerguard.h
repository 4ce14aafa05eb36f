#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Who may feed the receive view over the network, decided from plain values so it can be tested
// without sockets.
namespace PeerGuard {

// What the first bytes of a connection are.
enum Head {
    Undecided, // too few bytes yet: wait for more, or for a quiet moment
    Http, // a web request (a page in a browser can send one to any address and port)
    Plain, // anything else: a sender of serial bytes
};

// Bytes enough to decide on a request line without a line end.
constexpr int MaxRequestLine = 8192;
// How long a connection's first bytes wait for more before they count as a sender's.
constexpr int QuietMs = 300;

// A request line is a method such as "GET " or "POST ", then " HTTP/1." on the same line. A head
// that starts like one is Undecided until its first line ends; one that does not, is Plain as
// soon as that shows. A request line longer than MaxRequestLine is still taken for a request.
Head classifyHead(const QByteArray& head);

// The address without an IPv4-mapped IPv6 prefix ("::ffff:10.0.0.7" is "10.0.0.7").
QString plainAddress(const QString& address);
// 127.0.0.0/8 and ::1, mapped forms included.
bool isLoopback(const QString& address);
// The addresses of a list typed or kept in the settings: IPv4 addresses separated by commas,
// semicolons or blanks, each once, in order; anything else is left out.
QStringList parseAddressList(const QString& text);
bool isListed(const QString& address, const QStringList& list);

// Where to listen: the chosen address when it is one IPv4 address of this machine's kind, never
// all interfaces; otherwise the loopback address.
QString listenAddress(const QString& chosen);

// What to do with a sender whose first bytes are Plain.
enum Admission {
    Hold, // it becomes the connection
    RefuseBusy, // another is held: cut it off and tell the user
    RefuseQuietly, // a stranger that may not ask now: cut it off, nothing shown
    Ask, // a stranger: ask the user once
};
// trusted: on this machine, on the allow list or confirmed in this run; declined: the user said
// no to this address in this run; asking: a question about another stranger is open.
Admission admission(bool trusted, bool declined, bool slotTaken, bool asking);

} // namespace PeerGuard
