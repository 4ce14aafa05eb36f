#pragma once

#include "serial/core/ansidecoder.h"
#include "serial/core/linestore.h"
#include "views/core/findcore.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QHash>
#include <QTextLayout>

#include <functional>
#include <memory>

class QMenu;

// The receive area: a read-only view of a line store that lays out and paints only the lines on
// screen, so its cost follows the window's height, not the length of the session. Lines wrap at
// the view's width; the view scrolls in lines and follows the end while the user is there.
// Positions are those of the store's text (lines joined by '\n').
class TextBrowser : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Asks the user for a font; sets *ok to false when the choice was cancelled.
    using FontChooser = std::function<QFont(bool* ok, const QFont& initial)>;
    // Extra formats of a line (keyword marks), asked once per line while it is laid out.
    using LineFormatter = std::function<QVector<QTextLayout::FormatRange>(const QString& line)>;

    explicit TextBrowser(QWidget* parent = nullptr);
    ~TextBrowser() override;

    // Replaces the font dialog (tests answer it without a modal loop); null restores the dialog.
    static void setFontChooser(FontChooser chooser);

    // The right-click menu as it would be shown now; the caller owns it.
    QMenu* createContextMenu();

    // Shows another store (the window's record of the receive area) from its first line; null
    // goes back to the view's own. The view shows the lines it was told about, see showLines.
    void setStore(LineStore* store);
    LineStore& store() const { return *lines; }

    // Appends a line to the store and shows it; the text is never taken as markup.
    void appendPlainText(const QString& text, const QVector<AnsiDecoder::Span>& spans = {});
    // Text that continues the last line.
    void appendInline(const QString& text);
    // The store's next n lines are shown (they were appended to it meanwhile).
    void showLines(qint64 n);
    // The last shown line grew in the store.
    void lastLineChanged();

    qint64 lineCount() const { return shown; }
    qint64 characterCount() const;
    bool isEmpty() const { return characterCount() == 0; }
    QString toPlainText() const;
    // The shown text in the store's own pieces, for searching without a copy.
    TextFinder::Pieces textPieces() const;
    QString text(qint64 from, qint64 to) const;
    qint64 lineStart(qint64 line) const { return lines->lineStart(line); }
    qint64 lineAt(qint64 position) const { return lines->lineAt(position); }

    // Selection, in positions; anchor is where it began.
    bool hasSelection() const { return anchor != cursor; }
    qint64 selectionStart() const { return qMin(anchor, cursor); }
    qint64 selectionEnd() const { return qMax(anchor, cursor); }
    qint64 cursorPosition() const { return cursor; }
    QString selectedText() const;
    void setSelection(qint64 anchor, qint64 position);
    void clearSelection();

    // Scrolling: the first line at the top, whether the view follows the end.
    qint64 firstVisibleLine() const;
    qint64 lastVisibleLine() const;
    bool followsEnd() const { return follow; }
    void ensureVisible(qint64 position);
    void scrollToEnd();
    // Where a point of the viewport falls in the text, and where a position is drawn (an empty
    // rectangle when it is out of sight).
    qint64 positionAt(const QPoint& point) const;
    QRect positionRect(qint64 position) const;

    // Marks of the find bar: every match in sight in one colour, the current one as selected.
    struct Mark {
        qint64 start;
        int length;
    };
    void setMarks(const QVector<Mark>& marks);
    const QVector<Mark>& markList() const { return marks; }

    void setLineFormatter(LineFormatter formatter);
    // The formats a line is drawn with (colours and marks), as cached for the lines in sight.
    QVector<QTextLayout::FormatRange> lineFormats(qint64 line);

signals:
    void signalSaveLog();
    void selectionChanged();
    // Lines were shown or changed, or the view was cleared.
    void contentsChanged();

public slots:
    void soltSelectFont();
    void copy();
    void paste();
    void clear();
    void selectAll();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Placed {
        qint64 line;
        int y;
        QTextLayout* layout;
    };
    enum class Unit { Character, Word, Line };

    QTextLayout* layoutOf(qint64 line);
    int heightOf(qint64 line);
    int textWidth() const;
    // The lines in sight and where they go, from the top line down or, at the end, from the
    // last line up.
    QVector<Placed> placeLines();
    void updateScrollBar();
    // Whether the view is drawn from its last line up.
    bool atBottom() const;
    int rowHeight() const;
    // Scrolls by pixels, through tall lines too; past the end the view follows again.
    void scrollPixels(int dy);
    void forgetLayouts();
    void contentsGrew();
    void setCursorTo(qint64 position, bool keepAnchor);
    qint64 unitStart(qint64 position, Unit unit) const;
    qint64 unitEnd(qint64 position, Unit unit) const;
    void notifySelection(qint64 oldAnchor, qint64 oldCursor);

    LineStore own;
    LineStore* lines = &own;
    qint64 shown = 0;
    qint64 top = 0; // the first line in sight while the view does not follow the end
    int topOffset = 0; // pixels of the top line scrolled out of sight
    bool follow = true;
    bool settingBar = false;

    qint64 anchor = 0;
    qint64 cursor = 0;
    Unit dragUnit = Unit::Character;
    qint64 dragOrigin = 0; // the unit a double or triple click took, where drags extend from
    qint64 dragOriginEnd = 0;
    bool dragging = false;
    qint64 lastDoubleClick = -1; // ms, for the third click
    QPoint doubleClickAt;

    QVector<Mark> marks;
    LineFormatter formatter;
    // Laid-out lines in sight, with the formats they were laid out with; dropped when they go
    // out of sight, at a clear, and when the width or the font changes.
    QHash<qint64, std::shared_ptr<QTextLayout>> layouts;
    int layoutWidth = -1;
};
