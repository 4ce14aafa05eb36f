// The MCU upgrade dialogue in the main window, against scripted pty text and the simulated board.
#include "app/mainwindow.h"
#include "devsimprocess.h"
#include "testdata.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "ui_mainwindow.h"

class tst_Upgrade : public PtyWindowTest {
    Q_OBJECT

private slots:
    // Half the tests run the simulator: outside CTest, which names it, the suite is skipped.
    void initTestCase() { NEED_SIMULATOR(); }
    void cleanup()
    {
        window.reset();
        sim.reset();
        PtyWindowTest::cleanup();
    }

    // Scripted through a pty

    void promptsAndAnswers()
    {
        QVERIFY(openWindow(pty->slavePath()));
        arm({}, "k3y", 3);
        // The menu ends in a prompt without a line end: it joins the last line, unprefixed.
        QVERIFY(pty->write("Copyright (C) 2015 Brenlow\r\nboot-loader m4\r\n=========\r\n1 - a\r\n"
                           "=========\r\n>"));
        QByteArray written;
        QTRY_COMPARE((written += pty->read(10)), QByteArray("44"));
        QTRY_COMPARE(viewLines(),
            QStringList({ "RX←◆Copyright (C) 2015 Brenlow", "RX←◆boot-loader m4",
                "RX←◆=========", "RX←◆1 - a", "RX←◆=========>" }));
        // Each password prompt is answered with the key and nothing else: no echo, no counting.
        QVERIFY(pty->write("\r\n" + gbk("请输入操作密码：")));
        QTRY_COMPARE((written += pty->read(10)), QByteArray("44k3y"));
        QVERIFY(pty->write("***\r\n" + gbk("请再次输入密码：") + "\r\n"));
        QTRY_COMPARE((written += pty->read(10)), QByteArray("44k3yk3y"));
        QCOMPARE(window->sent(), 0);
        QVERIFY(!view().contains("TX→◇"));
        // The file request without a path does nothing; a success line ends the dialogue.
        QVERIFY(pty->write(gbk("请传送主程序HEX文件...\r\n文件下载成功！\r\n")));
        QTRY_VERIFY(!upgrade()->isMcuUpgradeChecked());
        QCOMPARE(window->form()->sendFileButton->text(), QString("发送文件"));
        QCOMPARE(pty->read(200), QByteArray());
        QVERIFY(boxes->calls.isEmpty());
        QCOMPARE(viewLines().mid(5),
            QStringList({ "RX←◆请输入操作密码：", "RX←◆***", "RX←◆请再次输入密码：",
                "RX←◆请传送主程序HEX文件...", "RX←◆文件下载成功！" }));
    }

    void showsTimeAndCountsLines()
    {
        QVERIFY(openWindow(pty->slavePath()));
        window->form()->showTimeCheckBox->setChecked(true);
        arm();
        QVERIFY(pty->write(QByteArrayLiteral("\0\0zero\r\n>>\r\n> \r\n")));
        QTRY_COMPARE(viewLines().size(), 2);
        // Zeros as blanks and the prompt joined; a trailing blank makes a plain line.
        const QString stamp = "[00:00:00.000]";
        QCOMPARE(viewLines().replaceInStrings(
                     QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\]"), stamp),
            QStringList({ stamp + "RX←◆  zero>>", stamp + "RX←◆> " }));
        QCOMPARE(window->lines(), 2);
    }

    void uncheckedBoxDisplaysNormally()
    {
        QVERIFY(openWindow(pty->slavePath()));
        window->form()->showHexCheckBox->setChecked(true);
        arm();
        QVERIFY(pty->write("AB\r\n"));
        QTRY_COMPARE(viewLines(), QStringList({ "RX←◆AB" })); // the dialogue shows text, not hex
        upgrade()->setMcuUpgradeChecked(false);
        QVERIFY(pty->write("AB\r\n"));
        QTRY_COMPARE(viewLines(), QStringList({ "RX←◆AB", "RX←◆41 42 0D 0A " }));
    }

