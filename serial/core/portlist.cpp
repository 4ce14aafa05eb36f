#include "serial/core/portlist.h"

#include <QMap>
#include <algorithm>

namespace PortList {

// Splits "ttyUSB12" into "ttyUSB" and 12; no trailing digits gives -1.
static void splitTrailingNumber(const QString& s, QStringRef* stem, qlonglong* number)
{
    int i = s.size();
    while (i > 0 && s.at(i - 1).isDigit())
        --i;
    *stem = s.leftRef(i);
    bool ok = false;
    const qlonglong n = s.midRef(i).toLongLong(&ok);
    *number = (i < s.size() && ok) ? n : -1;
}

bool naturalLess(const QString& a, const QString& b)
{
    QStringRef sa, sb;
    qlonglong na, nb;
    splitTrailingNumber(a, &sa, &na);
    splitTrailingNumber(b, &sb, &nb);
    const int c = sa.compare(sb, Qt::CaseSensitive);
    if (c != 0)
        return c < 0;
    if (na != nb)
        return na < nb;
    return a < b; // "COM01" and "COM1": keep a strict order
}

Table normalized(const Table& ports)
{
    QMap<QString, QString> byName;
    for (const auto& p : ports)
        byName.insert(p.first, p.second);
    Table out;
    out.reserve(byName.size());
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        out.append({ it.key(), it.value() });
    std::stable_sort(out.begin(), out.end(),
        [](const auto& x, const auto& y) { return naturalLess(x.first, y.first); });
    return out;
}

QString entryText(const QString& name, const QString& description)
{
    QString text = name + QLatin1Char(' ') + description;
    if (!text.endsWith(QLatin1String("  ")))
        text += QLatin1String("   ");
    return text;
}

QString portNameOf(const QString& entryText) { return entryText.section(QLatin1Char(' '), 0, 0); }

bool contains(const Table& table, const QString& name)
{
    return std::any_of(
        table.cbegin(), table.cend(), [&](const auto& p) { return p.first == name; });
}

QString descriptionOf(const Table& table, const QString& name)
{
    for (const auto& p : table)
        if (p.first == name)
            return p.second;
    return QString();
}

bool sameNames(const Table& a, const Table& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a.at(i).first != b.at(i).first)
            return false;
    return true;
}

Table parseExtraPorts(const QString& list, const QString& defaultDescription)
{
    Table out;
    const auto entries = list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& raw : entries) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        const int eq = entry.indexOf(QLatin1Char('='));
        QString path = eq < 0 ? entry : entry.left(eq).trimmed();
        QString description = eq < 0 ? defaultDescription : entry.mid(eq + 1).trimmed();
        if (path.isEmpty())
            continue;
        out.append({ path, description });
    }
    return out;
}

}
