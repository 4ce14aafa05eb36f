#pragma once

#include "share/core/sharemode.h"

#include <QDateTime>
#include <QString>

#include <functional>

// Names of the record files written from the receive area.
namespace RecordName {

// The peer's name when receiving from the network and the peer name is not empty;
// otherwise the port entry text, simplified().
QString sourceName(ShareMode mode, const QString& peerName, const QString& portEntryText);

// Replaces / \ : * ? " < > | by '_', so that any port description makes a valid file name.
QString sanitize(const QString& source);

// Fills pattern ("%1/Orv_All_Rec_%2_%3.txt") with folder, sanitize(source) and when as
// "yyyy-MM-dd_hh-mm-ss". While exists(path) is true, tries "_2", "_3", … before ".txt", so a
// second save within the same second keeps the first file.
QString build(const QString& pattern, const QString& folder, const QString& source,
    const QDateTime& when, const std::function<bool(const QString&)>& exists);

} // namespace RecordName
