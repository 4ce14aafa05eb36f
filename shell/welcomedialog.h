#pragma once

#include <QDialog>

namespace Ui {
class WelcomeDialog;
}

// A small thank-you window with the donation code.
class WelcomeDialog : public QDialog {
    Q_OBJECT

public:
    explicit WelcomeDialog(QWidget* parent);
    ~WelcomeDialog() override;

private:
    Ui::WelcomeDialog* ui = nullptr;
};
