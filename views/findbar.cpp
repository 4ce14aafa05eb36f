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
        connect(view, &TextBrowser::contentsChanged, this, &FindBar::slotDocumentChanged);
        connect(view, &TextBrowser::selectionChanged, this, [this] {
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
        followedEnd = view->followsEnd();
        show();
        // The view gives up the bar's height now, not at the next layout pass, so that a view
        // at its end stays there and the search starts from what will be in sight.
        if (parentWidget() && parentWidget()->layout())
            parentWidget()->layout()->activate();
        if (followedEnd)
            view->scrollToEnd();
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
        view->setMarks({});
        // Back to following new lines if that is what the view did before the search.
        if (followedEnd)
            view->scrollToEnd();
    }
    if (returnFocus)
        returnFocus->setFocus(Qt::OtherFocusReason);
}

void FindBar::slotFindNext()
{
    if (!view || findLineEdit->text().isEmpty())
        return;
    const int from = view->hasSelection() ? int(view->selectionEnd()) : searchStart();
    showMatch(finder().next(view->textPieces(), from));
}

void FindBar::slotFindPrevious()
{
    if (!view || findLineEdit->text().isEmpty())
        return;
    const int before = view->hasSelection() ? int(view->selectionStart()) : searchStart();
    showMatch(finder().previous(view->textPieces(), before));
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
    showMatch(finder().next(view->textPieces(), searchStart()));
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
        const TextFinder::Match match = find.at(view->textPieces(), shownStart);
        count = match.count;
        current = match.index + 1;
    } else {
        count = find.count(view->textPieces());
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
        view->setMarks({});
        return;
    }

    const bool skipShown = matchIsSelected();
    QVector<TextBrowser::Mark> marks;
    const qint64 last = view->lastVisibleLine();
    for (qint64 line = view->firstVisibleLine(); line <= last && marks.size() < maxHighlights;
         ++line) {
        const qint64 start = view->lineStart(line);
        const QString text = view->store().line(line);
        for (int offset : find.positions(text, 0, -1, maxHighlights - marks.size())) {
            if (skipShown && start + offset == shownStart)
                continue;
            marks.append({ start + offset, find.length() });
        }
    }
    view->setMarks(marks);
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

TextFinder FindBar::finder() const
{
    return TextFinder(findLineEdit->text(),
        findCaseCheckBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

int FindBar::searchStart() const
{
    if (view->hasSelection())
        return int(view->selectionStart());
    // From what the user is looking at.
    return int(view->lineStart(view->firstVisibleLine()));
}

bool FindBar::matchIsSelected() const
{
    if (!view || shownStart < 0)
        return false;
    return view->hasSelection() && view->selectionStart() == shownStart
        && view->selectionEnd() == shownStart + shownLength;
}

void FindBar::showMatch(const TextFinder::Match& match)
{
    selecting = true;
    if (match.position >= 0) {
        shownStart = match.position;
        shownLength = findLineEdit->text().size();
        view->setSelection(match.position, match.position + shownLength);
        view->ensureVisible(match.position);
    } else {
        if (matchIsSelected())
            view->clearSelection();
        shownStart = -1;
        shownLength = 0;
    }
    selecting = false;

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
