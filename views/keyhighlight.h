#pragma once

#include "views/keywordrules.h"

#include <QColor>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

class KeyHighlightDialog;
class QTextDocument;

// Marks the keywords of the keyword dialog in the receive area as blocks arrive.
class KeyHighlight : public QSyntaxHighlighter {
    Q_OBJECT

public:
    KeyHighlight(QTextDocument* document, KeyHighlightDialog* dialog);

    // Takes effect for blocks highlighted from now on; nothing is re-highlighted.
    void setHighlightEnabled(bool enabled);
    bool isHighlightEnabled() const;

protected:
    void highlightBlock(const QString& text) override;

private:
    const QTextCharFormat& formatFor(int row, const QColor& color);

    KeyHighlightDialog* dialog = nullptr; // not owned
    bool enabled = false;
    // The rows are read from the dialog for every block; only what they compile to is kept.
    KeywordRules rules;
    QVector<QTextCharFormat> formats;
    QVector<QColor> formatColors;
};
