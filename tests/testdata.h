#pragma once

// Data tables and files for every test program, the pure-logic ones included.
#include <QFile>
#include <QtTest>

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
