// Whatever a broken board emits: no crash, no lost byte, memory bounded.
#include "app/mainwindow.h"
#include "shell/extrasettingdialog.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QRadioButton>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

static QByteArray randomBytes(int n, quint32 seedValue)
{
    QRandomGenerator random(seedValue);
    QByteArray out(n, Qt::Uninitialized);
    for (char& c : out)
        c = char(random.bounded(256));
    return out;
}

class tst_BadInput : public PtyWindowTest {
    Q_OBJECT

private slots:
    void garbageText_data()
    {
        const auto add = columns<QByteArray>("bytes");
        add("invalid UTF-8 and GBK",
            "\xc3\x28\xa0\xa1\xe2\x28\xa1\xf0\x90\x28\xbc\x81\x80\xfe\xff\n");
        add("NUL bytes everywhere", QByteArray("\0\0a\0b\0\0\n\0\n\0\0\0", 13) + "\n");
        add("lone GBK lead bytes", "\x81\n\xfe\n\x81\x81\x81\n");
        // A lone CR starts a new paragraph in the view, as in any text view: left out here.
        add("random 64 KB", randomBytes(65536, 7).replace('\r', 'r') + "\n");
    }

    void garbageText()
    {
        QFETCH(QByteArray, bytes);
        MainWindow w;
        openPort(w, NoTime);
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE(w.received(), bytes.size());
        QTRY_COMPARE(w.pendingBytes(), qint64(0));
        QTRY_VERIFY(w.displayedLines() > 0);
        for (const QString& line : viewLines(w))
            QVERIFY2(line.startsWith("RX←◆") || line.isEmpty(), qPrintable(line.left(40)));
        QVERIFY(boxes->calls.isEmpty());
    }

    void megabyteLine()
    {
        MainWindow w;
        openPort(w, NoTime);
        const QByteArray line(1 << 20, 'x');
        QVERIFY(pty->write(line + "\n"));
        QTRY_COMPARE_WITH_TIMEOUT(w.received(), line.size() + 1, 20000);
        // Until its end comes, it is shown in flushes of at least 8192 bytes; every byte once.
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(0), 20000);
        // Formatted text reaches the view a redraw slice at a time.
        QTRY_COMPARE_WITH_TIMEOUT(w.displayStage()->queuedChars(), qint64(0), 20000);
        QString text = viewText(w);
        const QString state = QString::asprintf("%d chars, %d blocks, %lld lines counted, %d boxes",
            text.size(), viewLineCount(w), w.displayedLines(), boxes->calls.size());
        QVERIFY2(text.endsWith("xxxx"),
            qPrintable(state + ", ends with \"" + text.right(40).toHtmlEscaped() + '"'));
        QCOMPARE(text.remove("RX←◆").remove('\n').size(), line.size());
    }

    void garbageHex_data()
    {
        const auto add = columns<QByteArray, bool>("stream", "delimited");
        // The very end carries the delimiter, so nothing is left waiting for it.
        add("delimiterThatNeverComes",
            randomBytes(200000, 11).replace('\n', 'n').replace('\r', 'r') + "\r\n", true);
        add("garbageHexIsShownByteExact", randomBytes(30000, 5) + "\n", false);
    }

    void garbageHex()
    {
        QFETCH(QByteArray, stream);
        QFETCH(bool, delimited);
        MainWindow w;
        w.form()->showHexCheckBox->click();
        if (delimited) {
            w.extraSettings()->findChild<QLineEdit*>("backWrapLineEdit")->setText("0D 0A");
            w.extraSettings()->findChild<QRadioButton*>("backWrapRadioButton")->click();
        }
        openPort(w, NoTime);
        qint64 mostWaiting = 0;
        for (int i = 0; i < stream.size(); i += 20000) {
            QVERIFY(pty->write(stream.mid(i, 20000)));
            QTest::qWait(20); // a device's pace: the display ticks between the pieces
            mostWaiting = qMax(mostWaiting, w.pendingBytes());
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.received(), stream.size(), 20000);
        // Held back bytes stay bounded instead of growing with the stream.
        QVERIFY2(mostWaiting < 64 * 1024, qPrintable(QString::number(mostWaiting)));
        // Everything is shown in the end, as lines of at least one flush each, byte-exact.
        QTRY_COMPARE_WITH_TIMEOUT(w.pendingBytes(), qint64(0), 20000);
        // Formatted lines reach the view at its next redraw.
        if (delimited)
            QTRY_VERIFY(viewLineCount(w) >= int(w.displayedLines()));
        else
            QTRY_COMPARE(qint64(viewLineCount(w)), w.displayedLines());
        QByteArray shown; // the bytes the view shows, its markers left out
        for (const QString& line : viewLines(w))
            shown += QByteArray::fromHex(line.mid(4).toLatin1());
        const auto diff = std::mismatch(shown.begin(), shown.end(), stream.begin(), stream.end());
        QVERIFY2(shown == stream,
            qPrintable(QString::asprintf("sizes %d/%d, first difference at %d", shown.size(),
                stream.size(), int(diff.first - shown.begin()))));
    }

    void nonHexSendField()
    {
        MainWindow w;
        openPort(w);
        w.form()->sendHexCheckBox->setChecked(true);
        w.form()->sendDataTextEdit->setPlainText("zz 中文 !@#$%^&*() 0x12");
        w.form()->sendDataButton->click();
        QCOMPARE(boxes->calls.size(), 1);
        QCOMPARE(pty->read(200), QByteArray());
        QCOMPARE(w.sent(), 0);
    }
};

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
