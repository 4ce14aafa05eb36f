// Record-file names from whatever a port description or peer name holds.
#include "fuzzinput.h"
#include "serial/core/recordname.h"

#include <QDateTime>
#include <QSet>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int shareMode = in.number(3);
    const QString peer = in.text(40);
    const QString entry = QString::fromUtf8(in.rest());
    const QString source = RecordName::sourceName(shareModeFromInt(shareMode), peer, entry);
    const QString clean = RecordName::sanitize(source);
    for (QChar c : clean)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            abort();
    // Names already taken are never handed out again.
    QSet<QString> taken;
    const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));
    for (int i = 0; i < 4; ++i) {
        const QString path = RecordName::build(QStringLiteral("%1/Orv_All_Rec_%2_%3.txt"),
            QStringLiteral("Record"), source, when,
            [&](const QString& p) { return taken.contains(p); });
        if (taken.contains(path) || !path.startsWith(QStringLiteral("Record/Orv_All_Rec_")))
            abort();
        if (path.mid(7).contains(QLatin1Char('/')))
            abort();
        taken.insert(path);
    }
    return 0;
}
