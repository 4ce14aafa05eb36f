// Record files written all or nothing, against real write failures.
#include "serial/core/diskbacklog.h"
#include "serial/core/recordfile.h"
#include "serial/core/recordwriter.h"
#include "testdata.h"

#include <memory>

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

class tst_RecordFile : public QObject {
    Q_OBJECT

private slots:
    void init() { dir.reset(new QTemporaryDir); } // each test writes into a folder of its own

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

private:
    std::unique_ptr<QTemporaryDir> dir;

    QString record(int i) const { return dir->filePath(QString("r%1.txt").arg(i)); }

    // Every file in the folder, hidden ones too: a temporary piece left behind shows here.
    QStringList files() const { return QDir(dir->path()).entryList(QDir::Files | QDir::Hidden); }
};

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
