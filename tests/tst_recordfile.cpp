// Record files written all or nothing, against real write failures.
#include "serial/recordfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

class tst_RecordFile : public QObject {
    Q_OBJECT

private slots:
    void writesTheText_data();
    void writesTheText();
    void writesTextGivenInPieces();
    void replacesAnOlderFile();
    void missingFolderFails();
    void writeFailureLeavesNothing_data();
    void writeFailureLeavesNothing();
    void writeFailureKeepsTheOlderFile();
};

static QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

static QString lines(int count, int width)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("RX←◆%1 ").arg(i, 6, 10, QLatin1Char('0')).leftJustified(width, 'x');
    return out.join('\n');
}

// What a child process with files limited to limit bytes (and SIGXFSZ ignored, so a write past
// the limit fails with EFBIG instead of killing it) got from RecordFile::write.
enum ChildResult { Saved = 10, FailedWithReason, FailedSilently, ChildBroken };

static int writeInLimitedChild(const QString& path, const QString& text, rlim_t limit)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return ChildBroken;
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r {};
        ::getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = limit;
        if (::setrlimit(RLIMIT_FSIZE, &r) != 0)
            ::_exit(ChildBroken);
        QString error;
        const bool ok = RecordFile::write(path, text, &error);
        ::_exit(ok ? Saved : error.isEmpty() ? FailedSilently : FailedWithReason);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return ChildBroken;
    return WEXITSTATUS(status);
}

void tst_RecordFile::writesTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty view") << QString();
    QTest::newRow("one line, no line end") << QString("RX←◆a");
    QTest::newRow("lines and blanks") << QString("RX←◆a  b\n\nTX→◇<b>&amp;</b>\t");
    QTest::newRow("Chinese") << QString("RX←◆温度过高\nRX←◆正常");
    QTest::newRow("outside the BMP") << QString::fromUtf8("RX←◆\xF0\x9F\x98\x80 ok\n\xF0\xA0\x80\x80");
    QTest::newRow("larger than any buffer") << lines(5000, 100);
}

void tst_RecordFile::writesTheText()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("Orv_All_Rec_x.txt");
    QString error = "untouched";
    QVERIFY(RecordFile::write(path, text, &error));
    QCOMPARE(error, QString("untouched"));
    QCOMPARE(readAll(path), QTextCodec::codecForLocale()->fromUnicode(text));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList { "Orv_All_Rec_x.txt" });
}

void tst_RecordFile::writesTextGivenInPieces()
{
    // One character at a time, so pairs of surrogates are split between two pieces.
    const QString text = QString::fromUtf8("RX←◆温度\xF0\x9F\x98\x80\n") + lines(3000, 60);
    QTemporaryDir dir;
    const QString path = dir.filePath("Orv_Auto_Rec_x.txt");
    QString error = "untouched";
    QVERIFY(RecordFile::write(
        path,
        [&](const RecordFile::Sink& sink) {
            for (const QChar& c : text)
                sink(&c, 1);
        },
        &error));
    QCOMPARE(error, QString("untouched"));
    QCOMPARE(readAll(path), QTextCodec::codecForLocale()->fromUnicode(text));
}

void tst_RecordFile::replacesAnOlderFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("r.txt");
    QVERIFY(RecordFile::write(path, lines(100, 50)));
    QVERIFY(RecordFile::write(path, "short"));
    QCOMPARE(readAll(path), QByteArray("short"));
}

void tst_RecordFile::missingFolderFails()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Record/r.txt");
    QString error;
    QVERIFY(!RecordFile::write(path, "text", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path));
    QVERIFY(!RecordFile::write(path, "text")); // without asking for the reason
}

void tst_RecordFile::writeFailureLeavesNothing_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    // Failing within the stream's buffer, in the file's buffer, and far into the text.
    QTest::newRow("a byte too many") << 4096 << QString(4097, 'a');
    QTest::newRow("a line too many") << 4096 << lines(60, 80);
    QTest::newRow("many times the limit") << 4096 << lines(20000, 120);
    QTest::newRow("Chinese past the limit") << 1000 << QString(2000, QChar(0x6E29));
}

void tst_RecordFile::writeFailureLeavesNothing()
{
    QFETCH(int, limit);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("Orv_Auto_Rec_x.txt");
    QCOMPARE(writeInLimitedChild(path, text, rlim_t(limit)), int(FailedWithReason));
    // Neither the record nor a temporary piece of it is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Under the same limit a text that fits is saved.
    const QString fits = text.left(limit / 3);
    QCOMPARE(writeInLimitedChild(path, fits, rlim_t(limit)), int(Saved));
    QCOMPARE(readAll(path), QTextCodec::codecForLocale()->fromUnicode(fits));
}

void tst_RecordFile::writeFailureKeepsTheOlderFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("r.txt");
    QVERIFY(RecordFile::write(path, "the older record"));
    QCOMPARE(writeInLimitedChild(path, lines(1000, 80), 4096), int(FailedWithReason));
    QCOMPARE(readAll(path), QByteArray("the older record"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "r.txt" });
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
