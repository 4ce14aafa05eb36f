// Record files: their names, saves all or nothing, the live record's rotation, crashes, full disks.
#include "serial/core/diskbacklog.h"
#include "serial/core/liverecord.h"
#include "serial/core/recordfile.h"
#include "serial/core/recordname.h"
#include "serial/core/recordwriter.h"
#include "testdata.h"

#include <memory>

static const QString manualPattern = QStringLiteral("%1/Orv_All_Rec_%2_%3.txt");
static const QString autoPattern = QStringLiteral("%1/Orv_Auto_Rec_%2_%3.txt");
static const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));

static QString lines(int count, int width)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("RX←◆%1 ").arg(i, 6, 10, QLatin1Char('0')).leftJustified(width, 'x');
    return out.join('\n');
}

// RecordFile::write in a child whose files cannot grow past limit bytes.
enum ChildResult { Saved = 10, FailedWithReason, FailedSilently };

static int writeInLimitedChild(const QString& path, const QString& text, rlim_t limit)
{
    return exitCodeUnderFileLimit(limit, [&] {
        QString error;
        const bool ok = RecordFile::write(path, text, &error);
        return ok ? Saved : error.isEmpty() ? FailedSilently : FailedWithReason;
    });
}

static LineStore::Snapshot textOf(const QString& all)
{
    LineStore store;
    for (const QString& line : all.split('\n'))
        store.append(line);
    return store.take();
}

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

