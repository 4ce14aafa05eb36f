#include "views/textbrowser.h"

#include <QColor>
#include <QContextMenuEvent>
#include <QFontDialog>
#include <QMenu>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QFont dialogFont(bool* ok, const QFont& initial)
{
    return QFontDialog::getFont(ok, initial, nullptr, QString(), {});
}

TextBrowser::FontChooser& fontChooser()
{
    static TextBrowser::FontChooser chooser = dialogFont;
    return chooser;
}

} // namespace

TextBrowser::TextBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    // Read-only and fed line by line: an undo stack would only grow.
    document()->setUndoRedoEnabled(false);
}

void TextBrowser::setFontChooser(FontChooser chooser)
{
    fontChooser() = chooser ? std::move(chooser) : FontChooser(dialogFont);
}

QMenu* TextBrowser::createContextMenu()
{
    auto* menu = new QMenu(this);
    const bool hasText = !document()->isEmpty();

    QAction* copyAction = menu->addAction(tr("复制(&C)"));
    copyAction->setShortcut(QKeySequence::Copy);
    connect(copyAction, &QAction::triggered, this, &QTextEdit::copy);
    copyAction->setEnabled(textCursor().hasSelection());

    QAction* pasteAction = menu->addAction(tr("粘贴(&P)"));
    pasteAction->setShortcut(QKeySequence::Paste);
    connect(pasteAction, &QAction::triggered, this, &QTextEdit::paste);

    menu->addSeparator();

    QAction* fontAction = menu->addAction(tr("字体"));
    fontAction->setShortcut(QKeySequence());
    connect(fontAction, &QAction::triggered, this, &TextBrowser::soltSelectFont);

    QAction* clearAction = menu->addAction(tr("清空"));
    clearAction->setShortcut(QKeySequence());
    connect(clearAction, &QAction::triggered, this, &QTextEdit::clear);
    clearAction->setEnabled(hasText);

    QAction* saveAction = menu->addAction(tr("保存数据"));
    saveAction->setShortcut(QKeySequence());
    connect(saveAction, &QAction::triggered, this, &TextBrowser::signalSaveLog);
    saveAction->setEnabled(hasText);

    menu->addSeparator();

    QAction* selectAllAction = menu->addAction(tr("全选"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    connect(selectAllAction, &QAction::triggered, this, &QTextEdit::selectAll);
    selectAllAction->setEnabled(hasText);

    return menu;
}

void TextBrowser::appendPlainText(const QString& text, const QVector<AnsiDecoder::Span>& spans)
{
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();

    QTextCursor tmp(document());
    tmp.beginEditBlock();
    tmp.movePosition(QTextCursor::End);
    // Plain text in the document's own format: the view's cursor follows the end and would carry
    // the last colour run into the next line.
    const QTextCharFormat plain;
    if (!document()->isEmpty())
        tmp.insertBlock(QTextBlockFormat(), plain);
    else
        tmp.setCharFormat(plain);
    int at = 0;
    for (const AnsiDecoder::Span& span : spans) {
        if (span.start > at)
            tmp.insertText(text.mid(at, span.start - at), plain);
        QTextCharFormat coloured = plain;
        const int fg = AnsiDecoder::foreground(span.format);
        const int bg = AnsiDecoder::background(span.format);
        if (fg >= 0)
            coloured.setForeground(QColor::fromRgb(AnsiDecoder::paletteColor(fg)));
        if (bg >= 0)
            coloured.setBackground(QColor::fromRgb(AnsiDecoder::paletteColor(bg)));
        if (AnsiDecoder::bold(span.format))
            coloured.setFontWeight(QFont::Bold);
        tmp.insertText(text.mid(span.start, span.length), coloured);
        at = span.start + span.length;
    }
    tmp.insertText(at == 0 ? text : text.mid(at), plain);
    tmp.endEditBlock();

    // Follow new lines only when the user had not scrolled away from the end.
    if (atBottom)
        bar->setValue(bar->maximum());
}

void TextBrowser::soltSelectFont()
{
    bool ok = false;
    const QFont chosen = fontChooser()(&ok, font());
    if (ok)
        setFont(chosen);
}

void TextBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}
