#include "serial/core/portidentity.h"

namespace PortIdentity {

QString devicePath(const QString& portName)
{
    return portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

QString identityOf(const QString& portName, const Links& links)
{
    const QString path = devicePath(portName);
    for (const Link& link : links)
        if (link.target == path)
            return link.name;
    return QString();
}

QString returnedPort(const QString& portName, const QString& identity, const PortList::Table& table,
    const Links& links)
{
    if (!identity.isEmpty()) {
        for (const Link& link : links) {
            if (link.name != identity)
                continue;
            for (const auto& port : table)
                if (devicePath(port.first) == link.target)
                    return port.first;
            // Linked, but its port is not listed yet: the next scan will see it.
            return QString();
        }
    }
    if (!PortList::contains(table, portName))
        return QString();
    // The name came back before its link (udev adds links a moment later), unless the link
    // says it is someone else.
    const QString now = identityOf(portName, links);
    if (!identity.isEmpty() && !now.isEmpty() && now != identity)
        return QString();
    return portName;
}

}
