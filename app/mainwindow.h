#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPair>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTime>
#include <QVector>
#include <memory>

#include "serial/core/controllines.h"
#include "serial/core/diskbacklog.h"
#include "serial/core/displaystage.h"
#include "serial/core/lineerrors.h"
#include "serial/core/liverecord.h"
#include "serial/core/recordwriter.h"
#include "serial/readpacer.h"

class QLabel;
class QSettings;
class QTimer;
class QAction;
class QActionGroup;
class AdditionFunction;
class AdvancedSend;
class KeyHighlightDialog;
class KeyHighlight;
class ExtraSettingDialog;
class LogSharedDialog;
class LogFilterDialog;
class WelcomeDialog;
class OrvUpdateInterface;
class UpgradeDialogue;
class FindBar;
struct StartOptions;

namespace Ui {
class MainWindow;
}

// The hub: owns the port, the settings, every secondary window and every timer.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    enum eBaudRate {
        Baud110 = 110,
        Baud300 = 300,
        Baud600 = 600,
        Baud1200 = 1200,
        Baud2400 = 2400,
        Baud4800 = 4800,
        Baud9600 = 9600,
        Baud19200 = 19200,
        Baud38400 = 38400,
        Baud57600 = 57600,
        Baud115200 = 115200,
        Baud230400 = 230400,
        Baud460800 = 460800,
        Baud921600 = 921600,
        Baud1000000 = 1000000,
        Baud1500000 = 1500000,
        Baud2000000 = 2000000
    };
    Q_ENUM(eBaudRate)

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Test and benchmark access to the state the pipeline keeps.
    Ui::MainWindow* form() const { return ui; }
    QSerialPort* port() const { return serialPort; }
    OrvUpdateInterface* updateInterface() const { return updatePlugin; }
    int lines() const { return lineCount; }
    int received() const { return recvCount; }
    int sent() const { return sendCount; }
    qint64 displayedLines() const { return totalLinesShown; }
    // Record files saved before a clear and not yet on disk.
    int recordsInHand() const { return recordWriter->pending(); }
    LiveRecord* liveRecorder() const { return liveRecord.get(); }
    DiskBacklog& keptRecords() { return diskBacklog; }
    const LineStore& store() const { return lineStore; }
    qint64 pendingBytes() const { return display->waitingBytes() + display->parkedBytes(); }
    // The display stage, and the names its buffers and hold state go by elsewhere.
    DisplayStage* displayStage() const { return display.get(); }
    const QByteArray& recvBuffer() const { return display->recvBuffer(); }
    QString displayText() const { return display->displayText(); }
    bool displayEnabled() const { return !display->isHeld(); }
    AdditionFunction* additionWindow() const { return additionFunction; }
    ExtraSettingDialog* extraSettings() const { return extraSettingDialog; }
    LogSharedDialog* logShared() const { return logSharedDialog; }
    // The one settings file, for the windows that keep settings of their own.
    QSettings* settingsStore() const { return settings; }
    LogFilterDialog* logFilter() const { return logFilterDialog; }
    QTimer* displayTimer() const { return showDataTimer; }
    QTimer* autoSend() const { return autoSendTimer; }
    QTimer* fileTimer() const { return fileSendTimer; }
    QTimer* portScan() const { return portScanTimer; }
    // A vanished port is being waited for (automatic reconnection).
    bool waitingForReconnect() const { return waitingForPort; }

    void showAboutBox();
    // The command line's port, rate and open request, applied over the stored selection.
    void applyStartOptions(const StartOptions& options);
    // Tests stand in for the desktop: 1 with a notification area, 0 without, -1 ask the desktop.
    static void setTrayAvailability(int available);
    QObject* loadPlugin(QObject* parent, const QString& fileName);

    // Port names and descriptions of one scan, in display order.
    using PortTable = QVector<QPair<QString, QString>>;
    static PortTable scanPorts();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

