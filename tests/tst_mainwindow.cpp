// Start-up: the form, the settings store, the update plug-in and the shell chores.
#include "app/core/startoptions.h"
#include "app/mainwindow.h"
#include "app/updateinterface.h"
#include "share/logshareddialog.h"
#include "shell/core/plugintrust.h"
#include "shell/extrasettingdialog.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "views/textbrowser.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QStyleFactory>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(PluginTrust::Verdict)
Q_DECLARE_METATYPE(StartOptions::Parse)

namespace {

// What the window shows of the stored settings.
QStringList shownSettings(MainWindow& w)
{
    const auto* ui = w.form();
    return { ui->burdrateComboBox->currentText(), ui->dataBitsComboBox->currentText(),
        ui->checksumComboBox->currentText(), ui->stopBitsComboBox->currentText(),
        ui->sendDataTextEdit->toPlainText(), w.extraSettings()->isMinTray() ? "tray" : "no tray",
        w.extraSettings()->autoReconnect() ? "reconnect" : "no reconnect",
        w.logShared()->toAddressText() };
}

QStringList labelTexts(MainWindow& w, const QStringList& names)
{
    QStringList texts;
    for (const QString& name : names) {
        const auto* label = w.findChild<QLabel*>(name);
        texts << (label ? label->text() : "no " + name);
    }
    return texts;
}

// Collects what the debug log is told while it lives.
struct CapturedMessages : QStringList {
    CapturedMessages()
        : previous(qInstallMessageHandler(handler))
    {
        current = this;
    }
    ~CapturedMessages()
    {
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        current->append(text);
    }
    static inline CapturedMessages* current = nullptr;
    QtMessageHandler previous;
};

} // namespace

class tst_MainWindow : public PtyWindowTest {
    Q_OBJECT

public:
    // Start-up itself is tested: no plug-in until a test puts it there, no port listed.
    tst_MainWindow()
        : PtyWindowTest(QString(), false)
    {
    }

private slots:
    void init()
    {
        PtyWindowTest::init();
        bench->env.set(QString());
    }

    void defaultsWithoutSettingsFile()
    {
        QVERIFY(!QFile::exists("Settings.ini"));
        MainWindow w;
        QCOMPARE(shownSettings(w),
            QStringList({ "2400 bps", "8 bit", "None", "1 bit", "", "tray", "no reconnect",
                "192.168.1.100" }));
        // The hand-over of the close mode writes it back at once.
        QSettings s("Settings.ini", QSettings::IniFormat);
        QCOMPARE(s.value("CustomConfig/MinTray").toBool(), true);
        QVERIFY(!s.contains("SerialConfig/CommPort"));
    }

    void formAtStart()
    {
        MainWindow w;
        auto* ui = w.form();
        QCOMPARE(w.windowTitle(), QString("Quillon V2.8.2  (2022-09-20)"));
        QCOMPARE(w.size(), QSize(1034, 706));
        QCOMPARE(QStringList({ ui->openSerialButton->text(), ui->pauseRecvButton->text(),
                     ui->recvAreaGroupBox->title(), ui->openSerialButton->toolTip(),
                     ui->recvShowText->font().family() }),
            QStringList(
                { "打开串口", "暂停接收", "接收区 - 来源串口", "打开/关闭指定串口", "新宋体" }));
        // Nothing works on a port before one is open.
        QCOMPARE(QList<bool>({ ui->pauseRecvButton->isEnabled(), ui->sendDataButton->isEnabled(),
                     ui->fileAreaGroupBox->isEnabled(), ui->advancedSendButton->isEnabled(),
                     ui->keyHighlightToolButton->isEnabled() }),
            QList<bool>({ false, false, false, false, false }));
        QCOMPARE(QList<bool>({ ui->showTimeCheckBox->isChecked(), ui->showHexCheckBox->isChecked(),
                     ui->fileProgressBar->isHidden(), ui->fileProgressLabel->isHidden(),
                     ui->supportMenu->menuAction()->isVisible(), ui->actionWelcome->isVisible() }),
            QList<bool>({ true, false, true, true, false, false }));
        QCOMPARE(QList<int>({ ui->maxRowsSpinBox->value(), ui->maxRowsSpinBox->maximum(),
                     ui->maxRowsSpinBox->singleStep(), ui->timeAutoSpinBox->value(),
                     ui->timeAutoSpinBox->maximum(), ui->fileProgressBar->maximum(),
                     ui->recvShowText->font().pointSize(), ui->recvShowText->font().styleHint() }),
            QList<int>({ 100000, 10000000, 100, 1000, 300000, 5000, 10, QFont::TypeWriter }));
        // The lists offer the values the port takes.
        QCOMPARE(
            QList<int>({ ui->burdrateComboBox->count(), ui->burdrateComboBox->itemData(16).toInt(),
                ui->burdrateComboBox->itemData(0).toInt(),
                ui->stopBitsComboBox->itemData(1).toInt(),
                ui->checksumComboBox->itemData(3).toInt(),
                ui->dataBitsComboBox->itemData(0).toInt() }),
            QList<int>({ 17, 2000000, 110, QSerialPort::OneAndHalfStop, QSerialPort::MarkParity,
                QSerialPort::Data5 }));
    }

