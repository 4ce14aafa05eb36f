#include "views/textbrowseraccessible.h"

#include "views/textbrowser.h"

#include <QTextBoundaryFinder>

namespace {

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TextBrowser") && object && object->isWidgetType())
        return new TextBrowserAccessible(static_cast<TextBrowser*>(object));
    return nullptr;
}

int clampOffset(qint64 offset) { return int(qMin<qint64>(offset, INT_MAX)); }

} // namespace

TextBrowserAccessible::TextBrowserAccessible(TextBrowser* view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

void TextBrowserAccessible::install()
{
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(factory);
    installed = true;
}

TextBrowser* TextBrowserAccessible::view() const { return static_cast<TextBrowser*>(widget()); }

void* TextBrowserAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextBrowserAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

QString TextBrowserAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return view()->toPlainText();
    return QAccessibleWidget::text(t);
}

void TextBrowserAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    *startOffset = clampOffset(view()->selectionStart());
    *endOffset = clampOffset(view()->selectionEnd());
}

int TextBrowserAccessible::selectionCount() const { return view()->hasSelection() ? 1 : 0; }

void TextBrowserAccessible::addSelection(int startOffset, int endOffset)
{
    view()->setSelection(startOffset, endOffset);
}

void TextBrowserAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->clearSelection();
}

void TextBrowserAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelection(startOffset, endOffset);
}

int TextBrowserAccessible::cursorPosition() const { return clampOffset(view()->cursorPosition()); }

void TextBrowserAccessible::setCursorPosition(int position)
{
    view()->setSelection(position, position);
}

QString TextBrowserAccessible::text(int startOffset, int endOffset) const
{
    return view()->text(startOffset, endOffset);
}

void TextBrowserAccessible::unitAt(
    int offset, QAccessible::TextBoundaryType type, int* start, int* end) const
{
    TextBrowser* v = view();
    const qint64 count = v->characterCount();
    if (type == QAccessible::NoBoundary || count == 0) {
        *start = 0;
        *end = clampOffset(count);
        return;
    }
    const qint64 line = v->lineAt(offset);
    const qint64 lineStart = v->lineStart(line);
    const qint64 lineEnd = qMin(count, v->store().lineEnd(line));
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary
        || type == QAccessible::SentenceBoundary) {
        *start = clampOffset(lineStart);
        *end = clampOffset(qMin(count, lineEnd + 1)); // with its line end
        return;
    }
    if (type == QAccessible::CharBoundary) {
        *start = offset;
        *end = qMin(clampOffset(count), offset + 1);
        return;
    }
    const QString text = v->text(lineStart, lineEnd);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    const int at = int(offset - lineStart);
    words.setPosition(qMin(at, text.size()));
    const int from = words.isAtBoundary() ? at : words.toPreviousBoundary();
    words.setPosition(qMin(at, text.size()));
    int to = words.toNextBoundary();
    if (to < 0)
        to = text.size() + (lineEnd < count ? 1 : 0);
    *start = clampOffset(lineStart + qMax(0, from));
    *end = clampOffset(lineStart + qMax(from, to));
}

QString TextBrowserAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    if (offset < 0 || offset > characterCount()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    unitAt(offset, boundaryType, startOffset, endOffset);
    return text(*startOffset, *endOffset);
}

QString TextBrowserAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    int start = 0, end = 0;
    unitAt(qMax(0, offset), boundaryType, &start, &end);
    if (start <= 0) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
}

QString TextBrowserAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    int start = 0, end = 0;
    unitAt(qMax(0, offset), boundaryType, &start, &end);
    if (end >= characterCount()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return textAtOffset(end, boundaryType, startOffset, endOffset);
}

int TextBrowserAccessible::characterCount() const { return clampOffset(view()->characterCount()); }

QRect TextBrowserAccessible::characterRect(int offset) const
{
    TextBrowser* v = view();
    const QRect at = v->positionRect(offset);
    if (at.isNull())
        return QRect(); // out of sight
    return QRect(v->viewport()->mapToGlobal(at.topLeft()), at.size());
}

int TextBrowserAccessible::offsetAtPoint(const QPoint& point) const
{
    TextBrowser* v = view();
    return clampOffset(v->positionAt(v->viewport()->mapFromGlobal(point)));
}

void TextBrowserAccessible::scrollToSubstring(int startIndex, int)
{
    view()->ensureVisible(startIndex);
}

QString TextBrowserAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}
