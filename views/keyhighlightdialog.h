#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

class QSettings;

namespace Ui {
class KeyHighlightDialog;
}

// The table of keywords, with their colours, that the receive area highlights.
class KeyHighlightDialog : public QDialog {
    Q_OBJECT

public:
    KeyHighlightDialog(QSettings* settings, QWidget* parent);
    ~KeyHighlightDialog() override;

    // Colour and keyword of an enabled row; false (arguments untouched) otherwise.
    bool keyHighlightEntry(int index, QColor& color, QString& text) const;

private:
    Ui::KeyHighlightDialog* ui = nullptr;
    QSettings* settings = nullptr; // not owned
};