class tst_RecordFile : public QObject {
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); } // each test writes into a folder of its own

    void sourceName_data()
    {
        const auto add
            = columns<int, QString, QString, QString>("shareMode", "peer", "entry", "expected");
        const QString peer = "192.168.1.5[11223]", ch340 = "COM3 USB-SERIAL CH340";
        add("no sharing", 0, {}, ch340, ch340);
        add("three trailing blanks", 0, {}, "COM3 USB-SERIAL CH340   ", ch340);
        add("inner white space runs", 0, {}, "  ttyUSB0 \t USB  Serial ", "ttyUSB0 USB Serial");
        add("receiving with a peer", 1, peer, ch340, peer);
        add("receiving without a peer", 1, {}, "COM3 USB-SERIAL CH340 ", ch340);
        add("sending role ignores the peer", 2, peer, "ttyS0 ", "ttyS0");
        add("sharing off ignores the peer", 0, peer, "ttyS0", "ttyS0");
        add("empty port list", 0, {}, {}, {});
        add("receiving, empty port list", 1, {}, {}, {});
    }

    void sourceName()
    {
        QFETCH(int, shareMode);
        QFETCH(QString, peer);
        QFETCH(QString, entry);
        QTEST(RecordName::sourceName(shareModeFromInt(shareMode), peer, entry), "expected");
    }

    void sanitize_data()
    {
        const auto add = columns<QString, QString>("source", "expected");
        add("plain port entry", "COM3 USB-SERIAL CH340", "COM3 USB-SERIAL CH340");
        add("peer name", "192.168.1.5[11223]", "192.168.1.5[11223]");
        add("device path", "/dev/ttyUSB0 USB2.0-Serial", "_dev_ttyUSB0 USB2.0-Serial");
        add("every refused character", "a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j");
        add("runs stay runs", "::", "__");
        add("Chinese description kept", "ttyS0 串口", "ttyS0 串口");
        add("empty", {}, {});
    }

    void sanitize()
    {
        QFETCH(QString, source);
        QTEST(RecordName::sanitize(source), "expected");
    }

    void build_data()
    {
        const auto add = columns<QString, QString, QString, QDateTime, QStringList, QString>(
            "pattern", "folder", "source", "when", "existing", "expected");
        const QString ch340 = "COM3 USB-SERIAL CH340";
        const QString base = "Record/Orv_All_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09";
        const QString autoName = "Record/Orv_Auto_Rec_" + ch340 + "_2022-09-20_14-05-09.txt";
        // Most rows: a manual save into Record at `when`.
        const auto manual = [&](const char* tag, const QString& source, const QStringList& existing,
                                const QString& expected) {
            add(tag, manualPattern, "Record", source, when, existing, expected);
        };
        manual("manual save", ch340, {}, base + ".txt");
        add("automatic save", autoPattern, "Record", ch340, when, {}, autoName);
        manual("empty port list", {}, {}, "Record/Orv_All_Rec__2022-09-20_14-05-09.txt");
        manual("peer source", "10.0.0.2[11223]", {},
            "Record/Orv_All_Rec_10.0.0.2[11223]_2022-09-20_14-05-09.txt");
        add("24-hour clock, seconds only", manualPattern, "Record", "ttyS0",
            QDateTime(QDate(2023, 1, 2), QTime(23, 4, 5, 999)), {},
            "Record/Orv_All_Rec_ttyS0_2023-01-02_23-04-05.txt");
        manual("refused characters replaced", "/dev/ttyS0 a:b", {},
            "Record/Orv_All_Rec__dev_ttyS0 a_b_2022-09-20_14-05-09.txt");
        manual("percent sign in the source kept", "COM%1 %2", {},
            "Record/Orv_All_Rec_COM%1 %2_2022-09-20_14-05-09.txt");
        add("folder left alone", manualPattern, "/tmp/a:b", "x", when, {},
            "/tmp/a:b/Orv_All_Rec_x_2022-09-20_14-05-09.txt");
        manual("taken name gets _2", ch340, { base + ".txt" }, base + "_2.txt");
        manual("_2 taken too gets _3", ch340, { base + ".txt", base + "_2.txt" }, base + "_3.txt");
        manual("only _2 taken keeps the plain name", ch340, { base + "_2.txt" }, base + ".txt");
        add("manual file does not rename the automatic one", autoPattern, "Record", ch340, when,
            { base + ".txt" }, autoName);
        add("pattern without .txt gets a plain suffix", "%1/%2_%3", "Record", "x", when,
            { "Record/x_2022-09-20_14-05-09" }, "Record/x_2022-09-20_14-05-09_2");
    }

    void build()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, folder);
        QFETCH(QString, source);
        QFETCH(QDateTime, when);
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QStringList asked;
        const auto exists = [&](const QString& path) {
            asked << path;
            return existing.contains(path);
        };
        QCOMPARE(RecordName::build(pattern, folder, source, when, exists), expected);
        QCOMPARE(asked.constLast(), expected); // the name returned was checked to be free
    }

    void buildWithoutPredicate()
    {
        QCOMPARE(RecordName::build(manualPattern, "Record", "ttyS0", when, {}),
            QString("Record/Orv_All_Rec_ttyS0_2022-09-20_14-05-09.txt"));
    }

    void twoSavesInOneSecondKeepBothFiles()
    {
        QVERIFY(dir->isValid());
        const QDateTime now = QDateTime::currentDateTime();
        QStringList written;
        for (const QByteArray& content : { QByteArray("first"), QByteArray("second") }) {
            written << RecordName::build(manualPattern, dir->path(), "/dev/ttyUSB0 USB:Serial", now,
                [](const QString& path) { return QFileInfo::exists(path); });
            QVERIFY2(writeFile(written.last(), content), qPrintable(written.last()));
        }
        QCOMPARE(QSet<QString>(written.begin(), written.end()).size(), 2); // two names
        QCOMPARE(fileBytes(written.at(0)), QByteArray("first"));
    }

    void writesTheText_data()
    {
        QTest::addColumn<QString>("text");
        row("empty view", QString());
        row("one line, no line end", QString("RX←◆a"));
        row("lines and blanks", QString("RX←◆a  b\n\nTX→◇<b>&amp;</b>\t"));
        row("Chinese", QString("RX←◆温度过高\nRX←◆正常"));
        row("outside the BMP", QString::fromUtf8("RX←◆\xF0\x9F\x98\x80 ok\n\xF0\xA0\x80\x80"));
        row("larger than any buffer", lines(5000, 100));
        row("writesTextGivenInPieces",
            QString::fromUtf8("RX←◆温度\xF0\x9F\x98\x80\n") + lines(3000, 60));
    }

    // Over an older, longer record; whole, then a character at a time to split surrogate pairs.
    void writesTheText()
    {
        QFETCH(QString, text);
        const QString path = dir->filePath("Orv_All_Rec_x.txt");
        QVERIFY(RecordFile::write(path, lines(100, 50) + text));
        QString error = "untouched";
        QVERIFY(RecordFile::write(path, text, &error));
        const QByteArray inLocalEncoding = QTextCodec::codecForLocale()->fromUnicode(text);
        QCOMPARE(fileBytes(path), inLocalEncoding);
        QVERIFY(RecordFile::write(
            path,
            [&](const RecordFile::Sink& sink) {
                for (const QChar& c : text)
                    sink(&c, 1);
            },
            &error));
        QCOMPARE(error, QString("untouched"));
        QCOMPARE(fileBytes(path), inLocalEncoding);
        QCOMPARE(files(), QStringList { "Orv_All_Rec_x.txt" });
    }

    void missingFolderFails()
    {
        const QString path = dir->filePath("Record/r.txt");
        QString error;
        QVERIFY(!RecordFile::write(path, "text", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path));
        QVERIFY(!RecordFile::write(path, "text")); // without asking for the reason
    }

    void writeFailureLeavesNothing_data()
    {
        // older: a record there before, or none
        const auto add = columns<int, QString, QByteArray>("limit", "text", "older");
        // Failing within the stream's buffer, in the file's buffer, and far into the text.
        add("a byte too many", 4096, QString(4097, 'a'), {});
        add("a line too many", 4096, lines(60, 80), {});
        add("many times the limit", 4096, lines(20000, 120), {});
        add("Chinese past the limit", 1000, QString(2000, QChar(0x6E29)), {});
        add("writeFailureKeepsTheOlderFile", 4096, lines(1000, 80), "the older record");
    }

    void writeFailureLeavesNothing()
    {
        QFETCH(int, limit);
        QFETCH(QString, text);
        QFETCH(QByteArray, older);
        const QString path = dir->filePath("Orv_Auto_Rec_x.txt");
        QVERIFY(older.isNull() || RecordFile::write(path, older));
        QCOMPARE(writeInLimitedChild(path, text, rlim_t(limit)), int(FailedWithReason));
        // Neither a temporary piece nor a broken record is left; an older one stays as it was.
        QCOMPARE(files(), older.isNull() ? QStringList() : QStringList { "Orv_Auto_Rec_x.txt" });
        QCOMPARE(fileBytes(path), older);

        // Under the same limit a text that fits is saved.
        const QString fits = text.left(limit / 3);
        QCOMPARE(writeInLimitedChild(path, fits, rlim_t(limit)), int(Saved));
        QCOMPARE(fileBytes(path), QTextCodec::codecForLocale()->fromUnicode(fits));
    }

    // Lines in order across chunks; a snapshot stays as taken while the store goes on.
    void lineStoreSnapshotsStayAsTaken()
    {
        LineStore store;
        QStringList expected;
        for (int i = 0; i < 3 * LineStore::ChunkLines + 5; ++i) {
            expected << QString("RX←◆line %1").arg(i);
            store.append(expected.last(), i % 3 ? LineStore::Received : LineStore::Sent);
        }
        store.appendInline("...");
        expected.last() += "...";
        const LineStore::Snapshot before = store.snapshot();
        store.appendInline("!");
        store.append("after");
        QCOMPARE(before.lines(), qint64(expected.size()));
        QCOMPARE(before.joined(), expected.join('\n'));
        QCOMPARE(
            (QStringList { store.line(expected.size() - 1), store.line(LineStore::ChunkLines) }),
            (QStringList { expected.last() + "!", expected.at(LineStore::ChunkLines) }));
        QCOMPARE(store.kind(3), LineStore::Sent);
        QCOMPARE(store.lines(), qint64(expected.size() + 1));
        QVERIFY(RecordFile::write(dir->filePath("r.txt"), before));
        QCOMPARE(fileBytes(dir->filePath("r.txt")), expected.join('\n').toUtf8());
        LineStore::Snapshot dropped = store.take();
        QVERIFY(store.isEmpty());
        dropped.dropFront(LineStore::ChunkLines + 2);
        QCOMPARE(dropped.joined().section('\n', 0, 0), expected.at(LineStore::ChunkLines + 2));
        QCOMPARE(dropped.lines(), qint64(expected.size() + 1 - LineStore::ChunkLines - 2));
    }

    void writerKeepsOrderAndNames()
    {
        RecordWriter writer;
        QStringList reported;
        QObject::connect(&writer, &RecordWriter::finished,
            [&](bool ok, const QString& path, const QString&, const LineStore::Snapshot& text) {
                QVERIFY(ok && text.isEmpty());
                // Reported in order, each complete on disk by then.
                QVERIFY(QFile::exists(path));
                reported << QFileInfo(path).fileName();
            });
        for (int i = 0; i < 5; ++i) {
            writer.start(record(i), textOf(lines(20000, 60 + i)));
            // Queued or being written: the name is taken although no file has it yet.
            QVERIFY(writer.holds(record(i)));
        }
        QCOMPARE(writer.pending(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(writer.pending(), 0, 30000);
        QCOMPARE(reported, QStringList({ "r0.txt", "r1.txt", "r2.txt", "r3.txt", "r4.txt" }));
        QVERIFY(!writer.holds(record(0)));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(fileBytes(record(i)), lines(20000, 60 + i).toUtf8());
    }

    void writerReturnsWhatFailed()
    {
        RecordWriter writer;
        QList<bool> results;
        LineStore::Snapshot returned;
        QObject::connect(&writer, &RecordWriter::finished,
            [&](bool ok, const QString&, const QString& error, const LineStore::Snapshot& text) {
                results << ok;
                if (!ok) {
                    QVERIFY(!error.isEmpty());
                    returned = text;
                }
            });
        const LineStore::Snapshot text = textOf(lines(100, 40));
        writer.start(dir->filePath("missing/r.txt"), text);
        writer.start(dir->filePath("r.txt"), textOf("fine"));
        // Small views may gather in hand; a big one waits for the oldest, reported at once, once.
        writer.makeRoomFor(RecordWriter::MaxCharsInHand / 2);
        QCOMPARE(writer.pending(), 2);
        writer.makeRoomFor(RecordWriter::MaxCharsInHand);
        QCOMPARE(writer.pending(), 1);
        QCOMPARE(results, QList<bool> { false });
        QCOMPARE(returned.joined(), text.joined());
        writer.waitForAll();
        QCOMPARE(results, (QList<bool> { false, true }));
        QTest::qWait(50); // nothing more is reported
        QCOMPARE(results.size(), 2);
        QCOMPARE(fileBytes(dir->filePath("r.txt")), QByteArray("fine"));
    }

    void writerFinishesQueuedFilesWhenDeleted()
    {
        {
            RecordWriter writer;
            for (int i = 0; i < 3; ++i)
                writer.start(record(i), textOf(lines(5000, 80)));
        }
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fileBytes(record(i)), lines(5000, 80).toUtf8());
    }

    void diskBacklogDropsOldestLines_data()
    {
        // kept: what stays, the files joined by '|'
        const auto add = columns<int, qint64, QString>("maxChars", "dropped", "kept");
        add("within the bound", 100, 0, "a1\na2\na3|b1\nb2");
        add("one old line goes", 10, 1, "a2\na3|b1\nb2");
        add("two old lines go", 7, 2, "a3|b1\nb2");
        add("a whole old file goes", 5, 3, "b1\nb2");
        add("into the newest file", 2, 4, "b2");
        add("nothing fits", 1, 5, "");
    }

    // A full disk keeps record files in memory up to a bound; past it the oldest lines go, counted.
    void diskBacklogDropsOldestLines()
    {
        QFETCH(int, maxChars);
        DiskBacklog backlog;
        backlog.setMaxChars(maxChars);
        qint64 gone = backlog.keep("f0", textOf("a1\na2\na3"));
        gone += backlog.keep("f1", textOf("b1\nb2"));
        QTEST(gone, "dropped");
        QStringList left;
        qint64 chars = 0;
        for (; !backlog.isEmpty(); backlog.written()) {
            left << backlog.head().lines.joined();
            chars += backlog.head().lines.chars();
            QVERIFY(backlog.holds(backlog.head().path));
        }
        QTEST(left.join('|'), "kept");
        QVERIFY(chars <= maxChars);
        QCOMPARE(backlog.chars(), qint64(0));
    }

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
        QCOMPARE(files().size(), 3);
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
                    return live.errorString().isEmpty() || live.fileName().isEmpty()
                        ? FailedSilently
                        : FailedWithReason;
            }
            return Saved;
        });
        // Failed with a reason and the file's name, not silently.
        QCOMPARE(exitCode, int(FailedWithReason));
    }

    void liveRecordMissingFolderFails()
    {
        QVERIFY(QFile(dir->filePath("Record")).open(QIODevice::WriteOnly)); // a file in its way
        Live live(dir->filePath("Record"), "pty");
        QVERIFY(!live.append("line\n"));
        QVERIFY(!live.errorString().isEmpty());
        QVERIFY(live.fileName().startsWith(dir->filePath("Record/Orv_Live_Rec_pty_")));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;

    QString record(int i) const { return dir->filePath(QString("r%1.txt").arg(i)); }

    // Every file in the folder, hidden ones too: a temporary piece left behind shows here.
    QStringList files() const { return QDir(dir->path()).entryList(QDir::Files | QDir::Hidden); }
};

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
