// The main window's side of log sharing.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "share/logshareddialog.h"

void MainWindow::slotLogShared() { }
void MainWindow::slotStateInfo(QString) { }
