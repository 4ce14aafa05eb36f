// The main window's shell: status bar, tray icon, styles, keys, links and start-up chores.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/core/appinfo.h"
#include "app/messagebox.h"
#include "app/updateinterface.h"
#include "shell/core/plugintrust.h"
#include "shell/extrasettingdialog.h"
#include "tools/additionfunction.h"
#include "tools/advancedsend.h"
#include "views/findbar.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPluginLoader>
#include <QStatusBar>
#include <QUrl>

#include <unistd.h>

#ifdef Q_OS_WIN
static const QString kPluginFile = QStringLiteral("OrvUpdatePlugin.dll");
#else
// The same plug-in in the platform's library form.
static const QString kPluginFile = QStringLiteral("libOrvUpdatePlugin.so");
#endif

static int trayAvailability = -1;

void MainWindow::setTrayAvailability(int available) { trayAvailability = available; }

static bool trayUsable()
{
    if (trayAvailability >= 0)
        return trayAvailability == 1;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::buildStatusBar()
{
    auto makeLabel = [this](const QString& text, int minWidth, int stretch) {
        auto* label = new QLabel(text, this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (minWidth > 0)
            label->setMinimumSize(minWidth, 20);
        statusBar()->addWidget(label, stretch);
        return label;
    };
    welcomeLabel = makeLabel(tr("欢迎使用quillon - 串口调试助手"), 280, 1);
    serialStateLabel = makeLabel(tr("串口未打开 "), 100, 0);
    serialStateLabel->setObjectName(QStringLiteral("serialStateLabel"));
    QPalette palette = serialStateLabel->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    serialStateLabel->setPalette(palette);
    QFont bold = serialStateLabel->font();
    bold.setWeight(75);
    serialStateLabel->setFont(bold);
    selLabel = makeLabel(QStringLiteral("Sel: 0"), 100, 0);
    linesLabel = makeLabel(QString(), 100, 0);
    recvLabel = makeLabel(QString(), 100, 0);
    sendLabel = makeLabel(QString(), 100, 0);
    timeLabel = makeLabel(tr("当前时间: "), 0, 0);
    selLabel->setObjectName(QStringLiteral("selLabel"));
    linesLabel->setObjectName(QStringLiteral("linesLabel"));
    recvLabel->setObjectName(QStringLiteral("recvLabel"));
    sendLabel->setObjectName(QStringLiteral("sendLabel"));
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    welcomeLabel->setObjectName(QStringLiteral("welcomeLabel"));
    // Counters change many times a second: a fixed size spares the status bar a relayout each time.
    const QFontMetrics metrics(linesLabel->font());
    const int counterWidth
        = qMax(100, metrics.horizontalAdvance(QStringLiteral("Send: 00000000")) + 8);
    for (QLabel* label : { selLabel, linesLabel, recvLabel, sendLabel })
        label->setFixedSize(counterWidth, 20);
    refreshCounterLabels();
}

void MainWindow::buildTrayIcon()
{
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QIcon(QStringLiteral(":images/favorite.png")));
    trayIcon->setToolTip(AppInfo::trayTip());
    auto* menu = new QMenu;
    QAction* about = menu->addAction(tr("关于"));
    menu->addSeparator();
    QAction* showMain = menu->addAction(tr("显示主窗口"));
    QAction* extra = menu->addAction(tr("个性设置"));
    QAction* addition = menu->addAction(tr("附加功能"));
    menu->addSeparator();
    QAction* quit = menu->addAction(tr("退出"));
    connect(about, &QAction::triggered, this, &MainWindow::showAboutBox);
    connect(showMain, &QAction::triggered, this, &QWidget::show);
    connect(extra, &QAction::triggered, extraSettingDialog, &QWidget::show);
    connect(addition, &QAction::triggered, additionFunction, &QWidget::show);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    trayIcon->setContextMenu(menu);
    connect(trayIcon, &QObject::destroyed, menu, &QObject::deleteLater);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::slotTrayIconActivated);
    trayIcon->show();
}

