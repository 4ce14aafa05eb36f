#include "views/keyhighlight.h"

#include "views/keyhighlightdialog.h"

#include <QFont>

KeyHighlight::KeyHighlight(QTextDocument* document, KeyHighlightDialog* dialog)
    : QSyntaxHighlighter(document)
    , dialog(dialog)
    , rules(KeyHighlightDialog::kRows)
    , formats(KeyHighlightDialog::kRows)
    , formatColors(KeyHighlightDialog::kRows)
{
    // Each row's format starts as the one for no colour, matching its entry in formatColors.
    for (QTextCharFormat& f : formats)
        f.setFontWeight(QFont::Bold);
}

void KeyHighlight::setHighlightEnabled(bool on) { enabled = on; }

bool KeyHighlight::isHighlightEnabled() const { return enabled; }

const QTextCharFormat& KeyHighlight::formatFor(int row, const QColor& color)
{
    QTextCharFormat& f = formats[row];
    if (formatColors.at(row) != color) {
        f = QTextCharFormat();
        f.setFontWeight(QFont::Bold);
        // A row without a readable colour is marked bold only, not painted black.
        if (color.isValid())
            f.setBackground(QBrush(color, Qt::SolidPattern));
        formatColors[row] = color;
    }
    return f;
}

void KeyHighlight::highlightBlock(const QString& text)
{
    if (!enabled || !dialog || text.isEmpty())
        return;
    QColor color;
    QString keyword;
    // Later rows are applied later, so where matches overlap the higher row's colour wins.
    for (int row = 0; row < KeyHighlightDialog::kRows; ++row) {
        if (!dialog->keyHighlightEntry(row, color, keyword) || keyword.isEmpty())
            continue;
        const QTextCharFormat& format = formatFor(row, color);
        rules.forEachMatch(
            row, keyword, text, [&](int pos, int len) { setFormat(pos, len, format); });
    }
}
