// Sending from the send area, auto-send, the send delay and file transfer, through a pty.
#include "app/mainwindow.h"
#include "serial/core/txformat.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "ui_mainwindow.h"

#include <sys/stat.h>

// The file area: caption, file timer, send area or progress bar, whether a file can be picked.
static QString fileState(MainWindow& w)
{
    const auto* ui = w.form();
    return QStringList { ui->sendFileButton->text(),
        w.fileTimer()->isActive() ? "ticking" : "still",
        ui->sendDataTextEdit->isHidden() ? "" : "send area",
        ui->fileProgressBar->isHidden() ? "" : "progress",
        ui->openFileButton->isEnabled() ? "pick" : "" }
        .join(' ')
        .simplified();
}

// Writes the file; its bytes: those given, then up to `size` bytes that do not repeat soon.
static QByteArray makeFile(const QString& path, int size, QByteArray data = {})
{
    for (int i = data.size(); i < size; ++i)
        data += char((i * 7 + i / 251) & 0xFF);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
    return data;
}

// What a refusal test does to its fresh window.
using Action = std::function<void(MainWindow&)>;
Q_DECLARE_METATYPE(Action)

class tst_Transmit : public PtyWindowTest {
    Q_OBJECT

private slots:
    void cleanup()
    {
        MsgBox::setOpenFileHandler({});
        PtyWindowTest::cleanup();
    }

    void hexConversion_data()
    {
        const auto add
            = columns<QString, QByteArray, QString, bool>("text", "bytes", "echo", "valid");
        add("blanks dropped, case kept", "01 02 0a", "\x01\x02\x0a", "01 02 0a ", true);
        add("odd length: last digit alone", "123", "\x12\x03", "12 3 ", true);
        add("non-hex group gives zero", "zz41", QByteArray("\x00\x41", 2), "zz 41 ", false);
        add("line break is not hex", "01\r\n02", QByteArray("\x01\x00\x02", 3), "01 \r\n 02 ",
            false);
        add("empty", "", QByteArray(), "", true);
    }

    void hexConversion()
    {
        QFETCH(QString, text);
        QString gotEcho;
        QTEST(TxFormat::hexToBytes(text, &gotEcho), "bytes");
        QTEST(gotEcho, "echo");
        QTEST(TxFormat::isValidHex(text), "valid");
    }

    void fileArithmetic()
    {
        const auto seconds
            = [](int size) { return QString::number(TxFormat::estimateSeconds(size)); };
        QCOMPARE(QStringList({ seconds(10000), seconds(1000), seconds(300) }),
            QStringList({ "1.14", "0.06", "0" }));
        QCOMPARE(QList<int>({ TxFormat::progressValue(512, 1536), TxFormat::progressValue(0, 0),
                     TxFormat::nextPacketSize(512, 1000), TxFormat::nextPacketSize(0, 1000),
                     TxFormat::nextPacketSize(1000, 1000) }),
            QList<int>({ 1666, 0, 488, 512, 0 }));
        QCOMPARE(QStringList({ TxFormat::previewText(QByteArray("ab\0cd", 5)),
                     TxFormat::previewText(QByteArray("\0cd", 3)) }),
            QStringList({ "ab", "" }));
    }

    void dotAnimation()
    {
        int tick = 0;
        QStringList formats;
        for (int i = 0; i < 52; ++i)
            formats << TxFormat::dotFormat(&tick);
        // The phase starts again after 50 ticks.
        QCOMPARE(QStringList({ formats.at(0), formats.at(9), formats.at(10), formats.at(40),
                     formats.at(49), formats.at(50) }),
            QStringList({ "%1 .", "%1 .", "%1 ..", "%1 .....", "%1 .....", "%1 ." }));
        QCOMPARE(tick, 2);
    }

    void sendArea_data()
    {
        const auto add = columns<QString, bool, bool, QByteArray, QString, QByteArray>(
            "text", "hex", "crlf", "wire", "echo", "codec");
        add("hex with CR LF", "01 02 0a", true, true, "\x01\x02\x0a\x0d\x0a", "TX→◇01 02 0a 0D 0A",
            "GBK");
        add("odd hex", "123", true, false, "\x12\x03", "TX→◇12 3 ", "GBK");
        add("multi-line text", "ab\ncd", false, false, "ab\r\ncd", "TX→◇ab\nTX→◇cd", "GBK");
        add("outside Latin-1", "温a", false, false, "?a", "TX→◇温a", "ISO-8859-1");
        add("text with CR LF", "AT", false, true, "AT\r\n", "TX→◇AT\n", "GBK");
        add("GBK text", "温a", false, false, "\xce\xc2\x61", "TX→◇温a", "GBK");
        add("UTF-8 text", "✓°", false, false, "\xe2\x9c\x93\xc2\xb0", "TX→◇✓°", "UTF-8");
    }

