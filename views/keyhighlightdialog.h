#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>

class QCheckBox;
class QFrame;
class QLineEdit;
class QSettings;
class QToolButton;

namespace Ui {
class KeyHighlightDialog;
}

// The table of keywords, with their colours, that the receive area highlights.
class KeyHighlightDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRows = 16;

    // Asks the user for a colour; returns an invalid colour when the choice was cancelled.
    using ColorChooser
        = std::function<QColor(const QColor& initial, QWidget* parent, const QString& title)>;

    KeyHighlightDialog(QSettings* settings, QWidget* parent);
    ~KeyHighlightDialog() override;

    // Replaces the colour dialog (tests answer it without a modal loop); null restores it.
    static void setColorChooser(ColorChooser chooser);

    // Colour and keyword of an enabled row; false (arguments untouched) otherwise.
    bool keyHighlightEntry(int index, QColor& color, QString& text) const;

public slots:
    void slotSelectColor();
    void slotKeyHighlightConfig();

private:
    // The widgets of one row, as placed in the row's layout (positions 0, 1, 2).
    struct Row {
        QPointer<QFrame> frame;
        QCheckBox* enable = nullptr;
        QToolButton* color = nullptr;
        QLineEdit* keyword = nullptr;
    };
    const Row* row(int index) const;
    void addRow(bool enabled, const QColor& color, const QString& keyword);

    Ui::KeyHighlightDialog* ui = nullptr;
    QSettings* settings = nullptr; // not owned
    QVector<Row> rows;
};
