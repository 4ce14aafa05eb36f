#include "views/logfilterdialog.h"
#include "ui_logfilterdialog.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

LogFilterDialog::LogFilterDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogFilterDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Quillon - 日志过滤"));
    ui->textBrowser->setReadOnly(true);
    ui->textBrowser->viewport()->installEventFilter(this);
    ui->textBrowser->setFocus(Qt::OtherFocusReason);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &LogFilterDialog::doTimeoutCache);
}

LogFilterDialog::~LogFilterDialog() { delete ui; }

LogFilterCore::Keywords LogFilterDialog::keywords() const
{
    const QLineEdit* edits[]
        = { ui->key1LineEdit, ui->key2LineEdit, ui->key3LineEdit, ui->key4LineEdit };
    const QComboBox* combos[]
        = { ui->key1ComboBox, ui->key2ComboBox, ui->key3ComboBox, ui->key4ComboBox };
    const QSpinBox* spins[]
        = { ui->key1SpinBox, ui->key2SpinBox, ui->key3SpinBox, ui->key4SpinBox };
    LogFilterCore::Keywords k;
    for (size_t i = 0; i < k.size(); ++i)
        k[i] = { edits[i]->text(), combos[i]->currentIndex(), spins[i]->value() };
    return k;
}

void LogFilterDialog::appendFilteredLog(const QString& text)
{
    const bool any = !ui->key1LineEdit->text().isEmpty() || !ui->key2LineEdit->text().isEmpty()
        || !ui->key3LineEdit->text().isEmpty() || !ui->key4LineEdit->text().isEmpty();
    if (core.feed(text, any) && !timer->isActive())
        timer->start(10);
}

void LogFilterDialog::doTimeoutCache()
{
    // Output waits while a mouse button is held on the display, so a selection is not moved.
    if (displayReleased && !pending.isEmpty()) {
        if (pending.endsWith(QLatin1String("<br>")))
            pending.chop(4);
        showPending();
        pending.clear();
        pendingLines = 0;
    }
    const QString html = core.tick(keywords());
    pending += html;
    pendingLines += html.count(QLatin1String("<br>"));
    boundPending();
    // The timer runs while lines wait to be examined or output waits to be shown, so the last
    // match of a burst shows without waiting for more data.
    if (!core.hasWork() && pending.isEmpty())
        timer->stop();
}

void LogFilterDialog::setDisplayLimit(int lines)
{
    maxShown = qMax(1, lines);
    trimDisplay();
    boundPending();
}

void LogFilterDialog::boundPending()
{
    // While the display is held the output collects; it could not show more than the display
    // keeps anyway.
    int cut = 0;
    while (pendingLines > maxShown) {
        cut = pending.indexOf(QLatin1String("<br>"), cut) + 4;
        --pendingLines;
    }
    if (cut > 0)
        pending.remove(0, cut);
}

void LogFilterDialog::showPending()
{
    // Always HTML, whatever the text looks like: device text was escaped, and letting Qt guess
    // would show the entities of a batch without tags literally. Blanks are kept as received.
    QTextEdit* view = ui->textBrowser;
    QScrollBar* bar = view->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    QTextDocument* doc = view->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (!doc->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertFragment(QTextDocumentFragment::fromHtml(
        QLatin1String("<span style=\"white-space:pre-wrap\">") + pending + QLatin1String("</span>"),
        doc));
    cursor.endEditBlock();
    shownLines += pending.count(QLatin1String("<br>")) + 1;
    trimDisplay();
    if (atBottom)
        bar->setValue(bar->maximum());
}

void LogFilterDialog::trimDisplay()
{
    if (shownLines <= maxShown)
        return;
    // Each flush is one paragraph whose lines are separated by line separators.
    QTextDocument* doc = ui->textBrowser->document();
    int excess = shownLines - maxShown;
    int removeTo = 0;
    for (QTextBlock block = doc->begin(); block.isValid() && excess > 0; block = block.next()) {
        const QString text = block.text();
        const int lines = text.count(QChar::LineSeparator) + 1;
        if (lines <= excess) {
            excess -= lines;
            shownLines -= lines;
            removeTo = block.next().isValid() ? block.next().position()
                                              : block.position() + block.length() - 1;
            continue;
        }
        int at = -1;
        for (int i = 0; i < excess; ++i)
            at = text.indexOf(QChar::LineSeparator, at + 1);
        shownLines -= excess;
        excess = 0;
        removeTo = block.position() + at + 1;
    }
    QTextCursor cursor(doc);
    cursor.setPosition(removeTo, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void LogFilterDialog::on_clearButton_clicked()
{
    ui->textBrowser->clear();
    shownLines = 0;
}

bool LogFilterDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->textBrowser->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            displayReleased = false;
        else if (event->type() == QEvent::MouseButtonRelease)
            displayReleased = true;
    }
    return QDialog::eventFilter(watched, event);
}
