// The boot-loader upgrade dialogue, run by the display tick while the upgrade box is checked.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::processUpgradeData(QByteArray& pending) { Q_UNUSED(pending) }
