#include "views/textbrowser.h"

#include "views/textbrowseraccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>
#include <QtMath>

namespace {

// Room between the text and the view's frame, as a text document leaves it.
constexpr int margin = 4;

QFont dialogFont(bool* ok, const QFont& initial)
{
    return QFontDialog::getFont(ok, initial, nullptr, QString(), {});
}

TextBrowser::FontChooser& fontChooser()
{
    static TextBrowser::FontChooser chooser = dialogFont;
    return chooser;
}

// Control characters other than the tab are drawn as their pictures (a CR as nothing), in
// the same places, so that positions stay those of the text.
QString drawnText(const QString& text)
{
    QString out = text;
    QChar* c = nullptr;
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u >= 0x20 || u == '\t')
            continue;
        if (!c)
            c = out.data();
        c[i] = u == '\r' ? QChar(0x200B) : QChar(0x2400 + u);
    }
    return out;
}

bool isWordCharacter(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

QTextCharFormat colourFormat(quint32 format)
{
    QTextCharFormat coloured;
    const int fg = AnsiDecoder::foreground(format);
    const int bg = AnsiDecoder::background(format);
    if (fg >= 0)
        coloured.setForeground(QColor::fromRgb(AnsiDecoder::paletteColor(fg)));
    if (bg >= 0)
        coloured.setBackground(QColor::fromRgb(AnsiDecoder::paletteColor(bg)));
    if (AnsiDecoder::bold(format))
        coloured.setFontWeight(QFont::Bold);
    return coloured;
}

} // namespace

TextBrowser::TextBrowser(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    TextBrowserAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBar();
}

TextBrowser::~TextBrowser() = default;

void TextBrowser::setFontChooser(FontChooser chooser)
{
    fontChooser() = chooser ? std::move(chooser) : FontChooser(dialogFont);
}

