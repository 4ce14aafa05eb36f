// Sending from the send area, auto-send, the send delay and file transfer, through a pty.
#include "app/mainwindow.h"
#include "serial/core/txformat.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "tools/additionfunction.h"
#include "ui_mainwindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTextCodec>
#include <QtTest>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file area: button caption, file timer, send area or progress bar, whether a file can be
// picked.
QString fileState(MainWindow& w)
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

QByteArray makeFile(const QString& path, int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
    return data;
}

} // namespace

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
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("echo");
        QTest::addColumn<bool>("valid");
        row("blanks dropped, case kept", "01 02 0a", QByteArray("\x01\x02\x0a"), "01 02 0a ", true);
        row("odd length: last digit alone", "123", QByteArray("\x12\x03"), "12 3 ", true);
        row("non-hex group gives zero", "zz41", QByteArray("\x00\x41", 2), "zz 41 ", false);
        row("line break is not hex", "01\r\n02", QByteArray("\x01\x00\x02", 3), "01 \r\n 02 ",
            false);
        row("empty", "", QByteArray(), "", true);
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
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("echo");
        QTest::addColumn<QByteArray>("codec");
        const QByteArray gbk("GBK");
        row("hex with CR LF", "01 02 0a", true, true, QByteArray("\x01\x02\x0a\x0d\x0a"),
            "TX→◇01 02 0a 0D 0A", gbk);
        row("odd hex", "123", true, false, QByteArray("\x12\x03"), "TX→◇12 3 ", gbk);
        row("multi-line text", "ab\ncd", false, false, QByteArray("ab\r\ncd"), "TX→◇ab\nTX→◇cd",
            gbk);
        row("outside Latin-1", "温a", false, false, QByteArray("?a"), "TX→◇温a",
            QByteArray("ISO-8859-1"));
        row("text with CR LF", "AT", false, true, QByteArray("AT\r\n"), "TX→◇AT\n", gbk);
        row("GBK text", "温a", false, false, QByteArray("\xce\xc2\x61"), "TX→◇温a", gbk);
        row("UTF-8 text", "✓°", false, false, QByteArray("\xe2\x9c\x93\xc2\xb0"), "TX→◇✓°",
            QByteArray("UTF-8"));
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
        const QByteArray got = pty->readAtLeast(w.sent(), 1000);
        QCOMPARE(got, QByteArray(w.sent(), 'P'));
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
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("warnings");
        row("invalidHexSendsNothing", Action([this](MainWindow& w) {
            w.form()->sendHexCheckBox->setChecked(true);
            w.form()->sendDataTextEdit->setPlainText("01\n02");
            openPort(w);
            w.form()->sendDataButton->click();
        }),
            QStringList { "不是有效的HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\")\t" });
        row("writeOnClosedPortWarns", Action([](MainWindow& w) {
            w.form()->showTimeCheckBox->setChecked(false);
            w.slotSerialSendData("x", false, 0);
        }),
            QStringList { "发送失败：TX→◇x\t" });
        row("refusedWhilePortClosed", Action([this](MainWindow& w) {
            makeFile(work->path() + "/f.bin", 100);
            w.form()->fileDataLineEdit->setText(work->path() + "/f.bin");
            w.show();
            QTest::keyClick(&w, Qt::Key_F8);
        }),
            QStringList { "串口未打开，无法发送文件！\t" });
        row("refusedWithoutPath", Action([this](MainWindow& w) {
            openPort(w);
            w.form()->sendFileButton->click();
            w.form()->fileDataLineEdit->setText(work->path() + "/missing.bin");
            w.form()->sendFileButton->click();
        }),
            QStringList { "没有指定文件路径！\t", "打开文件失败！\t" });
    }

    void refused()
    {
        QFETCH(Action, action);
        MainWindow w;
        action(w);
        QTEST(boxes->texts(), "warnings");
        QCOMPARE(pty->read(200), QByteArray());
        QCOMPARE(w.sent(), 0);
        QCOMPARE(viewText(w), QString());
        QCOMPARE(w.form()->sendFileButton->text(), QString("发送文件"));
        QVERIFY(!w.fileTimer()->isActive());
    }

    void fileTransfer_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("estimate");
        row("empty file", 0, "0");
        row("1000 bytes", 1000, "0.06");
        row("20000 bytes", 20000, "2.34");
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
        QCOMPARE(w.sent(), size);
        QCOMPARE(fileState(w), QString("发送文件 still send area pick"));
        const QString view = viewText(w);
        QVERIFY2(
            view.startsWith(QString(
                "文件大小: %1\n波特率: 2400 bps\n需要时间: 大约用时 %2 秒(每包数据512字节，周期50毫秒)\n请稍候...\n")
                                .arg(size)
                                .arg(estimate)),
            qPrintable(view));
        QVERIFY(view.endsWith("\n发送完毕！"));
        QVERIFY(w.form()->fileProgressLabel->text().contains("状态：传输完成"));
        QVERIFY(boxes->calls.isEmpty());
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
        QVERIFY(!w.port()->isOpen());
        QCOMPARE(fileState(w), QString("发送文件 still send area"));
        QVERIFY(boxes->calls.isEmpty());
    }

    // A previewed file's size and text up to its first NUL follow the view, wherever its cursor is.
    void preview_data()
    {
        QTest::addColumn<QStringList>("lines"); // in the view before
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("position"); // -1: the end
        const QStringList two { "RX←◆first line", "RX←◆second line" };
        row("openFilePreview", QStringList(), 0, 0);
        row("a selection inside the view", two, 4, 12);
        row("the whole view selected", two, 0, -1);
        row("cursor at the start", two, 0, 0);
        row("cursor inside a line", two, 6, 6);
    }

    void preview()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFile f(work->path() + "/text.bin");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("hello 世界\0tail", 17));
        f.close();
        QString askedDir = "unset";
        MsgBox::setOpenFileHandler([&](const QString&, const QString& dir) {
            askedDir = dir;
            return f.fileName();
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
        QCOMPARE(w.form()->fileDataLineEdit->text(), f.fileName());
        w.slotOpenFileButton();
        QCOMPARE(askedDir, f.fileName());
        // A cancelled dialog changes nothing.
        MsgBox::setOpenFileHandler([](const QString&, const QString&) { return QString(); });
        w.form()->fileDataLineEdit->clear();
        w.slotOpenFileButton();
        QCOMPARE(w.form()->fileDataLineEdit->text(), QString());
    }

    void onlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("way");
        for (const char* kind : { "named pipe", "/dev/zero", "terminal", "folder", "regular file" })
            for (const char* way : { "preview", "transfer", "firmware" })
                QTest::addRow("%s, %s", kind, way) << kind << way;
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
        QCOMPARE(boxes->calls.last().kind, MsgBox::About);
        QCOMPARE(boxes->calls.last().title, QString("程序功能简介：Quillon V2.8.2  (2022-09-20)"));
        const QStringList lines = boxes->calls.last().text.split('\n');
        QCOMPARE(lines.size(), 17);
        QVERIFY(lines.first().startsWith(QString(67, QChar(0x2500)) + "\t\t"));
        QVERIFY(lines.first().endsWith("主要功能如下："));
        QCOMPARE(lines.last(), QString(67, QChar(0x2500)));
        QVERIFY(lines.at(2).startsWith("  A、自动扫描"));
        QCOMPARE(lines.at(2).size(), lines.at(12).size());
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
