#pragma once

#include <QSyntaxHighlighter>

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
    KeyHighlightDialog* dialog = nullptr; // not owned
    bool enabled = false;
};