    void statusBar()
    {
        MainWindow w;
        auto* state = w.findChild<QLabel*>("serialStateLabel");
        QVERIFY(state);
        QCOMPARE(state->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(state->font().bold());
        QCOMPARE(labelTexts(w,
                     { "serialStateLabel", "linesLabel", "recvLabel", "sendLabel", "selLabel",
                         "welcomeLabel", "timeLabel" }),
            QStringList({ "串口未打开 ", "Lines: 000000", "Recv: 0000000", "Send: 0000000",
                "Sel: 0", "欢迎使用quillon - 串口调试助手", "当前时间: " }));
        QCOMPARE(w.findChild<QLabel*>("welcomeLabel")->minimumSize(), QSize(280, 20));
        QTRY_VERIFY(w.findChild<QLabel*>("timeLabel")->text().startsWith("时间: "));
    }

    void savedValuesRestored()
    {
        {
            QSettings s("Settings.ini", QSettings::IniFormat);
            s.setValue("SerialConfig/BaudRate", 10);
            s.setValue("SerialConfig/DataBits", 1);
            s.setValue("SerialConfig/ChckBits", 2);
            s.setValue("SerialConfig/StopBits", 2);
            s.setValue("SendAreaData/SendData", QString("AT+GMR\n第二行"));
            s.setValue("CustomConfig/MinTray", false);
            s.setValue("CustomConfig/AutoReconnect", true);
            s.setValue("LogSharedConfig/ToAddress", "10.0.0.7");
        }
        MainWindow w;
        QCOMPARE(shownSettings(w),
            QStringList({ "115200 bps", "6 bit", "Even", "2 bit", "AT+GMR\n第二行", "no tray",
                "reconnect", "10.0.0.7" }));
    }

    void outOfRangeIndexShowsTheDefault()
    {
        {
            QSettings s("Settings.ini", QSettings::IniFormat);
            s.setValue("SerialConfig/BaudRate", 99);
            s.setValue("SerialConfig/StopBits", -5);
            s.setValue("SerialConfig/CommPort", "ttyNOPE0 gone   ");
        }
        MainWindow w;
        QCOMPARE(QList<int>({ w.form()->burdrateComboBox->currentIndex(),
                     w.form()->stopBitsComboBox->currentIndex(),
                     w.form()->dataBitsComboBox->currentIndex() }),
            QList<int>({ 4, 0, 3 }));
    }

    void missingPluginWarnsOnce()
    {
        MainWindow w;
        QCOMPARE(boxes->texts(), QStringList { "缺少 OrvUpdatePlugin.dll 库\t" });
        QCOMPARE(boxes->calls.first().kind, MsgBox::Warning);
        QCOMPARE(boxes->calls.first().title, QString("警告"));
        QVERIFY(!w.updateInterface());
    }

    void pluginFoundAndCalledOnce()
    {
        QVERIFY(work->installPlugin());
        CapturedMessages messages;
        {
            MainWindow w;
            QVERIFY(w.updateInterface());
            QVERIFY(boxes->calls.isEmpty());
            // The construction scan runs the one update check.
            QCOMPARE(messages.filter("checkForUpdate").size(), 1);
            QVERIFY(messages.filter("checkForUpdate").first().contains("Quillon-Setup"));
            w.slotUpdateSerialPort();
            QCOMPARE(messages.filter("checkForUpdate").size(), 1);
            // Re-arming from the settings dialog allows one more.
            w.slotAutoCheckUpdate(true);
            w.slotUpdateSerialPort();
            QCOMPARE(messages.filter("checkForUpdate").size(), 2);
            QSettings s("Settings.ini", QSettings::IniFormat);
            QCOMPARE(s.value("CustomConfig/AutoUpdate").toBool(), true);
        }
    }

    void styleMenu()
    {
        MainWindow w;
        const QStringList keys = QStyleFactory::keys();
        const auto actions = w.form()->styleMenu->actions();
        QCOMPARE(actions.size(), keys.size());
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions.at(i)->text(), keys.at(i));
            QCOMPARE(actions.at(i)->shortcut(), QKeySequence(QString("F%1").arg(i + 3)));
        }
        if (!actions.isEmpty())
            QVERIFY(actions.last()->isChecked());
    }

    void twoWindowsShareThePlugin()
    {
        QVERIFY(work->installPlugin());
        auto* first = new MainWindow;
        auto* second = new MainWindow;
        QVERIFY(first->updateInterface());
        QVERIFY(second->updateInterface());
        delete first;
        delete second; // the one plug-in instance is deleted once
        MainWindow third;
        QVERIFY(third.updateInterface());
    }

    void strangersPluginsStayUnloaded_data()
    {
        QTest::addColumn<bool>("ours");
        QTest::addColumn<QStringList>("strangers"); // file names in ./plugins
        QTest::addColumn<QString>("opened"); // then made writable by anyone
        const QStringList around { "libAaaPlugin.so", "libZzzPlugin.so",
            "libOrvUpdatePlugin.so.1" };
        const QStringList planted { "libOrvUpdatePlugin.so" };
        QTest::newRow("strangers alone") << false << around << "";
        QTest::newRow("strangers beside ours") << true << around << "";
        QTest::newRow("our name in another case")
            << false << QStringList { "liborvupdateplugin.so" } << "";
        QTest::newRow("our name, working folder 0777") << false << planted << ".";
        QTest::newRow("our name, plugins folder 0777") << false << planted << "plugins";
        QTest::newRow("our name, file 0666") << false << planted << "plugins/libOrvUpdatePlugin.so";
    }

    void strangersPluginsStayUnloaded()
    {
        QFETCH(bool, ours);
        QFETCH(QStringList, strangers);
        QFETCH(QString, opened);
        if (ours)
            QVERIFY(work->installPlugin());
        QDir().mkpath(QStringLiteral("plugins"));
        for (const QString& name : strangers)
            QVERIFY(QFile::copy(QStringLiteral(QUILLON_FOREIGN_PLUGIN), "plugins/" + name));
        if (!opened.isEmpty())
            QCOMPARE(chmod(qPrintable(opened), opened.endsWith(".so") ? 0666 : 0777), 0);
        CapturedMessages messages;
        {
            MainWindow w;
            if (ours) {
                QVERIFY(w.updateInterface());
                QVERIFY(boxes->calls.isEmpty());
                QCOMPARE(messages.filter("checkForUpdate").size(), 1);
            } else {
                QVERIFY(!w.updateInterface());
                QCOMPARE(boxes->calls.size(), 1);
                QCOMPARE(boxes->calls.first().text, QString("缺少 OrvUpdatePlugin.dll 库\t"));
            }
        }
        QVERIFY(messages.filter("foreign").isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("foreign-plugin-ran")));
        // The debug log says which file was refused and why.
        const QStringList refused = messages.filter("not loaded:");
        QCOMPARE(refused.size(), opened.isEmpty() ? 0 : 1);
        if (!opened.isEmpty())
            QVERIFY(
                refused.first().endsWith(QDir::cleanPath(QDir::current().absoluteFilePath(opened))
                    + " is writable by anyone"));
    }

    void pluginTrust_data()
    {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<uint>("me");
        QTest::addColumn<PluginTrust::Verdict>("verdict");
        using V = PluginTrust::Verdict;
        QTest::newRow("my folder 0700") << 1000u << uint(S_IFDIR | 0700) << 1000u << V::Trusted;
        QTest::newRow("root's folder 0755") << 0u << uint(S_IFDIR | 0755) << 1000u << V::Trusted;
        QTest::newRow("someone else's")
            << 1001u << uint(S_IFREG | 0644) << 1000u << V::ForeignOwner;
        QTest::newRow("mine as root, not")
            << 1000u << uint(S_IFREG | 0644) << 0u << V::ForeignOwner;
        QTest::newRow("group may write")
            << 1000u << uint(S_IFDIR | 0775) << 1000u << V::GroupWritable;
        QTest::newRow("anyone may write")
            << 1000u << uint(S_IFDIR | 0777) << 1000u << V::OtherWritable;
        QTest::newRow("sticky like /tmp")
            << 0u << uint(S_IFDIR | 01777) << 1000u << V::OtherWritable;
        QTest::newRow("file 0606") << 1000u << uint(S_IFREG | 0606) << 1000u << V::OtherWritable;
    }

    void pluginTrust()
    {
        QFETCH(uint, owner);
        QFETCH(uint, mode);
        QFETCH(uint, me);
        QTEST(PluginTrust::judge(owner, mode, me), "verdict");
    }

    void recordFolderCreated()
    {
        QVERIFY(!QDir("Record").exists());
        MainWindow w;
        QVERIFY(QDir("Record").exists());
    }

    void changeLogSeed_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("missing") << -1 << true;
        QTest::newRow("63 bytes") << 63 << true;
        QTest::newRow("64 bytes") << 64 << false;
    }

    void changeLogSeed()
    {
        QFETCH(int, size);
        QFETCH(bool, rewritten);
        if (size >= 0) {
            QFile f("change.log");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(size, 'x'));
        }
        MainWindow w;
        QFile f("change.log");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        if (rewritten) {
            QVERIFY(text.startsWith("/" + QString(95, '*') + "\n* 项目名称：Quillon\n"));
            QVERIFY(text.contains("* 项目简介：一个串口通信应用程序\n* 创建日期：2022.05.11\n"));
            QVERIFY(text.endsWith(QString(95, '*') + "/\n\n"));
        } else {
            QCOMPARE(text, QString(64, 'x'));
        }
    }

    void sendAreaWrittenOnEveryChange()
    {
        MainWindow w;
        QTest::keyClicks(w.form()->sendDataTextEdit, "ab");
        QSettings s("Settings.ini", QSettings::IniFormat);
        QCOMPARE(s.value("SendAreaData/SendData").toString(), QString("ab"));
        QTest::keyClicks(w.form()->sendDataTextEdit, "c");
        s.sync();
        QCOMPARE(s.value("SendAreaData/SendData").toString(), QString("abc"));
    }

    void sendAreaRestoredAsStored_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("markup and entities") << QString("<b>AT</b> &lt;x&gt;  two  blanks");
        QTest::newRow("a whole document") << QString("<html><body><p>AT</p></body></html>");
        QTest::newRow("runs of blanks and line breaks") << QString("  AT \n\n\tOK  \n");
        QTest::newRow("ampersand alone") << QString("AT&T & co");
    }

    void sendAreaRestoredAsStored()
    {
        QFETCH(QString, stored);
        {
            QSettings s("Settings.ini", QSettings::IniFormat);
            s.setValue("SendAreaData/SendData", stored);
        }
        {
            MainWindow w;
            QCOMPARE(w.form()->sendDataTextEdit->toPlainText(), stored);
        }
        // Nothing was written back over the user's text.
        QSettings s("Settings.ini", QSettings::IniFormat);
        QCOMPARE(s.value("SendAreaData/SendData").toString(), stored);
    }

    void showHideOperator()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.form()->actionOperator->trigger();
        QVERIFY(!w.form()->controlAreaGroupBox->isVisible());
        QVERIFY(!w.form()->advancedGroupBox->isVisible());
        QCOMPARE(w.form()->actionOperator->text(), QString("操作显示(&H)"));
        w.form()->actionOperator->trigger();
        QVERIFY(w.form()->controlAreaGroupBox->isVisible());
        QCOMPARE(w.form()->actionOperator->text(), QString("操作隐藏(&H)"));
        QCOMPARE(w.form()->actionOperator->toolTip(), QString("操作隐藏"));
    }

    void selectionGoesToClipboard()
    {
        MainWindow w;
        // What was copied, and the selection's length in the status bar.
        const auto copied = [&w] {
            return QGuiApplication::clipboard()->text() + " | "
                + labelTexts(w, { "selLabel" }).first();
        };
        w.form()->recvShowText->appendPlainText("第一行\nsecond");
        w.form()->recvShowText->selectAll();
        QCOMPARE(copied(), QString("第一行\nsecond | Sel: 10"));
        w.form()->recvShowText->clearSelection();
        QCOMPARE(copied(), QString("第一行\nsecond | Sel: 10"));
        // A word the user double-clicks.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TextBrowser* view = w.form()->recvShowText;
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->positionRect(6).center());
        QCOMPARE(copied(), QString("second | Sel: 6"));
    }

    void startOptions_data()
    {
        using P = StartOptions::Parse;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<P>("result");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("baud");
        QTest::newRow("none: as always") << QStringList {} << P::Ok << "" << 0;
        QTest::newRow("port, rate, open")
            << QStringList { "--port", "/dev/ttyUSB0", "--baud", "115200", "--open" } << P::Ok
            << "/dev/ttyUSB0" << 115200;
        QTest::newRow("relative path from the caller's folder")
            << QStringList { "--port=sim/../ttySIM0" } << P::Ok << "/home/u/ttySIM0" << 0;
        QTest::newRow("bare device name")
            << QStringList { "--port", "ttyACM0" } << P::Ok << "ttyACM0" << 0;
        QTest::newRow("rate not offered")
            << QStringList { "--baud", "12345" } << P::Error << "" << 0;
        QTest::newRow("unknown option") << QStringList { "--bogus" } << P::Error << "" << 0;
        QTest::newRow("missing value") << QStringList { "--port" } << P::Error << "" << 0;
        QTest::newRow("language for this run")
            << QStringList { "--lang", "en" } << P::Ok << "" << 0;
        QTest::newRow("language not offered")
            << QStringList { "--lang", "fr" } << P::Error << "" << 0;
        QTest::newRow("help") << QStringList { "--help" } << P::Help << "" << 0;
        QTest::newRow("version") << QStringList { "-v" } << P::Version << "" << 0;
    }

    void startOptions()
    {
        using P = StartOptions::Parse;
        QFETCH(QStringList, arguments);
        QFETCH(StartOptions::Parse, result);
        QFETCH(QString, port);
        arguments.prepend("quillon");
        StartOptions options;
        QString message;
        QCOMPARE(StartOptions::parse(arguments, "/home/u", &options, &message), result);
        QCOMPARE(StartOptions::asksForTextOnly(arguments),
            result == StartOptions::Parse::Help || result == StartOptions::Parse::Version);
        QCOMPARE(message.isEmpty(), result == StartOptions::Parse::Ok);
        if (result == StartOptions::Parse::Version)
            QCOMPARE(message, QString("quillon 2.8.2\n"));
        QCOMPARE(options.port, port);
        QTEST(options.baudRate, "baud");
        QCOMPARE(options.open, arguments.contains("--open"));
        QCOMPARE(
            options.language, QString(result == P::Ok && arguments.contains("en") ? "en" : ""));
    }

    void startOnAPty()
    {
        MainWindow w; // the bench's pty is not listed
        StartOptions options;
        options.port = pty->slavePath();
        options.baudRate = 115200;
        options.open = true;
        w.applyStartOptions(options);
        QVERIFY(w.port()->isOpen());
        QVERIFY(w.form()->serialNumComboBox->currentText().startsWith(pty->slavePath() + " "));
        QCOMPARE(w.port()->baudRate(), 115200);
        // Not a port the system lists, yet the scan keeps it.
        w.slotUpdateSerialPort();
        QVERIFY(w.port()->isOpen());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
