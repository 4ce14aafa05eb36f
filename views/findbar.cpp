#include "views/findbar.h"

#include "views/textbrowser.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

namespace {

// Counting runs over the whole view: while lines arrive, at most this often.
constexpr int recountIntervalMs = 200;
// A view of very long lines full of matches would otherwise mark thousands of spans.
constexpr int maxHighlights = 2000;

} // namespace

FindBar::FindBar(TextBrowser* view_, QWidget* parent)
    : QWidget(parent)
    , view(view_)
{
    setObjectName(QStringLiteral("findBarWidget"));

    findLineEdit = new QLineEdit(this);
    findLineEdit->setObjectName(QStringLiteral("findLineEdit"));
    findLineEdit->setPlaceholderText(tr("查找"));
    findLineEdit->setClearButtonEnabled(true);
    findLineEdit->installEventFilter(this);

    findPreviousButton = new QPushButton(tr("上一个"), this);
    findPreviousButton->setObjectName(QStringLiteral("findPreviousButton"));
    findNextButton = new QPushButton(tr("下一个"), this);
    findNextButton->setObjectName(QStringLiteral("findNextButton"));
    findCaseCheckBox = new QCheckBox(tr("区分大小写"), this);
    findCaseCheckBox->setObjectName(QStringLiteral("findCaseCheckBox"));
    findCountLabel = new QLabel(this);
    findCountLabel->setObjectName(QStringLiteral("findCountLabel"));
    findCloseButton = new QToolButton(this);
    findCloseButton->setObjectName(QStringLiteral("findCloseButton"));
    findCloseButton->setText(tr("关闭"));
    findCloseButton->setToolTip(tr("关闭"));
    findCloseButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    findCloseButton->setAutoRaise(true);

    // Clicking a button must leave the typing in the line edit.
    for (QWidget* w :
        { static_cast<QWidget*>(findPreviousButton), static_cast<QWidget*>(findNextButton),
            static_cast<QWidget*>(findCaseCheckBox), static_cast<QWidget*>(findCloseButton) })
        w->setFocusPolicy(Qt::TabFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(findLineEdit, 1);
    layout->addWidget(findPreviousButton);
    layout->addWidget(findNextButton);
    layout->addWidget(findCaseCheckBox);
    layout->addWidget(findCountLabel);
    layout->addWidget(findCloseButton);

    action = new QAction(tr("查找(F)"), this);
    action->setObjectName(QStringLiteral("actionFind"));
    action->setToolTip(tr("查找"));
    action->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));

    recountTimer = new QTimer(this);
    recountTimer->setSingleShot(true);
    recountTimer->setInterval(recountIntervalMs);

    connect(action, &QAction::triggered, this, &FindBar::slotOpen);
    connect(findLineEdit, &QLineEdit::textChanged, this, &FindBar::slotTermChanged);
    connect(findCaseCheckBox, &QCheckBox::toggled, this, &FindBar::slotTermChanged);
    connect(findNextButton, &QPushButton::clicked, this, &FindBar::slotFindNext);
    connect(findPreviousButton, &QPushButton::clicked, this, &FindBar::slotFindPrevious);
    connect(findCloseButton, &QToolButton::clicked, this, &FindBar::slotClose);
    connect(recountTimer, &QTimer::timeout, this, &FindBar::slotRecount);
    if (view) {
        view->installEventFilter(this);
        watchDocument();
        connect(view, &QTextEdit::selectionChanged, this, [this] {
            if (!selecting)
                scheduleRecount();
        });
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &FindBar::slotUpdateHighlights);
    }

    updateCountLabel();
    hide();
}

FindBar* FindBar::attach(TextBrowser* view, QGridLayout* layout, QMenu* menu)
{
    auto* bar = new FindBar(view, layout->parentWidget());
    layout->addWidget(bar, layout->rowCount(), 0, 1, qMax(1, layout->columnCount()));
    menu->addAction(bar->findAction());
    return bar;
}

void FindBar::slotOpen()
{
    if (!view)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (focus && !isAncestorOf(focus))
        returnFocus = focus;
    else if (isHidden())
        returnFocus = view.data();
    if (isHidden()) {
        const QScrollBar* scroll = view->verticalScrollBar();
        followedEnd = scroll->value() >= scroll->maximum();
        show();
        // The view gives up the bar's height now, not at the next layout pass, so that a view
        // at its end stays there and the search starts from what will be in sight.
        if (parentWidget() && parentWidget()->layout())
            parentWidget()->layout()->activate();
        if (followedEnd)
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        slotRecount();
    }
    findLineEdit->setFocus(Qt::ShortcutFocusReason);
    findLineEdit->selectAll();
}

void FindBar::slotClose()
{
    if (isHidden())
        return;
    recountTimer->stop();
    hide();
    if (view) {
        view->setExtraSelections({});
        // Back to following new lines if that is what the view did before the search.
        if (followedEnd)
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    }
    if (returnFocus)
        returnFocus->setFocus(Qt::OtherFocusReason);
}

