// QUILLON_EXTRA_PORTS parsing and the port order.
#include "fuzzinput.h"
#include "serial/core/portlist.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const auto ports = PortList::parseExtraPorts(QString::fromUtf8(in.rest()), QStringLiteral("V"));
    for (const auto& p : ports)
        if (p.first.isEmpty() || p.first.contains(QLatin1Char(';')))
            abort();
    const auto sorted = PortList::normalized(ports);
    for (int i = 1; i < sorted.size(); ++i) {
        // A strict order: no two names compare equal, and the order is consistent.
        if (!PortList::naturalLess(sorted.at(i - 1).first, sorted.at(i).first))
            abort();
        if (PortList::naturalLess(sorted.at(i).first, sorted.at(i - 1).first))
            abort();
    }
    for (const auto& p : sorted) {
        const QString entry = PortList::entryText(p.first, p.second);
        if (!p.first.contains(QLatin1Char(' ')) && PortList::portNameOf(entry) != p.first)
            abort();
    }
    return 0;
}
