#include "views/logfilterdialog.h"
#include "ui_logfilterdialog.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

LogFilterDialog::LogFilterDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::LogFilterDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Quillon - 日志过滤"));
    ui->textBrowser->setReadOnly(true);
    ui->textBrowser->viewport()->installEventFilter(this);
    ui->textBrowser->setFocus(Qt::OtherFocusReason);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &LogFilterDialog::doTimeoutCache);
}

LogFilterDialog::~LogFilterDialog() { delete ui; }

LogFilterCore::Keywords LogFilterDialog::keywords() const
{
    const QLineEdit* edits[] = { ui->key1LineEdit, ui->key2LineEdit, ui->key3LineEdit,
                                 ui->key4LineEdit };
    const QComboBox* combos[] = { ui->key1ComboBox, ui->key2ComboBox, ui->key3ComboBox,
                                  ui->key4ComboBox };
    const QSpinBox* spins[] = { ui->key1SpinBox, ui->key2SpinBox, ui->key3SpinBox,
                                ui->key4SpinBox };
    LogFilterCore::Keywords k;
    for (size_t i = 0; i < k.size(); ++i)
        k[i] = { edits[i]->text(), combos[i]->currentIndex(), spins[i]->value() };
    return k;
}

void LogFilterDialog::appendFilteredLog(const QString& text)
{
    const bool any = !ui->key1LineEdit->text().isEmpty() || !ui->key2LineEdit->text().isEmpty()
        || !ui->key3LineEdit->text().isEmpty() || !ui->key4LineEdit->text().isEmpty();
    if (core.feed(text, any))
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
    }
    const LogFilterCore::Tick t = core.tick(keywords());
    if (t.stop)
        timer->stop();
    pending += t.html;
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
        QLatin1String("<span style=\"white-space:pre-wrap\">") + pending
            + QLatin1String("</span>"),
        doc));
    cursor.endEditBlock();
    if (atBottom)
        bar->setValue(bar->maximum());
}

void LogFilterDialog::on_clearButton_clicked() { ui->textBrowser->clear(); }

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
