#pragma once

#include "devsim/device.h"
#include "devsim/devsimoptions.h"
#include "devsim/logstream.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <signal.h>

// Runs the simulated board on a pseudo-terminal until a signal or the end of its run time.
class DevSim {
public:
    // How long the port stays away when the board re-enumerates.
    static constexpr qint64 ReenumerateGapUs = 1000000;

    explicit DevSim(const DevSimOptions& options);
    ~DevSim();
    DevSim(const DevSim&) = delete;
    DevSim& operator=(const DevSim&) = delete;

    // Takes over SIGINT/SIGTERM/SIGHUP, opens the pty and the record file, publishes the link.
    bool start(QString* error);
    QString slavePath() const { return slaveName; }
    // The poll loop; returns the process exit code.
    int run();

private:
    bool logRunning() const;
    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }
    void generateDue(qint64 now);
    void appendLine();
    int pollTimeoutMs(qint64 now, qint64 stopAt) const;
    bool readInput(QString* error);
    bool writePending(QString* error);
    bool readerHasAll() const;
    bool publishLink(QString* error);
    void removeLink();
    bool openPty(QString* error);
    // A native-USB board resetting: the port goes, and comes back as another pty.
    void vanish();
    bool comeBack(QString* error);

    enum class Ending { No, Timed, Signalled };

    DevSimOptions opts;
    Device device;
    LogStream log;
    QFile recordFile;
    QElapsedTimer clock;
    QByteArray pending; // bytes queued for the master, in the order they are sent
    int master = -1;
    int slave = -1; // held open so the master never sees a hang-up when a program closes the port
    int signalFd = -1;
    sigset_t oldMask;
    bool maskChanged = false;
    bool linkPublished = false;
    Ending ending = Ending::No;
    QString slaveName;
    qint64 linesMade = 0;
    qint64 nextDueUs = 0;
    qint64 paceStartUs = 0;
    qint64 pacedBytes = 0;
    int resetsSeen = 0;
    qint64 vanishAtUs = -1;
    qint64 returnAtUs = -1;
};
