#include "share/core/peerguard.h"

#include "share/core/sharetext.h"

#include <QRegularExpression>

namespace PeerGuard {

namespace {

    // The methods a page can make a browser send; others need a preflight OPTIONS first.
    const char* const kMethods[] = { "GET ", "POST ", "PUT ", "HEAD ", "OPTIONS ", "DELETE ",
        "PATCH ", "CONNECT ", "TRACE " };

} // namespace

Head classifyHead(const QByteArray& head)
{
    if (head.isEmpty())
        return Undecided;
    int methodEnd = -1;
    bool prefix = false;
    for (const char* method : kMethods) {
        const QByteArray m = QByteArray::fromRawData(method, int(qstrlen(method)));
        if (head.startsWith(m)) {
            methodEnd = m.size();
            break;
        }
        if (m.startsWith(head))
            prefix = true;
    }
    if (methodEnd < 0)
        return prefix ? Undecided : Plain;

    const int lineEnd = head.indexOf('\n', methodEnd);
    const QByteArray line = lineEnd < 0 ? head : head.left(lineEnd);
    if (line.indexOf(" HTTP/1.", methodEnd - 1) >= 0)
        return Http;
    if (lineEnd >= 0)
        return Plain;
    return head.size() >= MaxRequestLine ? Http : Undecided;
}

QString plainAddress(const QString& address)
{
    static const QString mapped = QStringLiteral("::ffff:");
    if (address.startsWith(mapped, Qt::CaseInsensitive) && ShareText::isIpv4(address.mid(7)))
        return address.mid(7);
    return address;
}

bool isLoopback(const QString& address)
{
    const QString plain = plainAddress(address);
    if (plain == QLatin1String("::1"))
        return true;
    return ShareText::isIpv4(plain) && plain.startsWith(QLatin1String("127."));
}

QStringList parseAddressList(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList list;
    for (const QString& item : text.split(separators, Qt::SkipEmptyParts)) {
        const QString address = plainAddress(item);
        if (ShareText::isIpv4(address) && !list.contains(address))
            list << address;
    }
    return list;
}

bool isListed(const QString& address, const QStringList& list)
{
    return list.contains(plainAddress(address));
}

QString listenAddress(const QString& chosen)
{
    if (ShareText::isIpv4(chosen) && chosen != QLatin1String("0.0.0.0"))
        return chosen;
    return QStringLiteral("127.0.0.1");
}

Admission admission(bool trusted, bool declined, bool slotTaken, bool asking)
{
    if (trusted)
        return slotTaken ? RefuseBusy : Hold;
    // A stranger raises one question at most, and none while it could not be let in anyway.
    if (declined || slotTaken || asking)
        return RefuseQuietly;
    return Ask;
}

} // namespace PeerGuard
