#pragma once

#include <QDialog>
#include <QString>

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

private:
    Ui::LogFilterDialog* ui = nullptr;
};