QMenu* TextBrowser::createContextMenu()
{
    auto* menu = new QMenu(this);
    const bool hasText = !isEmpty();

    QAction* copyAction = menu->addAction(tr("复制(&C)"));
    copyAction->setShortcut(QKeySequence::Copy);
    connect(copyAction, &QAction::triggered, this, &TextBrowser::copy);
    copyAction->setEnabled(hasSelection());

    QAction* pasteAction = menu->addAction(tr("粘贴(&P)"));
    pasteAction->setShortcut(QKeySequence::Paste);
    connect(pasteAction, &QAction::triggered, this, &TextBrowser::paste);

    menu->addSeparator();

    QAction* fontAction = menu->addAction(tr("字体"));
    fontAction->setShortcut(QKeySequence());
    connect(fontAction, &QAction::triggered, this, &TextBrowser::soltSelectFont);

    QAction* clearAction = menu->addAction(tr("清空"));
    clearAction->setShortcut(QKeySequence());
    connect(clearAction, &QAction::triggered, this, &TextBrowser::clear);
    clearAction->setEnabled(hasText);

    QAction* saveAction = menu->addAction(tr("保存数据"));
    saveAction->setShortcut(QKeySequence());
    connect(saveAction, &QAction::triggered, this, &TextBrowser::signalSaveLog);
    saveAction->setEnabled(hasText);

    menu->addSeparator();

    QAction* selectAllAction = menu->addAction(tr("全选"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    connect(selectAllAction, &QAction::triggered, this, &TextBrowser::selectAll);
    selectAllAction->setEnabled(hasText);

    return menu;
}

void TextBrowser::setStore(LineStore* store)
{
    clearSelection();
    lines = store ? store : &own;
    shown = 0;
    top = 0;
    topOffset = 0;
    follow = true;
    marks.clear();
    forgetLayouts();
    updateScrollBar();
    viewport()->update();
    emit contentsChanged();
}

void TextBrowser::appendPlainText(const QString& text, const QVector<AnsiDecoder::Span>& spans)
{
    // One line per line end, like a text document's append.
    int start = 0;
    int next = 0;
    qint64 added = 0;
    while (true) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        QVector<LineStore::Span> runs;
        for (; next < spans.size() && spans.at(next).start < end; ++next) {
            const AnsiDecoder::Span& span = spans.at(next);
            const int from = qMax(span.start, start);
            const int to = qMin(span.start + span.length, end);
            if (to > from)
                runs.append({ 0, from - start, to - from, span.format });
            if (span.start + span.length > end)
                break;
        }
        lines->append(text.mid(start, end - start), LineStore::Received, runs);
        ++added;
        if (end == text.size())
            break;
        start = end + 1;
    }
    showLines(added);
}

void TextBrowser::appendInline(const QString& text)
{
    const bool empty = lines->isEmpty();
    lines->appendInline(text);
    if (empty)
        showLines(1);
    else
        lastLineChanged();
}

void TextBrowser::showLines(qint64 n)
{
    const qint64 before = shown;
    shown = qBound<qint64>(0, shown + n, lines->lines());
    if (shown == before)
        return;
    contentsGrew();
    if (QAccessible::isActive()) {
        const qint64 from = before == 0 ? 0 : lines->lineEnd(before - 1);
        QAccessibleTextInsertEvent event(
            this, int(qMin<qint64>(from, INT_MAX)), lines->text(from, lines->lineEnd(shown - 1)));
        QAccessible::updateAccessibility(&event);
    }
}

void TextBrowser::lastLineChanged()
{
    if (shown == 0)
        return;
    layouts.remove(shown - 1);
    contentsGrew();
}

void TextBrowser::contentsGrew()
{
    updateScrollBar();
    viewport()->update();
    emit contentsChanged();
}

qint64 TextBrowser::characterCount() const { return shown == 0 ? 0 : lines->lineEnd(shown - 1); }

QString TextBrowser::toPlainText() const { return lines->text(0, characterCount()); }

TextFinder::Pieces TextBrowser::textPieces() const
{
    TextFinder::Pieces pieces;
    const qint64 end = characterCount();
    for (int c = 0; c < lines->chunkCount() && lines->chunkStart(c) < end; ++c) {
        const QString& text = lines->chunkText(c);
        pieces.append({ &text, int(qMin<qint64>(text.size(), end - lines->chunkStart(c))),
            lines->chunkStart(c) });
    }
    return pieces;
}

QString TextBrowser::text(qint64 from, qint64 to) const
{
    return lines->text(qMax<qint64>(0, from), qMin(to, characterCount()));
}

QString TextBrowser::selectedText() const { return text(selectionStart(), selectionEnd()); }

void TextBrowser::setSelection(qint64 newAnchor, qint64 position)
{
    const qint64 end = characterCount();
    const qint64 oldAnchor = anchor;
    const qint64 oldCursor = cursor;
    anchor = qBound<qint64>(0, newAnchor, end);
    cursor = qBound<qint64>(0, position, end);
    notifySelection(oldAnchor, oldCursor);
}

void TextBrowser::clearSelection() { setSelection(cursor, cursor); }

void TextBrowser::notifySelection(qint64 oldAnchor, qint64 oldCursor)
{
    if (oldAnchor == anchor && oldCursor == cursor)
        return;
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(this, int(qMin<qint64>(selectionStart(), INT_MAX)),
            int(qMin<qint64>(selectionEnd(), INT_MAX)));
        event.setCursorPosition(int(qMin<qint64>(cursor, INT_MAX)));
        QAccessible::updateAccessibility(&event);
    }
    // A click that leaves no selection after none was there changes nothing a listener sees.
    if (oldAnchor != oldCursor || anchor != cursor)
        emit selectionChanged();
}

void TextBrowser::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

// The view is read-only: nothing is pasted.
void TextBrowser::paste() { }

void TextBrowser::clear()
{
    lines->take(); // the chunks go in one piece each
    shown = 0;
    top = 0;
    topOffset = 0;
    follow = true;
    const bool hadSelection = hasSelection();
    anchor = cursor = 0;
    dragging = false;
    marks.clear();
    forgetLayouts();
    updateScrollBar();
    viewport()->update();
    if (hadSelection)
        emit selectionChanged();
    if (QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(this, 0, QString());
        QAccessible::updateAccessibility(&event);
    }
    emit contentsChanged();
}

void TextBrowser::selectAll() { setSelection(0, characterCount()); }

void TextBrowser::setMarks(const QVector<Mark>& newMarks)
{
    marks = newMarks;
    viewport()->update();
}

void TextBrowser::setLineFormatter(LineFormatter newFormatter)
{
    formatter = std::move(newFormatter);
    forgetLayouts();
    viewport()->update();
}

QVector<QTextLayout::FormatRange> TextBrowser::lineFormats(qint64 line)
{
    if (line < 0 || line >= shown)
        return {};
    return layoutOf(line)->formats();
}

int TextBrowser::textWidth() const { return qMax(1, viewport()->width() - 2 * margin); }

