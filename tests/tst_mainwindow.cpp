// Start-up: the form, the settings store, the update plug-in and the shell chores.
#include "app/core/startoptions.h"
#include "app/mainwindow.h"
#include "share/logshareddialog.h"
#include "shell/core/plugintrust.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QClipboard>
#include <QStyleFactory>

#include <sys/stat.h>

Q_DECLARE_METATYPE(PluginTrust::Verdict)
Q_DECLARE_METATYPE(StartOptions::Parse)

// Collects what the debug log is told while it lives.
struct CapturedMessages : QStringList {
    static inline QStringList* current = nullptr;
    QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { current->append(text); });
    CapturedMessages() { current = this; }
    ~CapturedMessages() { qInstallMessageHandler(previous); }
};

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

    // What start-up shows of the stored settings, and what it writes back.
    void storedSettings_data()
    {
        const auto add = columns<QVariantMap, QStringList>("stored", "shown");
        const QStringList defaults { "4 2400 bps", "3 8 bit", "0 None", "0 1 bit", "0 无", "",
            "tray", "no reconnect", "192.168.1.100" };
        add("defaultsWithoutSettingsFile", QVariantMap(), defaults);
        add("savedValuesRestored",
            QVariantMap { { "SerialConfig/BaudRate", 10 }, { "SerialConfig/DataBits", 1 },
                { "SerialConfig/ChckBits", 2 }, { "SerialConfig/StopBits", 2 },
                { "LineConfig/FlowControl", 2 }, { "SendAreaData/SendData", "AT+GMR\n第二行" },
                { "CustomConfig/MinTray", false }, { "CustomConfig/AutoReconnect", true },
                { "LogSharedConfig/ToAddress", "10.0.0.7" } },
            QStringList { "10 115200 bps", "1 6 bit", "2 Even", "2 2 bit", "2 XON/XOFF",
                "AT+GMR\n第二行", "no tray", "reconnect", "10.0.0.7" });
        add("outOfRangeIndexShowsTheDefault",
            QVariantMap { { "SerialConfig/BaudRate", 99 }, { "SerialConfig/StopBits", -5 },
                { "LineConfig/FlowControl", 7 }, { "SerialConfig/CommPort", "ttyNOPE0 gone   " } },
            defaults);
        // The send area as stored: markup, entities, blanks and line breaks are its text.
        const auto sendArea = [&](const char* tag, const QString& text) {
            QStringList shown = defaults;
            shown[5] = text;
            add(tag, QVariantMap { { "SendAreaData/SendData", text } }, shown);
        };
        sendArea("markup and entities", "<b>AT</b> &lt;x&gt;  two  blanks");
        sendArea("a whole document", "<html><body><p>AT</p></body></html>");
        sendArea("runs of blanks and line breaks", "  AT \n\n\tOK  \n");
        sendArea("ampersand alone", "AT&T & co");
    }

    void storedSettings()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QStringList, shown);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QSettings("Settings.ini", QSettings::IniFormat).setValue(it.key(), it.value());
        QCOMPARE(QFile::exists("Settings.ini"), !stored.isEmpty());
        QVERIFY(!QDir("Record").exists());
        {
            MainWindow w;
            // What the window shows of them; a list shows its index and its text.
            const auto* ui = w.form();
            QStringList now;
            for (const QComboBox* list : { ui->burdrateComboBox, ui->dataBitsComboBox,
                     ui->checksumComboBox, ui->stopBitsComboBox, ui->flowControlComboBox })
                now << QString("%1 %2").arg(list->currentIndex()).arg(list->currentText());
            now << ui->sendDataTextEdit->toPlainText()
                << (w.extraSettings()->isMinTray() ? "tray" : "no tray")
                << (w.extraSettings()->autoReconnect() ? "reconnect" : "no reconnect")
                << w.logShared()->toAddressText();
            QCOMPARE(now, shown);
            QVERIFY(QDir("Record").exists());
            // The hand-over of the close mode writes it back at once; the port is not written.
            QSettings s("Settings.ini", QSettings::IniFormat);
            QCOMPARE(s.value("CustomConfig/MinTray").toBool(), shown.at(6) == "tray");
            QCOMPARE(s.value("SerialConfig/CommPort"), stored.value("SerialConfig/CommPort"));
        }
        // Nothing was written back over the user's text.
        QSettings s("Settings.ini", QSettings::IniFormat);
        QCOMPARE(s.value("SendAreaData/SendData").toString(), shown.at(5));
    }

    void formAtStart()
    {
        MainWindow w;
        auto* ui = w.form();
        QCOMPARE(w.size(), QSize(1034, 706));
        // The port's controls before an open are checked with the port tests.
        QCOMPARE(QStringList({ w.windowTitle(), ui->recvAreaGroupBox->title(),
                     ui->openSerialButton->toolTip(), ui->recvShowText->font().family() }),
            QStringList({ "Quillon V2.8.2  (2022-09-20)", "接收区 - 来源串口", "打开/关闭指定串口",
                "新宋体" }));
        QCOMPARE(QList<bool>({ ui->showTimeCheckBox->isChecked(), ui->showHexCheckBox->isChecked(),
                     ui->fileProgressBar->isHidden(), ui->fileProgressLabel->isHidden(),
                     ui->supportMenu->menuAction()->isVisible(), ui->actionWelcome->isVisible(),
                     ui->keyHighlightToolButton->isEnabled() }),
            QList<bool>({ true, false, true, true, false, false, false }));
        QCOMPARE(QList<int>({ ui->maxRowsSpinBox->value(), ui->maxRowsSpinBox->maximum(),
                     ui->maxRowsSpinBox->singleStep(), ui->timeAutoSpinBox->value(),
                     ui->timeAutoSpinBox->maximum(), ui->fileProgressBar->maximum(),
                     ui->recvShowText->font().pointSize(), ui->recvShowText->font().styleHint() }),
            QList<int>({ 100000, 10000000, 100, 1000, 300000, 5000, 10, QFont::TypeWriter }));
        // The lists offer the values the port takes.
        const auto value = [](const QComboBox* list, int i) { return list->itemData(i).toInt(); };
        QCOMPARE(QList<int>({ ui->burdrateComboBox->count(), value(ui->burdrateComboBox, 16),
                     value(ui->burdrateComboBox, 0), value(ui->stopBitsComboBox, 1),
                     value(ui->checksumComboBox, 3), value(ui->dataBitsComboBox, 0) }),
            QList<int>({ 17, 2000000, 110, QSerialPort::OneAndHalfStop, QSerialPort::MarkParity,
                QSerialPort::Data5 }));
    }

    void statusBar()
    {
        MainWindow w;
        QStringList texts;
        for (const char* name : { "serialStateLabel", "linesLabel", "recvLabel", "sendLabel",
                 "selLabel", "welcomeLabel", "timeLabel" }) {
            const auto* label = w.findChild<QLabel*>(name);
            texts << (label ? label->text() : QString("no ") + name);
        }
        QCOMPARE(texts,
            QStringList({ "串口未打开 ", "Lines: 000000", "Recv: 0000000", "Send: 0000000",
                "Sel: 0", "欢迎使用quillon - 串口调试助手", "当前时间: " }));
        auto* state = w.findChild<QLabel*>("serialStateLabel");
        QCOMPARE(state->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(state->font().bold());
        QCOMPARE(w.findChild<QLabel*>("welcomeLabel")->minimumSize(), QSize(280, 20));
        QTRY_VERIFY(w.findChild<QLabel*>("timeLabel")->text().startsWith("时间: "));
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
        QVERIFY(first->updateInterface() && second->updateInterface());
        delete first;
        delete second; // the one plug-in instance is deleted once
        MainWindow third;
        QVERIFY(third.updateInterface());
    }

    // Only our own plug-in, under its own name in a folder only we may write, is loaded.
    void pluginLoading_data()
    {
        // Our plug-in or not, file names in ./plugins, and a path then made writable by anyone.
        const auto add = columns<bool, QStringList, QString>("ours", "strangers", "opened");
        const QStringList around { "libAaaPlugin.so", "libZzzPlugin.so",
            "libOrvUpdatePlugin.so.1" };
        const QStringList planted { "libOrvUpdatePlugin.so" };
        add("missingPluginWarnsOnce", false, {}, "");
        add("pluginFoundAndCalledOnce", true, {}, "");
        add("strangers alone", false, around, "");
        add("strangers beside ours", true, around, "");
        add("our name in another case", false, { "liborvupdateplugin.so" }, "");
        add("our name, working folder 0777", false, planted, ".");
        add("our name, plugins folder 0777", false, planted, "plugins");
        add("our name, file 0666", false, planted, "plugins/libOrvUpdatePlugin.so");
    }

    void pluginLoading()
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
            const auto checks = [&messages] { return messages.filter("checkForUpdate"); };
            QCOMPARE(bool(w.updateInterface()), ours);
            QCOMPARE(boxes->texts(),
                ours ? QStringList() : QStringList { "缺少 OrvUpdatePlugin.dll 库\t" });
            for (const MsgBox::Call& call : boxes->calls)
                QVERIFY(call.kind == MsgBox::Warning && call.title == "警告");
            // The construction scan runs the one update check.
            QCOMPARE(checks().size(), ours ? 1 : 0);
            if (ours) {
                QVERIFY(checks().first().contains("Quillon-Setup"));
                w.slotUpdateSerialPort();
                QCOMPARE(checks().size(), 1);
                // Re-arming from the settings dialog allows one more.
                w.slotAutoCheckUpdate(true);
                w.slotUpdateSerialPort();
                QCOMPARE(checks().size(), 2);
                QSettings s("Settings.ini", QSettings::IniFormat);
                QCOMPARE(s.value("CustomConfig/AutoUpdate").toBool(), true);
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
        using V = PluginTrust::Verdict;
        const auto add = columns<uint, uint, uint, V>("owner", "mode", "me", "verdict");
        add("my folder 0700", 1000, S_IFDIR | 0700, 1000, V::Trusted);
        add("root's folder 0755", 0, S_IFDIR | 0755, 1000, V::Trusted);
        add("someone else's", 1001, S_IFREG | 0644, 1000, V::ForeignOwner);
        add("mine as root, not", 1000, S_IFREG | 0644, 0, V::ForeignOwner);
        add("group may write", 1000, S_IFDIR | 0775, 1000, V::GroupWritable);
        add("anyone may write", 1000, S_IFDIR | 0777, 1000, V::OtherWritable);
        add("sticky like /tmp", 0, S_IFDIR | 01777, 1000, V::OtherWritable);
        add("file 0606", 1000, S_IFREG | 0606, 1000, V::OtherWritable);
    }

    void pluginTrust()
    {
        QFETCH(uint, owner);
        QFETCH(uint, mode);
        QFETCH(uint, me);
        QTEST(PluginTrust::judge(owner, mode, me), "verdict");
    }

    void changeLogSeed_data()
    {
        const auto add = columns<int, bool>("size", "rewritten");
        add("missing", -1, true);
        add("63 bytes", 63, true);
        add("64 bytes", 64, false);
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
        const QString text = QString::fromUtf8(fileBytes("change.log"));
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

    void showHideOperator()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto* ui = w.form();
        QStringList states; // the two areas and the action's text
        for (int i = 0; i < 2; ++i) {
            ui->actionOperator->trigger();
            states << QStringList({ ui->controlAreaGroupBox->isVisible() ? "shown" : "hidden",
                                      ui->advancedGroupBox->isVisible() ? "shown" : "hidden",
                                      ui->actionOperator->text() })
                          .join(' ');
        }
        QCOMPARE(states, QStringList({ "hidden hidden 操作显示(&H)", "shown shown 操作隐藏(&H)" }));
        QCOMPARE(ui->actionOperator->toolTip(), QString("操作隐藏"));
    }

    void selectionGoesToClipboard()
    {
        MainWindow w;
        // What was copied, and the selection's length in the status bar.
        const auto copied = [&w] {
            return QGuiApplication::clipboard()->text() + " | "
                + w.findChild<QLabel*>("selLabel")->text();
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
        using L = QStringList;
        const auto add = columns<L, P, QString, int>("arguments", "result", "port", "baud");
        add("none: as always", L {}, P::Ok, "", 0);
        add("port, rate, open", L { "--port", "/dev/ttyUSB0", "--baud", "115200", "--open" }, P::Ok,
            "/dev/ttyUSB0", 115200);
        add("relative path from the caller's folder", L { "--port=sim/../ttySIM0" }, P::Ok,
            "/home/u/ttySIM0", 0);
        add("bare device name", L { "--port", "ttyACM0" }, P::Ok, "ttyACM0", 0);
        add("rate not offered", L { "--baud", "12345" }, P::Error, "", 0);
        add("unknown option", L { "--bogus" }, P::Error, "", 0);
        add("missing value", L { "--port" }, P::Error, "", 0);
        add("language for this run", L { "--lang", "en" }, P::Ok, "", 0);
        add("language not offered", L { "--lang", "fr" }, P::Error, "", 0);
        add("help", L { "--help" }, P::Help, "", 0);
        add("version", L { "-v" }, P::Version, "", 0);
    }

    void startOptions()
    {
        using P = StartOptions::Parse;
        QFETCH(QStringList, arguments);
        QFETCH(StartOptions::Parse, result);
        arguments.prepend("quillon");
        StartOptions options;
        QString message;
        QCOMPARE(StartOptions::parse(arguments, "/home/u", &options, &message), result);
        QCOMPARE(
            StartOptions::asksForTextOnly(arguments), result == P::Help || result == P::Version);
        QCOMPARE(message.isEmpty(), result == P::Ok);
        if (result == P::Version)
            QCOMPARE(message, QString("quillon 2.8.2\n"));
        QTEST(options.port, "port");
        QTEST(options.baudRate, "baud");
        QCOMPARE(options.open, arguments.contains("--open"));
        QCOMPARE(
            options.language, QString(result == P::Ok && arguments.contains("en") ? "en" : ""));
    }

    void startOnAPty()
    {
        MainWindow w; // the bench's pty is not listed
        w.applyStartOptions({ pty->slavePath(), 115200, true, {} });
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