    void sendArea()
    {
        QFETCH(QString, text);
        QFETCH(bool, hex);
        QFETCH(bool, crlf);
        QFETCH(QByteArray, wire);
        QFETCH(QString, echo);
        QFETCH(QByteArray, codec);
        MainWindow w;
        w.extraSettings()->setCodec(codec);
        w.form()->sendHexCheckBox->setChecked(hex);
        w.form()->addLFCheckBox->setChecked(crlf);
        w.form()->sendDataTextEdit->setPlainText(text);
        openPort(w, NoTime);
        w.form()->sendDataButton->click();
        QCOMPARE(pty->readAtLeast(wire.size()), wire);
        QCOMPARE(w.sent(), wire.size());
        QCOMPARE(w.findChild<QLabel*>("sendLabel")->text(),
            QString("Send: %1").arg(wire.size(), 7, 10, QChar('0')));
        // "multi-line text" echoes as two paragraphs with one marker: compare the first line only.
        QCOMPARE(viewLines(w).first(), echo.split('\n').first());
        QVERIFY(boxes->calls.isEmpty());
    }

    void autoSendAtItsPeriod()
    {
        MainWindow w;
        w.form()->sendDataTextEdit->setPlainText("P");
        openPort(w);
        w.form()->timeAutoSpinBox->setValue(100);
        w.form()->autoSendCheckBox->setChecked(true);
        QCOMPARE(w.autoSend()->interval(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(w.sent() >= 3, 3000);
        w.form()->autoSendCheckBox->setChecked(false);
        QVERIFY(!w.autoSend()->isActive());
        QCOMPARE(pty->readAtLeast(w.sent(), 1000), QByteArray(w.sent(), 'P'));
    }

    void delayKeepsEventsRunning()
    {
        MainWindow w;
        openPort(w, NoTime);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer t;
        t.start();
        w.slotSerialSendData("late", false, 500);
        const qint64 took = t.elapsed();
        QVERIFY2(took >= 500, qPrintable(QString::number(took)));
        QVERIFY(ticks >= 5); // other events ran during the wait
        QCOMPARE(pty->readAtLeast(4), QByteArray("late"));
    }

    // Each row does one thing the window must refuse: the boxes it shows, and nothing is sent.
    void refused_data()
    {
        const auto add = columns<QStringList, Action>("warnings", "action");
        add("invalidHexSendsNothing",
            { "不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t" }, [this](MainWindow& w) {
                w.form()->sendHexCheckBox->setChecked(true);
                w.form()->sendDataTextEdit->setPlainText("01\n02");
                openPort(w);
                w.form()->sendDataButton->click();
            });
        add("writeOnClosedPortWarns", { "发送失败：TX→◇x\t" }, [](MainWindow& w) {
            w.form()->showTimeCheckBox->setChecked(false);
            w.slotSerialSendData("x", false, 0);
        });
        add("refusedWhilePortClosed", { "串口未打开，无法发送文件！\t" }, [this](MainWindow& w) {
            makeFile(work->path() + "/f.bin", 100);
            w.form()->fileDataLineEdit->setText(work->path() + "/f.bin");
            w.show();
            QTest::keyClick(&w, Qt::Key_F8);
        });
        add("refusedWithoutPath", { "没有指定文件路径！\t", "打开文件失败！\t" },
            [this](MainWindow& w) {
                openPort(w);
                w.form()->sendFileButton->click();
                w.form()->fileDataLineEdit->setText(work->path() + "/missing.bin");
                w.form()->sendFileButton->click();
            });
    }

    void refused()
    {
        QFETCH(Action, action);
        MainWindow w;
        action(w);
        QTEST(boxes->texts(), "warnings");
        QCOMPARE(
            QStringList({ pty->read(200), QString::number(w.sent()), viewText(w),
                w.form()->sendFileButton->text(), w.fileTimer()->isActive() ? "ticking" : "" }),
            QStringList({ "", "0", "", "发送文件", "" }));
    }

    void fileTransfer_data()
    {
        const auto add = columns<int, QString>("size", "estimate");
        add("empty file", 0, "0");
        add("1000 bytes", 1000, "0.06");
        add("20000 bytes", 20000, "2.34");
    }

    void fileTransfer()
    {
        QFETCH(int, size);
        QFETCH(QString, estimate);
        MainWindow w;
        const QByteArray data = sendFile(w, size);
        QCOMPARE(fileState(w), QString("停止发送 ticking progress"));
        QCOMPARE(pty->readAtLeast(size, 15000), data);
        QTRY_COMPARE_WITH_TIMEOUT(w.form()->sendFileButton->text(), QString("发送文件"), 5000);
        QCOMPARE(fileState(w) + " " + QString::number(w.sent()),
            QString("发送文件 still send area pick %1").arg(size));
        const QString view = viewText(w),
                      head("文件大小: %1\n波特率: 2400 bps\n需要时间: 大约用时 %2 "
                           "秒(每包数据512字节，周期50毫秒)\n请稍候...\n");
        QVERIFY2(view.startsWith(head.arg(size).arg(estimate)) && view.endsWith("\n发送完毕！"),
            qPrintable(view));
        QVERIFY(w.form()->fileProgressLabel->text().contains("状态：传输完成")
            && boxes->calls.isEmpty());
    }

    void progressAfterFirstOfThreePackets()
    {
        MainWindow w;
        const QByteArray data = sendFile(w, 1536, true);
        QCOMPARE(w.form()->fileProgressBar->value(), 1666);
        QCOMPARE(pty->readAtLeast(512), data.left(512));
        QVERIFY(w.form()->fileProgressLabel->text().startsWith(
            "文件大小：1536 字节，已发送：512 字节，状态：传输中 ."));
        w.slotFileSendData();
        w.slotFileSendData();
        QCOMPARE(w.form()->fileProgressBar->value(), 5000);
        QCOMPARE(
            fileState(w), QString("停止发送 still progress")); // completion comes one tick later
        w.slotFileSendData();
        QCOMPARE(fileState(w), QString("发送文件 still send area pick"));
    }

    void stopAndRestartFromBeginning()
    {
        MainWindow w;
        const QByteArray data = sendFile(w, 3000, true);
        QCOMPARE(pty->readAtLeast(512), data.left(512));
        w.form()->sendFileButton->click(); // stop
        QCOMPARE(fileState(w), QString("发送文件 still send area pick"));
        QVERIFY(!viewText(w).contains("发送完毕！"));
        w.form()->sendFileButton->click(); // start again
        QCOMPARE(pty->readAtLeast(3000, 10000), data);
        QTRY_COMPARE(w.form()->sendFileButton->text(), QString("发送文件"));
    }

    void closingPortStopsTransfer()
    {
        MainWindow w;
        sendFile(w, 20000);
        w.form()->openSerialButton->click();
        QCOMPARE(fileState(w) + (w.port()->isOpen() ? " open" : ""),
            QString("发送文件 still send area"));
        QVERIFY(boxes->calls.isEmpty());
    }

    // A previewed file's size and text up to its first NUL follow the view, wherever its cursor is.
    void preview_data()
    {
        // The lines in the view before, and the selection (-1: the end).
        const auto add = columns<QStringList, int, int>("lines", "anchor", "position");
        const QStringList two { "RX←◆first line", "RX←◆second line" };
        add("openFilePreview", QStringList(), 0, 0);
        add("a selection inside the view", two, 4, 12);
        add("the whole view selected", two, 0, -1);
        add("cursor at the start", two, 0, 0);
        add("cursor inside a line", two, 6, 6);
    }

    void preview()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, anchor);
        QFETCH(int, position);
        const QString path = work->path() + "/text.bin";
        makeFile(path, 0, QByteArray("hello 世界\0tail", 17));
        QString askedDir = "unset";
        MsgBox::setOpenFileHandler([&](const QString&, const QString& dir) {
            askedDir = dir;
            return path;
        });
        MainWindow w;
        auto* view = w.form()->recvShowText;
        for (const QString& line : lines)
            view->appendPlainText(line);
        const QString before = view->toPlainText();
        view->setSelection(anchor, position < 0 ? before.size() : position);
        w.slotOpenFileButton(); // by its slot: the file area is disabled while the port is closed
        QCOMPARE(askedDir, QString());
        QCOMPARE(view->toPlainText(),
            (before.isEmpty() ? "" : before + "\n")
                + "文件大小:17字节,下面是预览的前4000字节内容:\n\nhello 世界");
        QCOMPARE(w.form()->fileDataLineEdit->text(), path);
        w.slotOpenFileButton();
        QCOMPARE(askedDir, path);
        // A cancelled dialog changes nothing.
        MsgBox::setOpenFileHandler([](const QString&, const QString&) { return QString(); });
        w.form()->fileDataLineEdit->clear();
        w.slotOpenFileButton();
        QCOMPARE(w.form()->fileDataLineEdit->text(), QString());
    }

