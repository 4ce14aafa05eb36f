#pragma once

#include <QString>

// Whether a plug-in found in the working folder may be loaded: loading runs its code as the
// user, so the file and every folder leading to it within the working folder must be the user's
// (or root's) and writable by nobody else.
namespace PluginTrust {

enum class Verdict { Trusted, Missing, ForeignOwner, GroupWritable, OtherWritable };

// owner: the uid owning the file or folder; mode: its st_mode; me: the running user's uid.
Verdict judge(uint owner, uint mode, uint me);

struct Finding {
    Verdict verdict = Verdict::Trusted;
    QString path; // the first path that failed
    QString why; // for the debug log
};

// Judges each path in turn (symbolic links followed) and stops at the first that fails.
Finding check(const QStringList& paths, uint me);

}
