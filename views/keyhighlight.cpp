#include "views/keyhighlight.h"

#include "views/keyhighlightdialog.h"

#include <QFont>

KeyHighlight::KeyHighlight(KeyHighlightDialog* dialog)
    : QObject(dialog)
    , dialog(dialog)
    , rules(KeyHighlightDialog::kRows)
    , rowFormats(KeyHighlightDialog::kRows)
    , formatColors(KeyHighlightDialog::kRows)
{
    // Each row's format starts as the one for no colour, matching its entry in formatColors.
    for (QTextCharFormat& f : rowFormats)
        f.setFontWeight(QFont::Bold);
}

void KeyHighlight::setHighlightEnabled(bool on) { enabled = on; }

bool KeyHighlight::isHighlightEnabled() const { return enabled; }

const QTextCharFormat& KeyHighlight::formatFor(int row, const QColor& color)
{
    QTextCharFormat& f = rowFormats[row];
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

QVector<QTextLayout::FormatRange> KeyHighlight::formats(const QString& text)
{
    QVector<QTextLayout::FormatRange> marks;
    if (!enabled || !dialog || text.isEmpty())
        return marks;
    QColor color;
    QString keyword;
    // Later rows come later, so where matches overlap the higher row's colour wins.
    for (int row = 0; row < KeyHighlightDialog::kRows; ++row) {
        if (!dialog->keyHighlightEntry(row, color, keyword) || keyword.isEmpty())
            continue;
        const QTextCharFormat& format = formatFor(row, color);
        rules.forEachMatch(
            row, keyword, text, [&](int pos, int len) { marks.append({ pos, len, format }); });
    }
    return marks;
}
