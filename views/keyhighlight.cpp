#include "views/keyhighlight.h"

#include "views/keyhighlightdialog.h"

KeyHighlight::KeyHighlight(QTextDocument* document, KeyHighlightDialog* dialog)
    : QSyntaxHighlighter(document)
    , dialog(dialog)
{
}

void KeyHighlight::setHighlightEnabled(bool on) { enabled = on; }

bool KeyHighlight::isHighlightEnabled() const { return enabled; }

void KeyHighlight::highlightBlock(const QString& text) { Q_UNUSED(text) }
