#pragma once

#include "app/messagebox.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <list>
#include <memory>

// A raw pty whose slave side is closed: the program opens it by path. False, master -1: none.
bool openRawPty(int* master, QString* slavePath);

// A pseudo-terminal pair in raw mode; the program opens the slave side by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
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
    ~MsgRecorder();
    QList<MsgBox::Call> calls;
    QMessageBox::StandardButton answer;
    // Each box stays open this long in a nested event loop, as while a person reads it.
    int readMs = 0;
    int open = 0;
    int deepest = 0; // the most boxes open at once
    int count(MsgBox::Kind kind) const;
    bool hasText(const QString& text) const;
    // The texts of the boxes so far, in order.
    QStringList texts() const;
    QString lastText() const { return calls.isEmpty() ? QString() : calls.last().text; }
    void clear() { calls.clear(); }
};

// Runs the test inside a fresh temporary working folder (Settings.ini, Record/, plugins/).
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
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
    void set(const QString& list);

private:
    QByteArray previous;
    bool had;
};

class MainWindow;

// What a window test on a pty needs: its own working folder with the plug-in, answered boxes, and
// a pty listed as a port.
struct PtyTestBench {
    // description: what the port list shows beside the pty's path (none: the list's default).
    // withPlugin false leaves ./plugins empty: two windows in one process would both claim the
    // plug-in's single instance.
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
    QString portPath() const { return listedPath; }
    // Lists the pty with another description beside its path.
    void describe(const QString& description);

private:
    QString listedPath;
    QStringList entries;
    std::list<PtyPair> more;
};

// Base of the window tests on a pty: every test function runs on a fresh bench, and the helpers
// open the pty in a window and read its receive view.
class PtyWindowTest : public QObject {
    Q_OBJECT

public:
    // As PtyTestBench's: the pty's description and whether ./plugins gets our plug-in.
    explicit PtyWindowTest(const QString& description = QString(), bool withPlugin = true);
    ~PtyWindowTest() override;

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
