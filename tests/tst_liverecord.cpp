// The live record file: rotation, sessions, crashes and full disks.
#include "serial/core/liverecord.h"
#include "testdata.h"

#include <memory>

static QString streamLine(int i)
{
    return QStringLiteral("[12:00:00.000]RX←◆seq=%1 数据 payload\n")
        .arg(i, 7, 10, QLatin1Char('0'));
}

// A live record writing into folder, named after source.
struct Live : LiveRecord {
    Live(const QString& folder, const QString& source)
    {
        setFolder(folder);
        setSource(source);
    }
};

class tst_LiveRecord : public QObject {
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); } // each test writes into a folder of its own

    void rotationKeepsEveryLineOnce_data()
    {
        const auto add = columns<int, int, int, int>("limit", "lines", "fewestFiles", "mostFiles");
        add("a line per file", 1, 300, 300, 300);
        add("4 KiB files", 4096, 3000, 11, INT_MAX);
        add("one big file", 64 << 20, 3000, 1, 1);
    }

    void rotationKeepsEveryLineOnce()
    {
        QFETCH(int, limit);
        QFETCH(int, lines);
        QFETCH(int, fewestFiles);
        QFETCH(int, mostFiles);
        const QDir record(dir->filePath("Record"));
        QString expected;
        for (int i = 0; i < lines; ++i)
            expected += streamLine(i);
        int files = 0;
        {
            Live live(record.path(), "/dev/ttyUSB0 USB-SERIAL CH340");
            live.setMaxBytes(limit);
            live.setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(12, 0, 0)); });
            // Several ticks' worth of lines in pieces of any size, some cut inside a line.
            QRandomGenerator random(5);
            for (int at = 0, n = 0; at < expected.size(); at += n) {
                n = qMin(expected.size() - at, 1 + int(random.bounded(700)));
                QVERIFY(live.append(expected.mid(at, n)));
                if (random.bounded(3) == 0)
                    QVERIFY(live.flush());
            }
            QVERIFY(live.flush());
            files = record.entryList(QDir::Files).size();
        }
        QCOMPARE(record.entryList(QDir::Files).size(), files);
        QVERIFY2(files >= fewestFiles && files <= mostFiles, qPrintable(QString::number(files)));
        // One second for all: the names take _2, _3, ... in the order the files were made.
        const QString name = "Orv_Live_Rec__dev_ttyUSB0 USB-SERIAL CH340_2026-12-09_12-00-00%1.txt";
        QByteArray all;
        for (int i = 1; i <= files; ++i) {
            const QByteArray bytes
                = fileBytes(record.filePath(name.arg(i > 1 ? QString("_%1").arg(i) : QString())));
            // Files end at a line end; all but the last have passed the limit.
            QVERIFY(bytes.endsWith('\n'));
            QVERIFY(i == files || bytes.size() >= limit);
            all += bytes;
        }
        QCOMPARE(QString::fromUtf8(all), expected);
    }

    void newFileAfterMidnightAndPerSession()
    {
        Live live(dir->path(), "COM3");
        QDateTime now(QDate(2026, 12, 9), QTime(23, 59, 59));
        live.setClock([&now] { return now; });
        QVERIFY(live.append("before midnight\npart of a line "));
        now = now.addSecs(2);
        // The line that was cut continues in its file; the next line starts the new day's file.
        QVERIFY(live.append("ends after midnight\n"));
        QVERIFY(live.append("next day\n"));
        QVERIFY(live.flush());
        QCOMPARE(live.fileName(), dir->filePath("Orv_Live_Rec_COM3_2026-12-10_00-00-01.txt"));
        live.newSession();
        QVERIFY(live.append("second session\n"));
        live.close();
        const auto file = [&](const char* time) {
            return fileBytes(dir->filePath(QString("Orv_Live_Rec_COM3_2026-12-%1.txt").arg(time)));
        };
        // Same second: the older file is kept, the new one takes _2.
        QCOMPARE(
            (QList<QByteArray> { file("09_23-59-59"), file("10_00-00-01"), file("10_00-00-01_2") }),
            (QList<QByteArray> { "before midnight\npart of a line ends after midnight\n",
                "next day\n", "second session\n" }));
        // A session without text leaves no file.
        live.newSession();
        live.close();
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 3);
    }

    void killedProcessLeavesAPrefix()
    {
        const QString folder = dir->filePath("Record");
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            Live live(folder, "pty");
            // Ticks of a few lines each, forever, until killed.
            for (int i = 0;; ++i) {
                live.append(streamLine(i));
                if (i % 7 == 6) {
                    live.flush();
                    ::usleep(200);
                }
            }
        }
        // Killed once a good part is on disk.
        (void)QTest::qWaitFor(
            [&] {
                const QStringList files = QDir(folder).entryList(QDir::Files);
                return !files.isEmpty() && fileBytes(folder + "/" + files.first()).size() >= 200000;
            },
            20000);
        ::kill(pid, SIGKILL);
        QCOMPARE(::waitpid(pid, nullptr, 0), pid);
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QString text = QString::fromUtf8(fileBytes(folder + "/" + files.first()));
        QVERIFY(text.size() > 1000);
        // Whole lines, in order, from the first: what was handed over survives the kill.
        QVERIFY(text.endsWith('\n'));
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines.at(i) + '\n', streamLine(i));
    }

    void fullDiskFails()
    {
        const int exitCode = exitCodeUnderFileLimit(8192, [&] {
            Live live(dir->path(), "pty");
            for (int i = 0; i < 1000; ++i) {
                if (!live.append(streamLine(i)) || !live.flush())
                    return live.errorString().isEmpty() || live.fileName().isEmpty() ? 3 : 2;
            }
            return 1;
        });
        // Failed with a reason and the file's name, not silently.
        QCOMPARE(exitCode, 2);
    }

    void missingFolderFails()
    {
        QVERIFY(QFile(dir->filePath("Record")).open(QIODevice::WriteOnly)); // a file in its way
        Live live(dir->filePath("Record"), "pty");
        QVERIFY(!live.append("line\n"));
        QVERIFY(!live.errorString().isEmpty());
        QVERIFY(live.fileName().startsWith(dir->filePath("Record/Orv_Live_Rec_pty_")));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(tst_LiveRecord)
#include "tst_liverecord.moc"
