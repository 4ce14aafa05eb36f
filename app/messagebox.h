#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

// Every modal box of the program goes through here, so tests can watch and answer them.
namespace MsgBox {

enum Kind { Warning, Information, Question, About };

struct Call {
    Kind kind;
    QString title;
    QString text;
};

// Returns the button the user "pressed"; an empty handler restores the real boxes.
using Handler = std::function<QMessageBox::StandardButton(const Call&)>;
void setHandler(Handler handler);

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
void about(QWidget* parent, const QString& title, const QString& text);

// The open-file dialog, answerable the same way (returns the chosen path, empty when cancelled).
using FileHandler = std::function<QString(const QString& caption, const QString& dir)>;
void setOpenFileHandler(FileHandler handler);
QString getOpenFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter);

}
