#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// Port names, their order and the texts of the port list.
namespace PortList {

using Table = QVector<QPair<QString, QString>>; // port name, description

// Natural order: by text, with a trailing number compared as a number (ttyS2 < ttyS10).
bool naturalLess(const QString& a, const QString& b);

// Sorts by natural order; a later entry of the same name replaces the earlier description.
Table normalized(const Table& ports);

// "name description", then three blanks unless it already ends with two.
QString entryText(const QString& name, const QString& description);

// The part of an entry text before its first blank.
QString portNameOf(const QString& entryText);

bool contains(const Table& table, const QString& name);
QString descriptionOf(const Table& table, const QString& name);
bool sameNames(const Table& a, const Table& b);

// QUILLON_EXTRA_PORTS: "PATH" or "PATH=DESCRIPTION" entries separated by ';'.
Table parseExtraPorts(const QString& list, const QString& defaultDescription);

}
