#pragma once

#include "views/core/keywordrules.h"

#include <QColor>
#include <QObject>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QVector>

class KeyHighlightDialog;

// Marks the keywords of the keyword dialog in the lines of the receive area; the view asks for
// a line's marks when it lays the line out and keeps them while the line is in sight.
class KeyHighlight : public QObject {
    Q_OBJECT

public:
    explicit KeyHighlight(KeyHighlightDialog* dialog);

    // Takes effect for lines laid out from now on.
    void setHighlightEnabled(bool enabled);
    bool isHighlightEnabled() const;

    QVector<QTextLayout::FormatRange> formats(const QString& line);

    static constexpr int MaxMarksPerLine = 512;

private:
    const QTextCharFormat& formatFor(int row, const QColor& color);

    KeyHighlightDialog* dialog = nullptr; // not owned
    bool enabled = false;
    // The rows are read from the dialog for every line; only what they compile to is kept.
    KeywordRules rules;
    QVector<QTextCharFormat> rowFormats;
    QVector<QColor> formatColors;
};