public slots:
    void slotOpenSerialButton();
    void slotPauseRecoverButton();
    void slotClearWindowButton();
    void slotSaveLogButton();
    void slotSendDataButton();
    void slotOpenFileButton();
    void slotSendFileButton();
    void slotSendTextChanged();
    void slotSelectionChanged();
    void slotShowDataTimeout();
    void slotUpdateSerialPort();
    void slotUpdateCurrentTime();
    void slotFileSendData();
    void slotTrayIconActivated(QSystemTrayIcon::ActivationReason activationReason);
    void slotStyleActions(QAction* action);
    void slotSerialSendData(QString data, bool isHex, int delayms);
    void slotAutoSendTimer(int index);
    void slotSetRecvAutoClearBox(int index);
    void slotWindowOnTop(bool checked);
    void slotAutoCheckUpdate(bool checked);
    void slotMinTrayArea(bool checked);
    void slotEnableDebugLog(bool checked);
    void slotLogShared();
    void slotStateInfo(QString info);
    void slotUpdateMaxLines(int lines);
    void slotRecvSerialData();
    void slotRecvFromData(QByteArray data);
    void slotKeyHighlightHandle(int index);
    void slotTechnicalSupport();
    void slotDownLastVersion();
    void slotOpenOrvWeb();
    void slotOpenUpdateLog();
    void slotShowHideOperator();
    void on_showHexCheckBox_clicked(bool checked);
    void on_actionWelcome_triggered();
    void on_serialNumComboBox_currentTextChanged(QString text);

private slots:
    void slotSerialError(QSerialPort::SerialPortError error);
    void slotRecordWritten(
        bool ok, const QString& path, const QString& error, const LineStore::Snapshot& lines);
    void slotLiveRecord(bool on);
    void slotLiveRecordMaxMB(int mb);
    void slotAutoReconnect(bool on);
    void slotTextCodec(const QByteArray& name);
    void slotAnsiColor(bool on);
    // Each network peer is a session of its own, like each opening of the port.
    void slotPeerJoined();
    void slotPeerLeft();
    void slotFlowControlChanged(int index);
    void slotNoAssertOnOpen(bool checked);
    void slotDtrClicked(bool checked);
    void slotRtsClicked(bool checked);
    void slotResetButton();
    void slotBootModeButton();
    void slotPollLines();
    void slotPulseStep();
    void slotLanguageAction(QAction* action);