QTextLayout* TextBrowser::layoutOf(qint64 line)
{
    if (layoutWidth != textWidth())
        forgetLayouts();
    auto it = layouts.constFind(line);
    if (it != layouts.constEnd())
        return it->get();
    const QString text = lines->line(line);
    auto layout = std::make_shared<QTextLayout>(drawnText(text), font(), viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    QVector<QTextLayout::FormatRange> formats;
    for (const LineStore::Span& span : lines->spans(line))
        formats.append({ span.start, span.length, colourFormat(span.format) });
    if (formatter)
        formats += formatter(text);
    layout->setFormats(formats);
    layout->beginLayout();
    qreal y = 0;
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLineWidth(layoutWidth);
        row.setPosition(QPointF(0, y));
        y += row.height();
    }
    layout->endLayout();
    layouts.insert(line, layout);
    return layout.get();
}

int TextBrowser::heightOf(qint64 line) { return qCeil(layoutOf(line)->boundingRect().height()); }

void TextBrowser::forgetLayouts()
{
    layouts.clear();
    layoutWidth = textWidth();
}

QVector<TextBrowser::Placed> TextBrowser::placeLines()
{
    QVector<Placed> placed;
    const int height = viewport()->height() - margin;
    if (shown == 0)
        return placed;
    if (atBottom()) {
        // At the end the last line sits at the bottom, and the lines above fill the rest.
        int y = height;
        for (qint64 i = shown - 1; i >= 0 && y > margin; --i) {
            y -= heightOf(i);
            placed.prepend({ i, y, layoutOf(i) });
        }
        if (y > margin) { // fewer lines than the view holds: they start at the top
            for (Placed& p : placed)
                p.y -= y - margin;
        }
    } else {
        int y = margin - topOffset;
        for (qint64 i = top; i < shown && y < height; ++i) {
            placed.append({ i, y, layoutOf(i) });
            y += heightOf(i);
        }
    }
    return placed;
}

void TextBrowser::updateScrollBar()
{
    QScrollBar* bar = verticalScrollBar();
    // The top line at the end: as many of the last lines as fill the view stay in sight.
    qint64 endTop = shown;
    int y = viewport()->height() - 2 * margin;
    while (endTop > 0 && y > 0) {
        --endTop;
        y -= heightOf(endTop);
    }
    if (y < 0 && endTop < shown - 1)
        ++endTop; // the first line is cut: scrolling up one line shows it whole
    const int maximum = int(qMin<qint64>(endTop, INT_MAX));
    settingBar = true;
    bar->setRange(0, maximum);
    bar->setPageStep(qMax<int>(1, int(shown - endTop)));
    if (follow)
        bar->setValue(maximum);
    else
        bar->setValue(int(qMin<qint64>(top, maximum)));
    settingBar = false;
}

bool TextBrowser::atBottom() const
{
    return follow || (top >= verticalScrollBar()->maximum() && topOffset == 0);
}

int TextBrowser::rowHeight() const { return QFontMetrics(font()).lineSpacing(); }

void TextBrowser::scrollPixels(int dy)
{
    if (shown == 0 || dy == 0)
        return;
    if (atBottom()) {
        if (dy > 0)
            return; // at the end already
        const QVector<Placed> placed = placeLines();
        top = placed.first().line;
        topOffset = qMax(0, margin - placed.first().y);
        follow = false;
    }
    // Rows, not lines: a line taller than the view is read a few rows at a time.
    topOffset += dy;
    while (topOffset < 0 && top > 0)
        topOffset += heightOf(--top);
    topOffset = qMax(0, topOffset);
    while (top < shown - 1 && topOffset >= heightOf(top))
        topOffset -= heightOf(top++);
    const int room = viewport()->height() - 2 * margin;
    int below = -topOffset;
    for (qint64 i = top; i < shown && below <= room; ++i)
        below += heightOf(i);
    if (below <= room) { // the end is in sight: follow it again
        scrollToEnd();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    settingBar = true;
    bar->setValue(int(qMin<qint64>(top, bar->maximum())));
    settingBar = false;
    viewport()->update();
}

void TextBrowser::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const int dy = !pixels.isNull()
        ? -pixels.y()
        : -event->angleDelta().y() * QApplication::wheelScrollLines() * rowHeight() / 120;
    scrollPixels(dy);
    event->accept();
}

void TextBrowser::scrollContentsBy(int, int)
{
    if (settingBar)
        return;
    QScrollBar* bar = verticalScrollBar();
    topOffset = 0;
    top = bar->value();
    follow = bar->value() >= bar->maximum();
    viewport()->update();
}