    void onlyRegularFiles_data()
    {
        const auto add = columns<QString, QString>("kind", "way");
        for (const char* kind : { "named pipe", "/dev/zero", "terminal", "folder", "regular file" })
            for (const char* way : { "preview", "transfer", "firmware" })
                add(QByteArray(kind) + ", " + way, kind, way);
    }

    void onlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, way);
        QString path = work->path() + "/file";
        QByteArray data;
        if (kind == "named pipe")
            QCOMPARE(mkfifo(qPrintable(path), 0600), 0);
        else if (kind == "regular file")
            data = makeFile(path, 1000);
        else
            path = kind == "terminal" ? pty->slavePath() : kind == "folder" ? work->path() : kind;
        MsgBox::setOpenFileHandler([&](const QString&, const QString&) { return path; });
        alarm(30); // a blocked open or an endless read fails the test instead of hanging it
        MainWindow w;
        openPort(w);
        if (way == "preview")
            w.form()->openFileButton->click();
        else
            w.form()->fileDataLineEdit->setText(path);
        if (way == "transfer")
            w.form()->sendFileButton->click();
        // The boot loader asks for the firmware file.
        w.additionWindow()->setMcuUpgradeChecked(way == "firmware");
        if (way == "firmware")
            QVERIFY(pty->write("Copyright (C) 2015 Brenlow\r\nboot-m4\r\n"
                + QTextCodec::codecForName("GBK")->fromUnicode("请传送主程序HEX文件...\r\n")));
        QTRY_VERIFY(boxes->calls.size() == 1 || w.form()->sendFileButton->text() == "停止发送"
            || viewText(w).contains("文件大小:"));
        if (data.isEmpty()) {
            QCOMPARE(boxes->calls.size(), 1);
            QVERIFY2(boxes->lastText().startsWith("文件 " + path + " 不是普通文件（"),
                qPrintable(boxes->lastText()));
            // The title, the button, the path, and nothing sent.
            QCOMPARE(QStringList({ boxes->calls.first().title, w.form()->sendFileButton->text(),
                         w.form()->fileDataLineEdit->text(), QString(pty->read(200)) }),
                QStringList({ "警告", "发送文件", way == "preview" ? "" : path, "" }));
        } else if (way == "preview") {
            QVERIFY(viewText(w).startsWith("文件大小:1000字节,"));
        } else {
            QCOMPARE(pty->readAtLeast(data.size()), data);
        }
        alarm(0);
    }

    void functionKeys()
    {
        MainWindow w;
        w.show();
        QTest::keyClick(&w, Qt::Key_F12);
        QCOMPARE(boxes->lastText(), QString("尚无任何数据，无需保存！\t"));
        QTest::keyClick(&w, Qt::Key_F1);
        const MsgBox::Call about = boxes->calls.last();
        const QStringList lines = about.text.split('\n');
        const QString rule(67, QChar(0x2500));
        QCOMPARE(about.kind, MsgBox::About);
        QCOMPARE(QStringList({ about.title, QString::number(lines.size()), lines.last() }),
            QStringList({ "程序功能简介：Quillon V2.8.2  (2022-09-20)", "17", rule }));
        QVERIFY(
            lines.first().startsWith(rule + "\t\t") && lines.first().endsWith("主要功能如下："));
        QVERIFY(
            lines.at(2).startsWith("  A、自动扫描") && lines.at(2).size() == lines.at(12).size());
        QVERIFY(lines.at(15).endsWith("\t\t创建于2021.05.17"));
    }

private:
    // Opens the port and starts sending a new file; its bytes. By hand: the first tick is ours.
    QByteArray sendFile(MainWindow& w, int size, bool byHand = false)
    {
        const QByteArray data = makeFile(work->path() + "/f.bin", size);
        openPort(w);
        w.form()->fileDataLineEdit->setText(work->path() + "/f.bin");
        w.form()->sendFileButton->click();
        if (byHand) {
            w.fileTimer()->stop();
            w.slotFileSendData();
        }
        return data;
    }
};

QTEST_MAIN(tst_Transmit)
#include "tst_transmit.moc"
