#pragma once

#include <QString>
#include <QtGlobal>

// Texts and parsing of the log-sharing link, free of widgets so they can be tested alone.
namespace ShareText {

// Four decimal octets 0-255 without leading zeros, separated by dots (QRegExp syntax).
QString ipv4Pattern();
// True when text is a complete dotted IPv4 address by ipv4Pattern().
bool isIpv4(const QString& text);

// A port as typed: decimal, 0 when not a number; the caller truncates to 16 bits for the socket.
int portFromText(const QString& text);

// "address[port]", empty unless both the address and a non-zero port are known.
QString sourceName(const QString& address, quint16 port);

// Status texts of the link, as the main window shows them in the receive area's title.
QString listening(const QString& address, int port);
QString peer(const QString& address, int port);
QString target(const QString& address, int port);
// The send-role status once the peer has missed bytes that it did not take in time.
QString targetMissed(const QString& address, int port, qint64 bytes);

} // namespace ShareText