qint64 TextBrowser::firstVisibleLine() const
{
    auto* self = const_cast<TextBrowser*>(this);
    const QVector<Placed> placed = self->placeLines();
    for (const Placed& p : placed)
        if (p.y >= 0 || &p == &placed.last())
            return p.line;
    return 0;
}

// -1 when the view is empty.
qint64 TextBrowser::lastVisibleLine() const
{
    const QVector<Placed> placed = const_cast<TextBrowser*>(this)->placeLines();
    return placed.isEmpty() ? -1 : placed.last().line;
}

void TextBrowser::ensureVisible(qint64 position)
{
    if (shown == 0)
        return;
    const qint64 line = lines->lineAt(qBound<qint64>(0, position, characterCount()));
    const QVector<Placed> placed = placeLines();
    const int height = viewport()->height();
    for (const Placed& p : placed) {
        if (p.line == line && p.y >= 0 && p.y + heightOf(line) <= height)
            return; // in sight already: a view at the end goes on following it
    }
    // A few lines of context above the line when there is room for them.
    const qint64 context = qMin<qint64>(3, qMax<qint64>(0, verticalScrollBar()->pageStep() / 3));
    top = qMax<qint64>(0, line - context);
    topOffset = 0;
    follow = false;
    updateScrollBar();
    viewport()->update();
}

void TextBrowser::scrollToEnd()
{
    follow = true;
    topOffset = 0;
    updateScrollBar();
    viewport()->update();
}

qint64 TextBrowser::positionAt(const QPoint& point) const
{
    auto* self = const_cast<TextBrowser*>(this);
    const QVector<Placed> placed = self->placeLines();
    if (placed.isEmpty())
        return 0;
    if (point.y() < placed.first().y)
        return lines->lineStart(placed.first().line);
    for (const Placed& p : placed) {
        const int h = self->heightOf(p.line);
        if (point.y() >= p.y + h && &p != &placed.last())
            continue;
        const qreal y = qMin<qreal>(point.y() - p.y, h - 1);
        for (int r = 0; r < p.layout->lineCount(); ++r) {
            const QTextLine row = p.layout->lineAt(r);
            if (y < row.y() + row.height() || r == p.layout->lineCount() - 1) {
                const int column = row.xToCursor(point.x() - margin);
                return lines->lineStart(p.line) + column;
            }
        }
    }
    return characterCount();
}

QRect TextBrowser::positionRect(qint64 position) const
{
    auto* self = const_cast<TextBrowser*>(this);
    const qint64 line = lines->lineAt(position);
    for (const Placed& p : self->placeLines()) {
        if (p.line != line)
            continue;
        const int column = int(position - lines->lineStart(line));
        const QTextLine row = p.layout->lineForTextPosition(column);
        if (!row.isValid())
            return QRect();
        const int x = qRound(row.cursorToX(column));
        return QRect(margin + x, p.y + qRound(row.y()), 1, qCeil(row.height()));
    }
    return QRect();
}

qint64 TextBrowser::unitStart(qint64 position, Unit unit) const
{
    if (shown == 0)
        return 0;
    const qint64 line = lines->lineAt(position);
    const qint64 start = lines->lineStart(line);
    if (unit == Unit::Line)
        return start;
    if (unit == Unit::Character)
        return position;
    const QString text = lines->line(line);
    int at = int(position - start);
    if (at < text.size() && !isWordCharacter(text.at(at)))
        return position;
    while (at > 0 && isWordCharacter(text.at(at - 1)))
        --at;
    return start + at;
}

qint64 TextBrowser::unitEnd(qint64 position, Unit unit) const
{
    if (shown == 0)
        return 0;
    const qint64 line = lines->lineAt(position);
    const qint64 start = lines->lineStart(line);
    if (unit == Unit::Line) // with its line end, as a triple click takes a paragraph
        return qMin(lines->lineEnd(line) + 1, characterCount());
    if (unit == Unit::Character)
        return position;
    const QString text = lines->line(line);
    int at = int(position - start);
    if (at < text.size() && !isWordCharacter(text.at(at)))
        return position + 1;
    while (at < text.size() && isWordCharacter(text.at(at)))
        ++at;
    return start + at;
}

void TextBrowser::setCursorTo(qint64 position, bool keepAnchor)
{
    const qint64 oldAnchor = anchor;
    const qint64 oldCursor = cursor;
    position = qBound<qint64>(0, position, characterCount());
    if (!keepAnchor || dragUnit == Unit::Character) {
        cursor = position;
        if (!keepAnchor)
            anchor = position;
    } else if (position < dragOrigin) {
        anchor = dragOriginEnd;
        cursor = unitStart(position, dragUnit);
    } else {
        anchor = dragOrigin;
        cursor = unitEnd(position, dragUnit);
    }
    notifySelection(oldAnchor, oldCursor);
}