    void uncheckingByHandKeepsTheFlags()
    {
        QVERIFY(openWindow(pty->slavePath()));
        arm();
        QVERIFY(pty->write("Copyright (C) 2015 Brenlow\r\nboot- m4\r\n"));
        QTRY_COMPARE(viewLines().size(), 2);
        upgrade()->setMcuUpgradeChecked(false);
        QVERIFY(pty->write("=========\r\n")); // shown normally, not answered
        QTRY_COMPARE(viewLines().size(), 3);
        QCOMPARE(pty->read(200), QByteArray());
        upgrade()->setMcuUpgradeChecked(true);
        QVERIFY(pty->write("=========\r\n"));
        QByteArray written;
        QTRY_COMPARE((written += pty->read(10)), QByteArray("2"));
    }

    // Against the simulated boot loader

    void fullDownload_data()
    {
        // The type picked in the dialogue and the board's answer to it.
        const auto add = columns<int, QString>("type", "chosen");
        add("fullDownload", 2, "3 - 下载主程序 BIN文件");
        add("downloadThroughBootLoader", 3, "4 - 下载整合字库文件");
    }

    void fullDownload()
    {
        QFETCH(int, type);
        QFETCH(QString, chosen);
        const QByteArray firmware = sampleFile(20000);
        QVERIFY(download(firmware.size(),
            { "--key", "Brenlow-2015-KEY", "--download-quiet", "500" }, "Brenlow-2015-KEY", type));
        // Hex display tells the normal display from the dialogue, which always shows text.
        window->form()->showHexCheckBox->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!upgrade()->isMcuUpgradeChecked(), 20000);
        for (const QString& expected : QStringList { "RX←◆Copyright (C) 2015 Brenlow",
                 "RX←◆Brenlow boot-loader V2.1.0 for STM32F407 (cortex-m4)",
                 "RX←◆" + QString(50, '=') + '>', "RX←◆已选择：" + chosen, "RX←◆请输入操作密码：",
                 "RX←◆请再次输入密码：", "RX←◆密码验证通过", "RX←◆请传送主程序HEX文件...",
                 "发送完毕！", "RX←◆接收完成，共 20000 字节", "RX←◆文件下载成功！",
                 // Progress prompts gather on one line of their own.
                 ">>" + QString(3 * (20000 / 4096), '>') })
            QVERIFY2(
                viewLines().contains(expected), qPrintable(expected + " missing from\n" + view()));
        QCOMPARE(window->form()->sendFileButton->text(), QString("发送文件"));
        QVERIFY(boxes->calls.isEmpty());
        QCOMPARE(fileBytes(received()), firmware);
        // The application starts again; its first line reaches the normal (hex) display.
        const QByteArray starting = gbk("正在启动应用程序...\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(
            view().contains(QString::fromLatin1(starting.toHex(' ').toUpper()) + ' '), 3000);
        // Back in the application: echo again.
        window->form()->addLFCheckBox->setChecked(true);
        window->form()->sendDataTextEdit->setPlainText("ping");
        window->form()->sendDataButton->click();
        QTRY_COMPARE(viewLines().last(), QString("RX←◆70 69 6E 67 0D 0A "));
    }

    void silentDeviceTimesOut()
    {
        const int size = 80000; // eight seconds at 10 KB/s: still running when the time-out comes
        QVERIFY(download(size, { "--silent-after-prompt" }));

        // The board's one progress prompt, then silence. The wait is measured from the poll before
        // the one that saw the last bytes counted: never after the program's wait began.
        QElapsedTimer clock;
        clock.start();
        int count = window->received();
        qint64 quietSince = 0, previousPoll = 0;
        while (boxes->calls.isEmpty() && clock.elapsed() < 20000) {
            const qint64 poll = clock.elapsed();
            if (window->received() != count) {
                count = window->received();
                quietSince = previousPoll;
            }
            previousPoll = poll;
            QTest::qWait(5);
        }
        const qint64 waited = clock.elapsed() - quietSince;
        QVERIFY(view().contains(">>>>>"));
        QCOMPARE(boxes->texts(), QStringList { "MCU(M4)长时间未响应\t" });
        QCOMPARE(boxes->calls.first().kind, MsgBox::Warning);
        QCOMPARE(boxes->calls.first().title, QString("文件发送失败"));
        // Five seconds of silence, and well before the file would have been sent.
        QVERIFY2(waited >= 5000 && waited < 7000, qPrintable(QString::number(waited)));

        // Stopped, not finished; the box stays checked and what arrived is the file's beginning.
        QCOMPARE(window->form()->sendFileButton->text(), QString("发送文件"));
        QVERIFY(upgrade()->isMcuUpgradeChecked());
        QVERIFY(!view().contains("发送完毕！"));
        QVERIFY(window->sent() < size);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(received()).size() > 0, 3000);
        const QByteArray part = fileBytes(received());
        QVERIFY(part.size() >= 4096 && part.size() < size);
        QVERIFY(part == sampleFile(size).left(part.size()));
        QCOMPARE(boxes->calls.size(), 1);
    }

    void bootLineStopsTheTransfer()
    {
        const int size = 40000;
        QVERIFY(download(size, { "--boot-line-mid-transfer", "6000", "--download-quiet", "300" }));
        QTRY_VERIFY_WITH_TIMEOUT(viewLines().contains("RX←◆MCU Boot：看门狗复位，重新启动"), 8000);
        QTRY_COMPARE(window->form()->sendFileButton->text(), QString("发送文件"));
        QVERIFY(window->sent() < size);
        QVERIFY(!view().contains("发送完毕！"));
        QVERIFY(upgrade()->isMcuUpgradeChecked()); // a restart is not a success
        // The board takes over again once the line is quiet; the dialogue still shows its text.
        QTRY_VERIFY_WITH_TIMEOUT(viewLines().contains("RX←◆正在启动应用程序..."), 3000);
        QVERIFY(boxes->calls.isEmpty());
        QVERIFY(fileBytes(received()) == sampleFile(size).left(6000));
    }

    void wrongKeyStartsNothing()
    {
        QVERIFY(download(1000, { "--key", "RIGHT" }, "WRONG"));
        QTRY_VERIFY_WITH_TIMEOUT(viewLines().contains("RX←◆密码错误！升级已取消"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(viewLines().contains("RX←◆正在启动应用程序..."), 3000);
        QCOMPARE(window->form()->sendFileButton->text(), QString("发送文件"));
        QCOMPARE(window->sent(), 14); // the reset command only: no file went out
        QVERIFY(upgrade()->isMcuUpgradeChecked());
        QVERIFY(boxes->calls.isEmpty());
    }

private:
    // Lists the port (the bench's pty or the simulated board's) alone and opens it.

    MainWindow* openWindow(const QString& path)
    {
        bench->env.set(path);
        window.reset(new MainWindow);
        auto* combo = window->form()->serialNumComboBox;
        // The path and the blank after it: /dev/pts/1 must not pick /dev/pts/10.
        combo->setCurrentIndex(combo->findText(path + ' ', Qt::MatchStartsWith));
        window->form()->openSerialButton->click();
        window->form()->showTimeCheckBox->setChecked(false);
        return window->port()->isOpen() ? window.get() : nullptr;
    }

    QString view() const { return window->form()->recvShowText->toPlainText(); }
    QStringList viewLines() const { return view().split('\n'); }
    // Checks the dialogue's box for a download of source with this key and type (-1: as is).
    void arm(const QString& source = {}, const QString& key = {}, int type = -1)
    {
        window->form()->fileDataLineEdit->setText(source);
        if (type >= 0)
            upgrade()->findChild<QComboBox*>("typeUpgradeComboBox")->setCurrentIndex(type);
        if (!key.isEmpty())
            upgrade()->findChild<QLineEdit*>("mcuKeyLineEdit")->setText(key);
        upgrade()->setMcuUpgradeChecked(true);
    }
    AdditionFunction* upgrade() const { return window->additionWindow(); }

    // Starts the simulated boot loader with these options, saving to received(), opens it in a new
    // window and starts the download of a sample file of this size by a reset.
    bool download(int size, const QStringList& options, const QString& key = {}, int type = -1)
    {
        const QString source = work->path() + "/firmware.bin";
        if (!writeFile(source, sampleFile(size)))
            return false;
        sim.reset(new DevSimProcess);
        const QStringList loader { "--quiet", "--boot-on-reset", "--download-file", received() };
        if (!sim->start(loader + options) || !openWindow(sim->ptyPath())) {
            qWarning() << sim->errors();
            return false;
        }
        arm(source, key, type);
        upgrade()->findChild<QToolButton*>("resetMCUToolButton")->click();
        return true;
    }
    QString received() const { return sim->filePath("received.bin"); }

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<DevSimProcess> sim;
};

QTEST_MAIN(tst_Upgrade)
#include "tst_upgrade.moc"
