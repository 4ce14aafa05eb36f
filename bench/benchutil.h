#pragma once

#include <QString>
#include <QtGlobal>

// Helpers the benchmark programs share.
namespace BenchUtil {

// A field of /proc/self/status in MiB ("VmHWM", "VmRSS"); -1 when unknown.
double statusMb(const char* field);

// The window's own debug chatter would drown the tables; warnings still reach stderr, except
// the offscreen platform's notes about what it cannot do.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

}
