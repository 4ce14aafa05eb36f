#include "app/messagebox.h"

#include <QFileDialog>

namespace MsgBox {

static Handler& handler()
{
    static Handler h;
    return h;
}

void setHandler(Handler h) { handler() = std::move(h); }

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text)
{
    if (handler())
        return handler()({ Warning, title, text });
    return QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text)
{
    if (handler())
        return handler()({ Information, title, text });
    return QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    if (handler())
        return handler()({ Question, title, text });
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
}

void about(QWidget* parent, const QString& title, const QString& text)
{
    if (handler()) {
        handler()({ About, title, text });
        return;
    }
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
