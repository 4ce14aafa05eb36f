#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/core/appinfo.h"
#include "app/core/debuglog.h"
#include "app/messagebox.h"
#include "app/updateinterface.h"
#include "serial/core/recordfile.h"
#include "serial/core/upgradedialogue.h"
#include "share/logshareddialog.h"
#include "shell/extrasettingdialog.h"
#include "shell/welcomedialog.h"
#include "tools/additionfunction.h"
#include "tools/advancedsend.h"
#include "views/findbar.h"
#include "views/keyhighlight.h"
#include "views/keyhighlightdialog.h"
#include "views/logfilterdialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSettings>
#include <QStyleFactory>
#include <QTextCodec>
#include <QTimer>
#include <QWindow>

static void initResources()
{
    // The images live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
}

static void registerMetaTypes()
{
    qRegisterMetaType<MainWindow::eBaudRate>("MainWindow::eBaudRate");
    qRegisterMetaType<QSerialPort::DataBits>("QSerialPort::DataBits");
    qRegisterMetaType<QSerialPort::Parity>("QSerialPort::Parity");
    qRegisterMetaType<QSerialPort::StopBits>("QSerialPort::StopBits");
    qRegisterMetaType<QAction*>("QAction*");
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    initResources();
    registerMetaTypes();

    settings = new QSettings(QStringLiteral("./Settings.ini"), QSettings::IniFormat);

    serialPort = new QSerialPort;
    readPacer = std::make_unique<ReadPacer>(serialPort);
    recordWriter = new RecordWriter(this);
    connect(recordWriter, &RecordWriter::finished, this, &MainWindow::slotRecordWritten);
    updatePlugin = nullptr;

    additionFunction = new AdditionFunction(this);
    advancedSend = new AdvancedSend(this);
    keyHighlightDialog = new KeyHighlightDialog(settings, this);
    extraSettingDialog = new ExtraSettingDialog(this);
    logSharedDialog = new LogSharedDialog(this);
    logFilterDialog = new LogFilterDialog(this);
    welcomeDialog = new WelcomeDialog(this);

    maxLines = 100000;
    lineCount = recvCount = sendCount = 0;
    display = std::make_unique<DisplayStage>();
    autoSendTimer = new QTimer(this);
    showDataTimer = new QTimer(this);
    fileSendTimer = new QTimer(this);
    checkUpdatePending = true;
    fileData.clear();
    fileSentData.clear();

    ui->setupUi(this);
    resize(1034, 706);
    ui->burdrateComboBox->setCurrentIndex(0);
    ui->dataBitsComboBox->setCurrentIndex(3);
    ui->showTimeCheckBox->setChecked(true);
    ui->maxRowsSpinBox->setMaximum(MostLines);
    ui->maxRowsSpinBox->setSingleStep(100);
    ui->maxRowsSpinBox->setValue(DefaultMaxLines);
    ui->timeAutoSpinBox->setMaximum(300000);
    ui->timeAutoSpinBox->setSingleStep(1000);
    ui->timeAutoSpinBox->setValue(1000);

    setWindowTitle(AppInfo::versionTitle());

    // There is no "System" codec on Linux: the locale codec (UTF-8) stays in force then.
    if (QTextCodec* system = QTextCodec::codecForName("System"))
        QTextCodec::setCodecForLocale(system);

    ui->recvShowText->viewport()->installEventFilter(this);
    ui->recvShowText->installEventFilter(this);
    ui->recvShowText->setFocus(Qt::OtherFocusReason);
    QFont viewFont(QStringLiteral("新宋体"), 10);
    // Most Linux desktops lack this family: ask for a fixed-pitch fallback so hex columns align.
    // No shaping where the script does not need it: much cheaper layout of every received line.
    viewFont.setStyleHint(QFont::TypeWriter, QFont::PreferNoShaping);
    viewFont.setFixedPitch(true);
    ui->recvShowText->setFont(viewFont);

    ui->fileProgressLabel->hide();
    ui->fileProgressBar->hide();
    ui->fileProgressBar->setRange(0, 5000);

    ui->pauseRecvButton->setEnabled(false);
    ui->sendDataButton->setEnabled(false);
    ui->fileAreaGroupBox->setEnabled(false);
    ui->advancedSendButton->setEnabled(false);
    ui->keyHighlightToolButton->setEnabled(false);

    if (QLayout* layout = centralWidget()->layout()) {
        layout->setContentsMargins(16, 16, 16, 16);
        layout->setSpacing(5);
    }

    ui->recvAreaGroupBox->setStyleSheet(QStringLiteral("QGroupBox::title{color:#FF0000}"));
    ui->openSerialButton->setStyleSheet(QLatin1String(PortButtonStyle::kClosed));

    styleActionGroup = new QActionGroup(this);
    styleActionGroup->setExclusive(true);
    QAction* lastStyle = nullptr;
    const QStringList styles = QStyleFactory::keys();
    for (int i = 0; i < styles.size(); ++i) {
        lastStyle = styleActionGroup->addAction(styles.at(i));
        lastStyle->setCheckable(true);
        lastStyle->setShortcut(QKeySequence(tr("F%1").arg(i + 3)));
    }
    if (lastStyle)
        slotStyleActions(lastStyle);
    ui->styleMenu->addActions(styleActionGroup->actions());

    currentTimeTimer = new QTimer(this);
    portScanTimer = new QTimer(this);

    const QString recordPath
        = QStringLiteral("%1/%2").arg(QDir::currentPath(), QStringLiteral("Record"));
    if (!QDir(recordPath).exists())
        QDir().mkdir(recordPath);

    keyHighlight = new KeyHighlight(keyHighlightDialog);
    // The view shows the store, the record of the receive area, a line at a time as drawn.
    ui->recvShowText->setStore(&lineStore);
    ui->recvShowText->setLineFormatter(
        [this](const QString& line) { return keyHighlight->formats(line); });

    connect(styleActionGroup, &QActionGroup::triggered, this, &MainWindow::slotStyleActions);
    connect(portScanTimer, &QTimer::timeout, this, &MainWindow::slotUpdateSerialPort);
    connect(currentTimeTimer, &QTimer::timeout, this, &MainWindow::slotUpdateCurrentTime);
    connect(autoSendTimer, &QTimer::timeout, this, &MainWindow::slotSendDataButton);
    connect(showDataTimer, &QTimer::timeout, this, &MainWindow::slotShowDataTimeout);
    connect(fileSendTimer, &QTimer::timeout, this, &MainWindow::slotFileSendData);
    connect(advancedSend, &AdvancedSend::signalSendData, this, &MainWindow::slotSerialSendData);
    connect(
        additionFunction, &AdditionFunction::signalSendData, this, &MainWindow::slotSerialSendData);
    connect(ui->openSerialButton, &QPushButton::clicked, this, &MainWindow::slotOpenSerialButton);
    connect(ui->pauseRecvButton, &QPushButton::clicked, this, &MainWindow::slotPauseRecoverButton);
    connect(ui->saveDataButton, &QPushButton::clicked, this, &MainWindow::slotSaveLogButton);
    connect(ui->clearWindowButton, &QPushButton::clicked, this, &MainWindow::slotClearWindowButton);
    connect(ui->sendDataButton, &QPushButton::clicked, this, &MainWindow::slotSendDataButton);
    connect(ui->openFileButton, &QPushButton::clicked, this, &MainWindow::slotOpenFileButton);
    connect(ui->sendFileButton, &QPushButton::clicked, this, &MainWindow::slotSendFileButton);
    connect(
        ui->recvShowText, &TextBrowser::selectionChanged, this, &MainWindow::slotSelectionChanged);
    connect(ui->recvShowText, &TextBrowser::signalSaveLog, this, &MainWindow::slotSaveLogButton);
    connect(ui->sendDataTextEdit, &QTextEdit::textChanged, this, &MainWindow::slotSendTextChanged);
    connect(ui->additonFuncButton, &QPushButton::clicked, additionFunction, &QWidget::show);
    connect(ui->advancedSendButton, &QPushButton::clicked, advancedSend, &QWidget::show);
    connect(ui->keyHighlightToolButton, &QToolButton::clicked, keyHighlightDialog, &QWidget::show);
    connect(ui->autoSlaveLogToFileCheckBox, &QCheckBox::stateChanged, this,
        &MainWindow::slotSetRecvAutoClearBox);
    liveRecord = std::make_unique<LiveRecord>();
    connect(ui->liveRecordCheckBox, &QCheckBox::toggled, this, &MainWindow::slotLiveRecord);
    connect(extraSettingDialog, &ExtraSettingDialog::liveRecordMaxMBChanged, this,
        &MainWindow::slotLiveRecordMaxMB);
    connect(extraSettingDialog, &ExtraSettingDialog::autoReconnectChanged, this,
        &MainWindow::slotAutoReconnect);
    connect(
        extraSettingDialog, &ExtraSettingDialog::codecChanged, this, &MainWindow::slotTextCodec);
    connect(extraSettingDialog, &ExtraSettingDialog::ansiColorChanged, this,
        &MainWindow::slotAnsiColor);
    connect(ui->autoSendCheckBox, &QCheckBox::stateChanged, this, &MainWindow::slotAutoSendTimer);
    connect(ui->maxRowsSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &MainWindow::slotUpdateMaxLines);
    connect(ui->keyHighlightCheckBox, &QCheckBox::stateChanged, this,
        &MainWindow::slotKeyHighlightHandle);
    connect(
        ui->actionTechnicalSupport, &QAction::triggered, this, &MainWindow::slotTechnicalSupport);
    connect(ui->actionDownLastVersion, &QAction::triggered, this, &MainWindow::slotDownLastVersion);
    connect(ui->actionExtraSetting, &QAction::triggered, extraSettingDialog, &QWidget::show);
    connect(ui->actionLogShared, &QAction::triggered, logSharedDialog, &QWidget::show);
    connect(ui->actionLogFilter, &QAction::triggered, logFilterDialog, &QWidget::show);
    connect(logSharedDialog, &LogSharedDialog::stateInfo, this, &MainWindow::slotStateInfo);
    connect(ui->actionOrvWeb, &QAction::triggered, this, &MainWindow::slotOpenOrvWeb);
    connect(ui->actionUpdateLog, &QAction::triggered, this, &MainWindow::slotOpenUpdateLog);
    connect(ui->actionOperator, &QAction::triggered, this, &MainWindow::slotShowHideOperator);
    connect(serialPort, &QSerialPort::errorOccurred, this, &MainWindow::slotSerialError);

    ui->supportMenu->menuAction()->setVisible(false);
    ui->actionWelcome->setVisible(false);
    buildLanguageMenu();
    findBar = FindBar::attach(ui->recvShowText, ui->recvGridLayout, ui->functionSetMenu);

    seedChangeLog();
    loadUpdatePlugin();

    loadSerialConfig();

    buildStatusBar();
    setUpDiskBacklog();
    setUpControlLines();
    buildTrayIcon();
    applyShellStyle();

    settings->beginGroup(QStringLiteral("SendAreaData"));
    ui->sendDataTextEdit->setPlainText(
        settings->value(QStringLiteral("SendData"), QString()).toString());
    settings->endGroup();

    settings->beginGroup(QStringLiteral("CustomConfig"));
    const bool minTray = settings->value(QStringLiteral("MinTray"), true).toBool();
    const int liveMaxMB
        = qBound(1, settings->value(QStringLiteral("LiveRecordMaxMB"), 64).toInt(), 4096);
    const bool live = settings->value(QStringLiteral("LiveRecord"), false).toBool();
    const bool reconnect = settings->value(QStringLiteral("AutoReconnect"), false).toBool();
    settings->endGroup();
    extraSettingDialog->setMinTray(minTray);
    extraSettingDialog->setAutoReconnect(reconnect);
    extraSettingDialog->setLiveRecordMaxMB(liveMaxMB);
    liveRecord->setMaxBytes(qint64(liveMaxMB) << 20);
    ui->liveRecordCheckBox->setChecked(live);

    settings->beginGroup(QStringLiteral("LineConfig"));
    const QByteArray codec = settings->value(QStringLiteral("Encoding")).toByteArray();
    const bool ansiColor = settings->value(QStringLiteral("AnsiColor"), true).toBool();
    settings->endGroup();
    extraSettingDialog->setCodec(codec);
    extraSettingDialog->setAnsiColor(ansiColor);

    settings->beginGroup(QStringLiteral("LogSharedConfig"));
    const QString toAddress
        = settings->value(QStringLiteral("ToAddress"), QStringLiteral("192.168.1.100")).toString();
    settings->endGroup();
    logSharedDialog->setToAddressText(toAddress);

    currentTimeTimer->start(100);
    portScanTimer->start(PortScanMs);
}