private:
    void loadSerialConfig();
    void closePort();
    void processUpgradeData(QByteArray& pending);
    void throttleNetwork();
    void takeIn(const QByteArray& data);
    void takeInPaused();
    DisplayStage::Settings displaySettings() const;
    void showLocalLine(const QString& line, LineStore::Kind kind = LineStore::Notice);
    // The display stage's steps, applied in one loop in the order they came, also when a nested
    // event loop (a box) hands in more meanwhile.
    void applySteps(const DisplayStage::Steps& steps);
    DisplayStage::Limit lineLimit() const;
    void drawText(const QString& text, bool inlineText, const DisplayStage::Spans& spans = {});
    void recordFormatted(const DisplayStage::Step& step);
    QList<DisplayStage::Step> stepQueue;
    bool applyingSteps = false;
    void finishFileTransfer();
    void portVanished(const QString& name);
    void setReceiving(bool on);
    void updateCounters(QLabel* label, int n, bool refreshNow = true);
    void refreshCounterLabels();
    void automaticClear();
    void clearView(bool save);
    // The store's lines go to a record file, written off the GUI thread; a failure comes back
    // through slotRecordWritten.
    void automaticSave();
    // The source part of a record file's name.
    QString recordSourceName() const;
    QString recordPath(const QString& pattern) const;
    void buildStatusBar();
    void buildTrayIcon();
    // 功能设置 → 语言 / Language; texts the window keeps aside follow a switch.
    void buildLanguageMenu();
    void retranslateKeptTexts();
    QActionGroup* languageGroup = nullptr;
    void applyShellStyle();
    void seedChangeLog();
    void loadUpdatePlugin();
    bool portIsOpen() const;

    Ui::MainWindow* ui = nullptr;
    QSettings* settings = nullptr;
    QSerialPort* serialPort = nullptr;
    std::unique_ptr<ReadPacer> readPacer;
    // Record files saved before the automatic clear, written off the GUI thread.
    RecordWriter* recordWriter = nullptr;
    // Every line the view gets, on disk as it is formatted.
    std::unique_ptr<LiveRecord> liveRecord;
    void flushLiveRecord();
    void liveRecordFailed();
    void startLiveSession();
    // Whether the network peer's bytes and sessions reach the view.
    void followNetwork(bool on);
    // The lines of the receive area, the record that files are written from.
    LineStore lineStore;
    // Saves by hand waiting for their result box.
    QStringList savesByHand;
    // Record files the disk did not take, waiting to be written again.
    DiskBacklog diskBacklog;
    QTimer* diskRetryTimer = nullptr;
    QLabel* diskStateLabel = nullptr;
    bool retryingRecord = false;
    bool saveFailureShown = false;
    int saveFailures = 0;
    static constexpr int DiskRetryMs = 2000;
    void setUpDiskBacklog();
    void retryKeptRecord();
    OrvUpdateInterface* updatePlugin = nullptr;
    // The loader hands every window the same instance: only its current parent deletes it.
    QPointer<QObject> updatePluginObject;
    AdditionFunction* additionFunction = nullptr;
    AdvancedSend* advancedSend = nullptr;
    KeyHighlightDialog* keyHighlightDialog = nullptr;
    KeyHighlight* keyHighlight = nullptr;
    ExtraSettingDialog* extraSettingDialog = nullptr;
    LogSharedDialog* logSharedDialog = nullptr;
    LogFilterDialog* logFilterDialog = nullptr;
    WelcomeDialog* welcomeDialog = nullptr;

    QLabel* welcomeLabel = nullptr;
    QLabel* serialStateLabel = nullptr;
    QLabel* selLabel = nullptr;
    QLabel* linesLabel = nullptr;
    QLabel* recvLabel = nullptr;
    QLabel* sendLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QActionGroup* styleActionGroup = nullptr;

    static constexpr int DefaultMaxLines = 100000;
    static constexpr int MostLines = 10000000;
    int maxLines = DefaultMaxLines;
    int lineCount = 0;
    int recvCount = 0;
    int sendCount = 0;
    QTimer* autoSendTimer = nullptr;
    QTimer* showDataTimer = nullptr;
    QTimer* fileSendTimer = nullptr;
    QTimer* currentTimeTimer = nullptr;
    QTimer* portScanTimer = nullptr;
    QByteArray fileData;
    QByteArray fileSentData;
    int fileDotTick = 0;
    bool checkUpdatePending = true;

    // Received bytes on their way to the view; kept across open and close.
    std::unique_ptr<DisplayStage> display;
    qint64 totalLinesShown = 0;
    bool countersDirty = false;
    // The counters are repainted a few times a second, not on every tick: a relayout of the
    // status bar at 100 Hz cost more than the view's own redraws.
    static constexpr int CounterRefreshMs = 100;
    QElapsedTimer counterClock;

    // The boot-loader dialogue's state, made on first use.
    std::unique_ptr<UpgradeDialogue> upgradeDialogue;

    PortTable previousPorts;
    QString openPortName;
    // With automatic reconnection a vanished port is waited for, scanning faster meanwhile, and
    // reopened with the same parameters when the same device is back.
    static constexpr int PortScanMs = 3000;
    static constexpr int ReconnectScanMs = 250;
    QString openPortIdentity;
    QString lostPortName;
    QString lostPortIdentity;
    bool waitingForPort = false;
    bool reopening = false;
    void waitForPort(const QString& name);
    void showWaitingControls();
    void reconnectIfBack(const PortTable& table);
    void stopWaiting(bool restoreControls);
    bool receiving = false;
    bool vanishing = false;

    FindBar* findBar = nullptr;

    // DTR/RTS, the modem-status lines and the kernel's line-error counts of the open port.
    void setUpControlLines();
    void linesOpened();
    void linesClosing();
    void refreshLineControls(bool open);
    void showLines(int bits);
    bool setOutputLines(int mask, const ControlLines::Outputs& want);
    void lineCallFailed();
    void startPulse(QVector<ControlLines::Step> (*sequence)(ControlLines::Outputs));
    void noteLineErrors(const LineErrors::Counts& now);
    QSerialPort::FlowControl chosenFlowControl() const;
    // Well inside the 100 ms the indicators promise, whatever a busy tick costs.
    static constexpr int LinePollMs = 50;
    QTimer* lineStateTimer = nullptr;
    QTimer* pulseTimer = nullptr;
    QVector<ControlLines::Step> pulseSteps;
    int pulseNext = 0;
    bool linesSupported = false;
    bool countersSupported = false;
    LineErrors::Counts countsSeen;
    LineErrors::Counts lineErrorTotals;
    QLabel* lineErrorLabel = nullptr;
    // The tool tips of the line controls as the form gives them; a reason is added while greyed.
    QVector<QPair<QWidget*, QString>> lineTips;
};

Q_DECLARE_METATYPE(MainWindow::eBaudRate)
