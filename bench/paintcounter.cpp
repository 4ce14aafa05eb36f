#include "bench/paintcounter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

PaintCounter::PaintCounter(QObject* parent)
    : QObject(parent)
{
}

void PaintCounter::start() { QCoreApplication::instance()->installEventFilter(this); }

void PaintCounter::stop() { QCoreApplication::instance()->removeEventFilter(this); }

bool PaintCounter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Paint || type == QEvent::LayoutRequest) && watched->isWidgetType()) {
        // Unnamed widgets are told apart by their parent's name.
        QString name = watched->objectName();
        if (name.isEmpty() && watched->parent())
            name = QStringLiteral("(in %1)").arg(watched->parent()->objectName());
        Counts& c = counts[QStringLiteral("%1 %2").arg(
            QString::fromLatin1(watched->metaObject()->className()), name)];
        if (type == QEvent::Paint)
            ++c.paints;
        else
            ++c.layouts;
    }
    return false;
}

QString PaintCounter::report() const
{
    std::vector<std::pair<QString, Counts>> rows;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        rows.emplace_back(it.key(), it.value());
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.second.paints + a.second.layouts > b.second.paints + b.second.layouts;
    });
    QString out;
    for (const auto& row : rows)
        out += QStringLiteral("%1 %2 %3\n")
                   .arg(row.second.paints, 7)
                   .arg(row.second.layouts, 7)
                   .arg(row.first);
    return out;
}