void MainWindow::applyShellStyle()
{
    setStyleSheet(QStringLiteral("QCheckBox{border-radius:3px;}"
                                 "QCheckBox:hover{background:#D2D2D2;color:#0000FF;}"
                                 "QRadioButton{border-radius:3px;}"
                                 "QRadioButton:hover{background:#D2D2D2;color:#0000FF;}"
                                 "QToolBox::tab:hover{background:#D2D2D2;color:#0000FF;}"));
    ui->openSerialButton->setToolTip(tr("打开/关闭指定串口"));
    ui->pauseRecvButton->setToolTip(tr("暂停/恢复接收串口数据"));
    ui->saveDataButton->setToolTip(tr("保存接收区的数据内容至程序安装目录的Record文件夹下"));
    ui->clearWindowButton->setToolTip(tr("清空接收区的数据显示"));
    ui->additonFuncButton->setToolTip(
        tr("显示附加功能窗口（可进行校验和计算、字符串/16进制转换和数据封装等）"));
    ui->advancedSendButton->setToolTip(
        tr("显示高级发送窗口（可自定义发送多条数据 字符串/16进制）"));
    ui->sendDataButton->setToolTip(tr("将发送区内显示的数据发送出去"));
    ui->openFileButton->setToolTip(tr("打开需要发送的文件"));
    ui->sendFileButton->setToolTip(tr("将打开的文件从串口发送出去"));
    ui->actionOrvWeb->setToolTip(tr("OrvWeb服务器\n账号：guest    密码：guest"));
}

void MainWindow::seedChangeLog()
{
    QFile file(QStringLiteral("./change.log"));
    if (file.size() >= 64)
        return;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return;
    const QString stars(95, QLatin1Char('*'));
    const QString project = QStringLiteral("Quillon-Setup").section(QLatin1Char('-'), 0, 0);
    QString text = QLatin1Char('/') + stars + QLatin1Char('\n');
    text += tr("* 项目名称：%1\n").arg(project);
    text += tr("* 项目简介：一个串口通信应用程序\n");
    text += tr("* 创建日期：2022.05.11\n");
    text += tr("* 运行平台：Linux 桌面（Qt 5）\n");
    text += tr("* 更新记录：每个版本的改动写在本文件下方\n");
    text += stars + QStringLiteral("/\n\n");
    file.write(text.toUtf8());
}

void MainWindow::loadUpdatePlugin()
{
    updatePluginObject = loadPlugin(this, kPluginFile);
    updatePlugin = qobject_cast<OrvUpdateInterface*>(updatePluginObject);
    if (!updatePlugin) {
        updatePluginObject = nullptr;
        MsgBox::warning(this, tr("警告"), tr("缺少 OrvUpdatePlugin.dll 库\t"));
    }
}

QObject* MainWindow::loadPlugin(QObject* parent, const QString& fileName)
{
    // The program's own folder first: a plug-in there is as trusted as the program itself.
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    QDir dir(QStringLiteral("./plugins"));
#ifdef Q_OS_WIN
    // The development folder wins when it holds anything.
    const QDir devDir(QStringLiteral("D:/OrvToolLibs/plugins"));
    if (!devDir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
        dir = devDir;
#endif
    QStringList folders { installed };
    if (dir.canonicalPath() != QDir(installed).canonicalPath())
        folders << dir.absolutePath();
    for (const QString& folder : folders) {
        // Only the wanted file is loaded: loading runs a library's code, and whatever else lies
        // in the folder is nobody we know.
        const QFileInfo file(QDir(folder).absoluteFilePath(fileName));
        if (!file.isFile() || file.fileName() != fileName)
            continue;
        // Anybody who may write the working folder could have planted a plug-in there.
        const PluginTrust::Finding trust = folder == installed
            ? PluginTrust::Finding()
            : PluginTrust::check(
                { QDir::currentPath(), folder, file.absoluteFilePath() }, ::getuid());
        if (trust.verdict != PluginTrust::Verdict::Trusted) {
            qWarning().noquote() << "update plug-in" << file.absoluteFilePath()
                                 << "not loaded:" << trust.path << trust.why;
            continue;
        }
        QPluginLoader loader(file.absoluteFilePath());
        QObject* instance = loader.instance();
        if (instance) {
            instance->setParent(parent);
            return instance;
        }
    }
    return nullptr;
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_F1:
        showAboutBox();
        break;
    case Qt::Key_F2:
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(tr("%1/%2").arg(QDir::currentPath(), QStringLiteral("Record"))));
        break;
    case Qt::Key_F8:
        slotSendFileButton();
        break;
    case Qt::Key_F12:
        slotSaveLogButton();
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    if ((event->type() == QEvent::WindowStateChange || event->type() == QEvent::LanguageChange)
        && welcomeLabel) {
        const QString welcome = tr("欢迎使用quillon - 串口调试助手");
        if (windowState() == Qt::WindowMaximized)
            welcomeLabel->setText(tr("%1 - %2").arg(welcome, tr("祝您调试顺利！")));
        else
            welcomeLabel->setText(welcome);
    }
    if (event->type() == QEvent::LanguageChange)
        retranslateKeptTexts();
    QWidget::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Without a notification area a hidden window could not be brought back: quit instead.
    if (extraSettingDialog->isMinTray() && trayUsable()) {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        if (isVisible()) {
            hide();
            event->ignore();
        }
        return;
    }
    const auto answer = MsgBox::question(
        this, tr("关闭"), tr("是否确认要退出程序？"), QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        advancedSend->stopCycleSend();
        QGuiApplication::setQuitOnLastWindowClosed(true);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::slotTrayIconActivated(QSystemTrayIcon::ActivationReason activationReason)
{
    if (activationReason != QSystemTrayIcon::Trigger)
        return;
    if (windowState() & Qt::WindowMaximized)
        showMaximized();
    else
        showNormal();
}

void MainWindow::slotUpdateCurrentTime()
{
    timeLabel->setText(
        tr("时间: %1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd"))));
}

