#pragma once

#include "app/messagebox.h"
#include "testdata.h"

#include <list>
#include <memory>

// A raw pty whose slave side is closed: the program opens it by path. False, master -1: none.
bool openRawPty(int* master, QString* slavePath);

// A pseudo-terminal pair in raw mode; the program opens the slave side by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair() { closeMaster(); }
    Q_DISABLE_COPY(PtyPair)
    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return path; }
    bool write(const QByteArray& bytes);
    // Reads what the program wrote, waiting up to timeoutMs for the first bytes.
    QByteArray read(int timeoutMs = 1000);
    // Reads until n bytes came or the time is up; the program's event loop (its port) runs on.
    QByteArray readAtLeast(int n, int timeoutMs = 5000);
    void closeMaster();
    int masterFd() const { return master; }

private:
    int master = -1;
    QString path;
};

// Watches and answers every message box while it lives.
class MsgRecorder {
public:
    explicit MsgRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~MsgRecorder() { MsgBox::setHandler({}); }
    QList<MsgBox::Call> calls;
    QMessageBox::StandardButton answer;
    // Each box stays open this long in a nested event loop, as while a person reads it.
    int readMs = 0;
    int open = 0;
    int deepest = 0; // the most boxes open at once
    int count(MsgBox::Kind kind) const;
    QStringList texts() const;
    QString lastText() const { return calls.isEmpty() ? QString() : calls.last().text; }
    void clear() { calls.clear(); }
};

// Runs the test inside a fresh temporary working folder (Settings.ini, Record/, plugins/).
class TempWorkDir {
public:
    TempWorkDir()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~TempWorkDir() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }
    // Puts our update plug-in into ./plugins so start-up finds it.
    bool installPlugin();

private:
    QTemporaryDir dir;
    QString previous;
};

// Sets QUILLON_EXTRA_PORTS for the life of the object.
class ExtraPorts {
public:
    explicit ExtraPorts(const QString& list);
    ~ExtraPorts();
    Q_DISABLE_COPY(ExtraPorts)
    // Lists other ports; the destructor still restores what was set before the first list.
    void set(const QString& list) { qputenv("QUILLON_EXTRA_PORTS", list.toLocal8Bit()); }

private:
    QByteArray previous;
    bool had;
};

class MainWindow;

// A window test's own working folder with the plug-in, answered boxes, and a pty listed as a port.
struct PtyTestBench {
    // description: shown beside the pty's path. Without the plug-in, two windows in one process
    // do not both claim its single instance.
    explicit PtyTestBench(const QString& description = QString(), bool withPlugin = true);
    TempWorkDir work;
    MsgRecorder boxes;
    PtyPair pty;
    ExtraPorts env;
    bool ready;
    // Selects the pty in the window's port list and opens it; false when that failed.
    bool openIn(MainWindow& w);
    // Another pty, listed behind the ports so far; it lives as long as the bench.
    PtyPair& addPort(const QString& description = QString());
    // Lists the pty under a link in the working folder (removing it unlists the port while the
    // device stays). The link's path; empty when it could not be made.
    QString listUnderLink(const QString& name);
    // The path the port list shows for the pty: its own, or the link's.
    QString portPath() const { return entries.first().section(QLatin1Char('='), 0, 0); }
    // Lists the pty with another description beside its path.
    void describe(const QString& description);

private:
    QStringList entries;
    std::list<PtyPair> more;
};

// Base of the window tests on a pty: every test function runs on a fresh bench.
class PtyWindowTest : public QObject {
    Q_OBJECT

public:
    // As PtyTestBench's: the pty's description and whether ./plugins gets our plug-in.
    explicit PtyWindowTest(const QString& description = QString(), bool withPlugin = true)
        : description(description)
        , withPlugin(withPlugin)
    {
    }

protected slots:
    // A test class with its own init() or cleanup() calls these from it.
    void init();
    void cleanup();

protected:
    enum OpenFlag { NoTime = 1, Shown = 2, AutoSave = 4, LiveRecord = 8 };
    // Opens the pty in the window, first switching time stamps off, the automatic save before a
    // clear or the live record on, or showing it, as asked.
    void openPort(MainWindow& w, int flags = 0);
    static QString viewText(MainWindow& w);
    static QStringList viewLines(MainWindow& w);
    static int viewLineCount(MainWindow& w);

    std::unique_ptr<PtyTestBench> bench;
    TempWorkDir* work = nullptr;
    MsgRecorder* boxes = nullptr;
    PtyPair* pty = nullptr;

private:
    QString description;
    bool withPlugin;
};
