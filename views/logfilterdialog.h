#pragma once

#include "views/logfiltercore.h"

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

public slots:
    void doTimeoutCache();
    void on_clearButton_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPending();

    Ui::LogFilterDialog* ui = nullptr;
    LogFilterCore core;
    QTimer* timer = nullptr;
    QString pending;
    bool displayReleased = true;
};
