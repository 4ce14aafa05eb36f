#include "serial/core/recordname.h"

#include <climits>

namespace RecordName {

QString sourceName(ShareMode mode, const QString& peerName, const QString& portEntryText)
{
    if (mode == ShareMode::Receive && !peerName.isEmpty())
        return peerName;
    return portEntryText.simplified();
}

QString sanitize(const QString& source)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString result = source;
    for (QChar& c : result) {
        if (refused.contains(c))
            c = QLatin1Char('_');
    }
    return result;
}

QString build(const QString& pattern, const QString& folder, const QString& source,
    const QDateTime& when, const std::function<bool(const QString&)>& exists)
{
    // One arg() call for all three, so a '%' in the source name is never substituted again.
    const QString path = pattern.arg(
        folder, sanitize(source), when.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")));
    if (!exists || !exists(path))
        return path;

    const QString suffix = QStringLiteral(".txt");
    const bool hasSuffix = path.endsWith(suffix);
    const QString stem = hasSuffix ? path.left(path.size() - suffix.size()) : path;
    for (int n = 2; n < INT_MAX; ++n) {
        const QString candidate
            = stem + QLatin1Char('_') + QString::number(n) + (hasSuffix ? suffix : QString());
        if (!exists(candidate))
            return candidate;
    }
    return path;
}

} // namespace RecordName
