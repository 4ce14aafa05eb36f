#include "app/messagebox.h"

#include <QFileDialog>

namespace MsgBox {

static Handler& handler()
{
    static Handler h;
    return h;
}

void setHandler(Handler h) { handler() = std::move(h); }

// File names, peer names and received text reach these boxes: a tag in them is shown, not obeyed.
static QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon,
    const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    // As the static boxes do: unless told otherwise, the first accepting button is the default.
    for (uint b = QMessageBox::FirstButton;
         defaultButton == QMessageBox::NoButton && b <= QMessageBox::LastButton; b <<= 1) {
        if (box.button(QMessageBox::StandardButton(b))
            && box.buttonRole(box.button(QMessageBox::StandardButton(b)))
                == QMessageBox::AcceptRole)
            defaultButton = QMessageBox::StandardButton(b);
    }
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text)
{
    if (handler())
        return handler()({ Warning, title, text });
    return show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text)
{
    if (handler())
        return handler()({ Information, title, text });
    return show(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    if (handler())
        return handler()({ Question, title, text });
    return show(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

void about(QWidget* parent, const QString& title, const QString& text)
{
    if (handler()) {
        handler()({ About, title, text });
        return;
    }
    // The program's own text only: Qt's own detection of rich text stays.
    QMessageBox::about(parent, title, text);
}

static FileHandler& fileHandler()
{
    static FileHandler h;
    return h;
}

void setOpenFileHandler(FileHandler h) { fileHandler() = std::move(h); }

QString getOpenFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    if (fileHandler())
        return fileHandler()(caption, dir);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

}
