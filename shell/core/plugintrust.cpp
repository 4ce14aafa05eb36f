#include "shell/core/plugintrust.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace PluginTrust {

Verdict judge(uint owner, uint mode, uint me)
{
    if (owner != me && owner != 0)
        return Verdict::ForeignOwner;
    // The sticky bit of a shared folder such as /tmp does not help: anyone may still add files.
    if (mode & S_IWOTH)
        return Verdict::OtherWritable;
    if (mode & S_IWGRP)
        return Verdict::GroupWritable;
    return Verdict::Trusted;
}

Finding check(const QStringList& paths, uint me)
{
    Finding finding;
    for (const QString& path : paths) {
        struct stat info;
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
            finding.verdict = Verdict::Missing;
            finding.why = QStringLiteral("cannot be examined");
        } else {
            finding.verdict = judge(info.st_uid, info.st_mode, me);
            if (finding.verdict == Verdict::ForeignOwner)
                finding.why = QStringLiteral("belongs to uid %1").arg(info.st_uid);
            else if (finding.verdict == Verdict::GroupWritable)
                finding.why = QStringLiteral("is writable by its group");
            else if (finding.verdict == Verdict::OtherWritable)
                finding.why = QStringLiteral("is writable by anyone");
        }
        if (finding.verdict != Verdict::Trusted) {
            finding.path = path;
            return finding;
        }
    }
    return finding;
}

}