MainWindow::~MainWindow()
{
    ui->recvShowText->viewport()->removeEventFilter(this);
    ui->recvShowText->removeEventFilter(this);
    // The record file in hand is finished before anything else goes, then what waits for the
    // disk has its last try.
    delete recordWriter;
    recordWriter = nullptr;
    for (; !diskBacklog.isEmpty(); diskBacklog.written()) {
        QString error;
        if (!RecordFile::write(diskBacklog.head().path, diskBacklog.head().lines, &error))
            qWarning() << "record file" << diskBacklog.head().path << "lost:" << error;
    }
    flushLiveRecord();
    liveRecord.reset();
    if (serialPort->isOpen())
        serialPort->close();
    delete serialPort;
    serialPort = nullptr;
    if (updatePluginObject && updatePluginObject->parent() == this)
        delete updatePluginObject.data();
    updatePluginObject = nullptr;
    updatePlugin = nullptr;
    delete additionFunction;
    delete advancedSend;
    delete welcomeLabel;
    delete serialStateLabel;
    delete selLabel;
    delete linesLabel;
    delete recvLabel;
    delete sendLabel;
    delete timeLabel;
    delete trayIcon;
    delete autoSendTimer;
    delete showDataTimer;
    delete fileSendTimer;
    delete settings;
    ui->recvShowText->setLineFormatter({});
    ui->recvShowText->setStore(nullptr);
    delete keyHighlight;
    delete keyHighlightDialog;
    delete extraSettingDialog;
    delete logSharedDialog;
    delete welcomeDialog;
    delete ui;
}

