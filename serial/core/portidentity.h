#pragma once

#include "serial/core/portlist.h"

#include <QString>
#include <QVector>

// Which port a USB device is on, through the links of /dev/serial/by-id: a device that
// re-enumerates may come back under another name, but its link name (vendor, product, serial
// number, interface) stays the same.
namespace PortIdentity {

struct Link {
    QString name; // the link's own name, the device's identity
    QString target; // the device path it resolves to
};
using Links = QVector<Link>;

// The device path of a port name as the scan lists it: names without a folder live in /dev.
QString devicePath(const QString& portName);

// The identity of a port; empty when no link points at it (built-in ports, ptys).
QString identityOf(const QString& portName, const Links& links);

// Where the device last open as `portName` (with `identity`, maybe empty) is listed now: the
// port its identity points at, or the same name unless another device holds it. Empty while
// the device is absent.
QString returnedPort(const QString& portName, const QString& identity, const PortList::Table& table,
    const Links& links);

}