void MainWindow::slotSelectionChanged()
{
    // A match the find bar selects is not the user's selection.
    if (findBar && findBar->isSelecting())
        return;
    if (!ui->recvShowText->hasSelection())
        return;
    const QString text = ui->recvShowText->selectedText();
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
    selLabel->setText(tr("Sel: %1").arg(text.size()));
}

void MainWindow::slotShowHideOperator()
{
    if (ui->controlAreaGroupBox->isVisible()) {
        ui->controlAreaGroupBox->setVisible(false);
        ui->advancedGroupBox->setVisible(false);
        ui->actionOperator->setText(tr("操作显示(&H)"));
    } else {
        ui->controlAreaGroupBox->setVisible(true);
        ui->advancedGroupBox->setVisible(true);
        ui->actionOperator->setText(tr("操作隐藏(&H)"));
    }
}

void MainWindow::slotTechnicalSupport()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("https://quillon.example.org/support")));
}

void MainWindow::slotDownLastVersion()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("https://quillon.example.org/download")));
}

void MainWindow::slotOpenOrvWeb()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://192.168.1.10:8080/")));
}

void MainWindow::slotOpenUpdateLog()
{
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QStringLiteral("%1/change.log").arg(QDir::currentPath())));
}

void MainWindow::showAboutBox()
{
    const QString rule(67, QChar(0x2500));
    const QStringList features = {
        tr("A、自动扫描并列举出当前电脑上所有可用的串口，包括物理串口和USB转232串口等。完美兼容各款操作系统"),
        tr("B、多种波特率可选，最大支持921600；数据位、校验位、停止位等参数均可自定义选择"),
        tr("C、接收的数据支持以字符形式或者16进制格式显示，支持中英文显示，无乱码，数据不丢失"),
        tr("D、主窗口支持重复发送数据，发送间隔可自定义。支持以字符形式或者16进制格式发送"),
        tr("E、可以保存窗口内容到一个文本文件，文件名取自当前日期和时间，保存至程序同级目录的Record文件夹下"),
        tr("F、接收到的数据可定时清空，并支持在清空之前自动保存所有数据，满足长时间挂机调试的应用需求"),
        tr("G、支持显示数据接收时间(支持毫秒级显示)以及数据传输方向，提高调试信息的可阅读性"),
        tr("H、多达99条自定数据的高级发送功能，每条数据可单独设置重发间隔(不填或填0表示不发)，也可统一设置"),
        tr("I、集成校验和计算、显示格式转换以及帧格式封装解封等多项附加功能，支持自动识别字符16进制功能"),
        tr("J、全部自定义设置记录在一个配置文件中，关闭时自动保存，打开时自动载入，提高程序的易用性"),
        tr("K、具有文件发送功能，发送过程中以进度条形式和文本形式展示发送进度，便于观察和使用"),
    };
    int width = 0;
    for (const QString& f : features)
        width = qMax(width, f.size());
    QStringList lines;
    lines << rule + QStringLiteral("\t\t")
            + tr("Quillon 是一款面向嵌入式开发的串口调试助手，主要功能如下：");
    lines << QString(width + 2, QLatin1Char(' '));
    for (const QString& f : features)
        lines << QStringLiteral("  ") + f.leftJustified(width, QLatin1Char(' '));
    lines << QString(width + 2, QLatin1Char(' '));
    lines << QStringLiteral("    \t\t") + tr("设计：Quillon 开发组");
    lines << QStringLiteral("    \t\t") + tr("创建于2021.05.17");
    lines << rule;
    MsgBox::about(
        this, tr("程序功能简介：%1").arg(AppInfo::versionTitle()), lines.join(QLatin1Char('\n')));
}
