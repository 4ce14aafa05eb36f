#pragma once

#include "views/core/logfiltercore.h"

#include <QDialog>
#include <QString>

class QTimer;

namespace Ui {
class LogFilterDialog;
}

// Shows only the received lines around up to four keywords.
class LogFilterDialog : public QDialog {
    Q_OBJECT

public:
    explicit LogFilterDialog(QWidget* parent);
    ~LogFilterDialog() override;

    // Takes the text just appended to the receive area (without its final newline).
    void appendFilteredLog(const QString& text);

    // The four keyword rows as they stand now.
    LogFilterCore::Keywords keywords() const;

    // Test access to the state between ticks.
    const LogFilterCore& filter() const { return core; }
    QString pendingHtml() const { return pending; }
    bool isDisplayReleased() const { return displayReleased; }
    QTimer* cacheTimer() const { return timer; }
    // Lines the display keeps; the oldest go beyond it (they were shown).
    void setDisplayLimit(int lines);
    int displayLimit() const { return maxShown; }
    int displayedLines() const { return shownLines; }

    // The receive view holds at most this many lines; so does this display by default.
    static constexpr int kDefaultDisplayLimit = 100000;

public slots:
    void doTimeoutCache();
    void on_clearButton_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPending();
    void trimDisplay();
    void boundPending();

    Ui::LogFilterDialog* ui = nullptr;
    LogFilterCore core;
    QTimer* timer = nullptr;
    QString pending;
    int pendingLines = 0;
    int shownLines = 0;
    int maxShown = kDefaultDisplayLimit;
    bool displayReleased = true;
};