void TextBrowser::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const qint64 position = positionAt(event->pos());
    const bool third = lastDoubleClick >= 0
        && QDateTime::currentMSecsSinceEpoch() - lastDoubleClick
            < QGuiApplication::styleHints()->mouseDoubleClickInterval()
        && (event->pos() - doubleClickAt).manhattanLength() < QApplication::startDragDistance() * 2;
    lastDoubleClick = -1;
    dragging = true;
    if (third) {
        dragUnit = Unit::Line;
        dragOrigin = unitStart(position, Unit::Line);
        dragOriginEnd = unitEnd(position, Unit::Line);
        setSelection(dragOrigin, dragOriginEnd);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        dragUnit = Unit::Character;
        setCursorTo(position, true);
    } else {
        dragUnit = Unit::Character;
        setCursorTo(position, false);
    }
    event->accept();
}

void TextBrowser::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const qint64 position = positionAt(event->pos());
    dragUnit = Unit::Word;
    dragOrigin = unitStart(position, Unit::Word);
    dragOriginEnd = unitEnd(position, Unit::Word);
    dragging = true;
    lastDoubleClick = QDateTime::currentMSecsSinceEpoch();
    doubleClickAt = event->pos();
    setSelection(dragOrigin, dragOriginEnd);
    event->accept();
}

void TextBrowser::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // Dragging past the top or the bottom scrolls a line at a time.
    if (event->pos().y() < 0)
        scrollPixels(-rowHeight());
    else if (event->pos().y() > viewport()->height())
        scrollPixels(rowHeight());
    setCursorTo(positionAt(event->pos()), true);
    event->accept();
}

void TextBrowser::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    event->accept();
}

void TextBrowser::keyPressEvent(QKeyEvent* event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        // A page less one row, so the row at the edge stays in sight.
        const int page = qMax(rowHeight(), viewport()->height() - 2 * margin - rowHeight());
        scrollPixels(event->key() == Qt::Key_PageUp ? -page : page);
    } else if (event->key() == Qt::Key_Up) {
        scrollPixels(-rowHeight());
    } else if (event->key() == Qt::Key_Down) {
        scrollPixels(rowHeight());
    } else if (event->key() == Qt::Key_Home && control) {
        top = 0;
        topOffset = 0;
        follow = shown == 0;
        updateScrollBar();
        viewport()->update();
    } else if (event->key() == Qt::Key_End && control) {
        scrollToEnd();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TextBrowser::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QVector<Placed> placed = placeLines();
    const qint64 selStart = selectionStart();
    const qint64 selEnd = selectionEnd();
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    QTextCharFormat marked;
    marked.setBackground(QColor(0xFF, 0xEF, 0x9F));
    painter.setPen(palette().color(QPalette::Text));
    for (const Placed& p : placed) {
        const qint64 start = lines->lineStart(p.line);
        const qint64 end = start + lines->lineLength(p.line);
        QVector<QTextLayout::FormatRange> over;
        for (const Mark& mark : marks) {
            if (mark.start + mark.length > start && mark.start < end) {
                const qint64 from = qMax(mark.start, start);
                const qint64 to = qMin(mark.start + mark.length, end);
                over.append({ int(from - start), int(to - from), marked });
            }
        }
        if (selEnd > start && selStart <= end && selEnd > selStart) {
            const qint64 from = qMax(selStart, start);
            const qint64 to = qMin(selEnd, end);
            if (to > from)
                over.append({ int(from - start), int(to - from), selected });
        }
        p.layout->draw(&painter, QPointF(margin, p.y), over);
    }
    // Only the lines in sight (and those that fill the view at the end) keep their layout.
    if (layouts.size() > 2 * placed.size() + 256) {
        QHash<qint64, std::shared_ptr<QTextLayout>> kept;
        for (const Placed& p : placed)
            kept.insert(p.line, layouts.value(p.line));
        for (qint64 i = qMax<qint64>(0, shown - placed.size() - 1); i < shown; ++i)
            if (layouts.contains(i))
                kept.insert(i, layouts.value(i));
        layouts.swap(kept);
    }
}

void TextBrowser::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (layoutWidth != textWidth())
        forgetLayouts();
    updateScrollBar();
}

void TextBrowser::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        forgetLayouts();
        updateScrollBar();
        viewport()->update();
    }
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
