#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

// Skips outside CTest, which names the plug-in folder; fails when the simulator is not built.
#define NEED_SIMULATOR()                                                                           \
    do {                                                                                           \
        if (DevSimProcess::program().isEmpty())                                                    \
            QSKIP("QUILLON_TEST_PLUGIN_DIR is not set; run through CTest");                        \
        QVERIFY2(QFileInfo(DevSimProcess::program()).isExecutable(),                               \
            qPrintable(DevSimProcess::program() + QStringLiteral(" is not built")));               \
    } while (false)

// One quillon-devsim process for a test, with its link and files in a temporary folder.
class DevSimProcess {
public:
    DevSimProcess() = default;
    ~DevSimProcess();
    Q_DISABLE_COPY(DevSimProcess)

    // Beside the plug-in folder CTest names; empty when run outside CTest.
    static QString program();

    // Starts with the given options and waits for its "PTY <path>" line.
    bool start(const QStringList& arguments);
    // Waits for the next "PTY <path>" line, as after the board re-enumerates.
    bool waitForPty();
    QString ptyPath() const { return pty; }
    QString linkPath() const { return dir.filePath(QStringLiteral("ttySIM0")); }
    QString folder() const { return dir.path(); }
    // Sends `signal` and waits for a normal exit.
    bool stop(int signal);
    QProcess& process() { return proc; }
    // A file in the simulator's temporary folder, for --download-file and the like.
    QString filePath(const QString& name) const { return dir.filePath(name); }
    QString errors() { return QString::fromLocal8Bit(proc.readAllStandardError()); }

private:
    QTemporaryDir dir;
    QProcess proc;
    QString pty;
};

// The board's text is GBK.
QByteArray gbk(const QString& text);

// The file a test sends: every byte value, in an order that repeats only after many bytes.
QByteArray sampleFile(int size);
