#pragma once

// Data tables and files for every test program, the pure-logic ones included.
#include <QFile>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// One data row: the tag, then the columns in order.
template <typename... T> void row(const char* tag, const T&... values)
{
    (QTest::newRow(tag) << ... << values);
}

// Declares a data table's columns (types, then names); returns what adds a row in that order.
template <typename... T, typename... Name> auto columns(const Name&... names)
{
    (QTest::addColumn<T>(names), ...);
    return [](const QByteArray& tag, const T&... values) {
        (QTest::newRow(tag.constData()) << ... << values);
    };
}

// A file's bytes; none when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes the file hold just these bytes; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs body in a child process whose files cannot grow past limit bytes (SIGXFSZ ignored: such a
// write fails with EFBIG). Returns body's result; 255 when the limit failed, -1 without a child.
inline int exitCodeUnderFileLimit(rlim_t limit, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r {};
        ::getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = limit;
        ::_exit(::setrlimit(RLIMIT_FSIZE, &r) == 0 ? body() : -1);
    }
    int status = 0;
    const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    return exited ? WEXITSTATUS(status) : -1;
}