void FindBar::slotFindNext()
{
    if (!view || findLineEdit->text().isEmpty())
        return;
    const QTextCursor cursor = view->textCursor();
    const int from = cursor.hasSelection() ? cursor.selectionEnd() : searchStart();
    showMatch(finder().next(viewText(), from));
}

void FindBar::slotFindPrevious()
{
    if (!view || findLineEdit->text().isEmpty())
        return;
    const QTextCursor cursor = view->textCursor();
    const int before = cursor.hasSelection() ? cursor.selectionStart() : searchStart();
    showMatch(finder().previous(viewText(), before));
}

void FindBar::slotTermChanged()
{
    if (!view)
        return;
    if (findLineEdit->text().isEmpty()) {
        showMatch(TextFinder::Match());
        return;
    }
    // Incremental: a longer or shorter term keeps to the match being looked at when it can.
    showMatch(finder().next(viewText(), searchStart()));
}

void FindBar::watchDocument()
{
    disconnect(documentWatch);
    documentWatch = connect(
        view->document(), &QTextDocument::contentsChange, this, &FindBar::slotDocumentChanged);
}

void FindBar::slotDocumentChanged() { scheduleRecount(); }

void FindBar::slotRecount()
{
    if (!view || isHidden())
        return;
    const TextFinder find = finder();
    if (find.length() == 0) {
        count = current = 0;
    } else if (matchIsSelected()) {
        const TextFinder::Match match = find.at(viewText(), shownStart);
        count = match.count;
        current = match.index + 1;
    } else {
        count = find.count(viewText());
        current = 0;
    }
    updateCountLabel();
    slotUpdateHighlights();
}

void FindBar::slotUpdateHighlights()
{
    if (!view)
        return;
    const TextFinder find = finder();
    if (isHidden() || find.length() == 0) {
        if (!view->extraSelections().isEmpty())
            view->setExtraSelections({});
        return;
    }

    const QRect area = view->viewport()->rect();
    QTextBlock block = view->cursorForPosition(area.topLeft()).block();
    const QTextBlock last = view->cursorForPosition(area.bottomRight()).block();
    const bool skipShown = matchIsSelected();

    QTextCharFormat format;
    format.setBackground(QColor(0xFF, 0xEF, 0x9F));
    QList<QTextEdit::ExtraSelection> marks;
    while (block.isValid() && marks.size() < maxHighlights) {
        const QVector<int> found
            = find.positions(block.text(), 0, -1, maxHighlights - marks.size());
        for (int offset : found) {
            const int start = block.position() + offset;
            if (skipShown && start == shownStart)
                continue;
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(view->document());
            mark.cursor.setPosition(start);
            mark.cursor.setPosition(start + find.length(), QTextCursor::KeepAnchor);
            mark.format = format;
            marks.append(mark);
        }
        if (block == last)
            break;
        block = block.next();
    }
    view->setExtraSelections(marks);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == findLineEdit) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                slotFindPrevious();
            else
                slotFindNext();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            slotClose();
            return true;
        }
    } else if (watched == view && key->key() == Qt::Key_Escape && isVisible()) {
        slotClose();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    // Escape on a button or the check box of the bar.
    if (event->key() == Qt::Key_Escape) {
        slotClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString FindBar::viewText() const
{
    // The raw text skips toPlainText's extra pass; it has the same positions as the document.
    return view->document()->toRawText();
}

TextFinder FindBar::finder() const
{
    return TextFinder(findLineEdit->text(),
        findCaseCheckBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

int FindBar::searchStart() const
{
    const QTextCursor cursor = view->textCursor();
    if (cursor.hasSelection())
        return cursor.selectionStart();
    // The view's own cursor trails the appended lines: start from what the user is looking at.
    return view->cursorForPosition(QPoint(0, 0)).block().position();
}

bool FindBar::matchIsSelected() const
{
    if (!view || shownStart < 0)
        return false;
    const QTextCursor cursor = view->textCursor();
    return cursor.hasSelection() && cursor.selectionStart() == shownStart
        && cursor.selectionEnd() == shownStart + shownLength;
}

void FindBar::showMatch(const TextFinder::Match& match)
{
    QTextCursor cursor = view->textCursor();
    if (match.position >= 0) {
        cursor.setPosition(match.position);
        cursor.setPosition(match.position + findLineEdit->text().size(), QTextCursor::KeepAnchor);
        // Lines appended right after a match at the very end must not join the selection.
        cursor.setKeepPositionOnInsert(true);
        shownStart = match.position;
        shownLength = findLineEdit->text().size();
    } else {
        if (matchIsSelected())
            cursor.clearSelection();
        shownStart = -1;
        shownLength = 0;
    }
    selecting = true;
    view->setTextCursor(cursor);
    selecting = false;
    if (match.position >= 0)
        view->ensureCursorVisible();

    count = match.count;
    current = match.index + 1;
    updateCountLabel();
    slotUpdateHighlights();
}

void FindBar::updateCountLabel() { findCountLabel->setText(tr("%1/%2").arg(current).arg(count)); }

void FindBar::scheduleRecount()
{
    if (isVisible() && !recountTimer->isActive())
        recountTimer->start();
}
