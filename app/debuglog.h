#pragma once

#include <QString>
#include <QtGlobal>

// The optional debug log: every message of the program, one line each, in debug.log.
namespace DebugLog {

// Beside the program when its folder exists, else in the working folder.
QString path();
void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);

}
