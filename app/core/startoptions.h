#pragma once

#include <QString>
#include <QStringList>

// The command line: a port to select (and its baud rate, and whether to open it) for launchers
// and scripts. Without options the program starts as it always did.
struct StartOptions {
    enum class Parse { Ok, Help, Version, Error };

    QString port; // empty: the stored selection
    int baudRate = 0; // 0: the stored rate
    bool open = false;
    QString language; // "zh" or "en" for this run; empty: the stored choice

    // The rates the baud-rate list offers.
    static const QList<int>& baudRates();

    // Fills `options` from the full argument list (program name first). A relative port path is
    // taken from `baseDir`; a bare name (ttyUSB0) is a device name. `message` receives the help
    // text, the version or the reason for an error.
    static Parse parse(const QStringList& arguments, const QString& baseDir, StartOptions* options,
        QString* message);

    // Whether the arguments only ask for text (help, version): no window, so no display needed.
    static bool asksForTextOnly(const QStringList& arguments);
};