void MainWindow::slotStyleActions(QAction* action)
{
    if (!action)
        return;
    action->setChecked(true);
    QApplication::setStyle(QStyleFactory::create(action->text()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Holding a mouse button on the view keeps new lines back so a selection is not disturbed.
    // The right button opens the menu on its press here, and the menu takes the release: it is
    // no hold. A hold also ends when the view loses the focus (a box opened meanwhile takes the
    // release).
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched == ui->recvShowText->viewport()
            && static_cast<QMouseEvent*>(event)->button() != Qt::RightButton)
            display->setHeld(true);
        break;
    case QEvent::MouseButtonRelease:
        if (watched == ui->recvShowText->viewport()
            && !(static_cast<QMouseEvent*>(event)->buttons() & ~Qt::RightButton))
            display->setHeld(false);
        break;
    case QEvent::ContextMenu:
    case QEvent::FocusOut:
        display->setHeld(false);
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::slotWindowOnTop(bool checked)
{
    if (QWindow* handle = windowHandle())
        handle->setFlag(Qt::WindowStaysOnTopHint, checked);
}

void MainWindow::slotAutoCheckUpdate(bool checked)
{
    checkUpdatePending = checked;
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("AutoUpdate"), checked);
    settings->endGroup();
}

void MainWindow::slotMinTrayArea(bool checked)
{
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("MinTray"), checked);
    settings->endGroup();
}

void MainWindow::slotAnsiColor(bool on)
{
    settings->beginGroup(QStringLiteral("LineConfig"));
    settings->setValue(QStringLiteral("AnsiColor"), on);
    settings->endGroup();
}

void MainWindow::slotTextCodec(const QByteArray& name)
{
    settings->beginGroup(QStringLiteral("LineConfig"));
    settings->setValue(QStringLiteral("Encoding"), QString::fromLatin1(name));
    settings->endGroup();
}

void MainWindow::slotEnableDebugLog(bool checked)
{
    qInstallMessageHandler(checked ? DebugLog::handler : nullptr);
    qDebug() << "slotEnableDebugLog" << checked;
}
void MainWindow::slotKeyHighlightHandle(int index)
{
    const bool on = index != 0;
    ui->keyHighlightToolButton->setEnabled(on);
    keyHighlight->setHighlightEnabled(on);
}
void MainWindow::on_actionWelcome_triggered() { welcomeDialog->show(); }
