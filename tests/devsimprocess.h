#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One quillon-devsim process for a test, with its link and files in a temporary folder.
class DevSimProcess {
public:
    DevSimProcess();
    ~DevSimProcess();
    DevSimProcess(const DevSimProcess&) = delete;
    DevSimProcess& operator=(const DevSimProcess&) = delete;

    // Beside the plug-in folder CTest names; empty when run outside CTest.
    static QString program();

    // Starts with the given options and waits for its "PTY <path>" line.
    bool start(const QStringList& arguments);
    QString ptyPath() const { return pty; }
    // A file in the simulator's temporary folder, for --download-file and the like.
    QString filePath(const QString& name) const { return dir.filePath(name); }
    QString errors();

private:
    QTemporaryDir dir;
    QProcess process;
    QString pty;
};

// The file a test sends: every byte value, in an order that repeats only after many bytes.
QByteArray sampleFile(int size);
