#include "serial/core/recordname.h"

#include <QtTest>

namespace {

const QString manualPattern = QStringLiteral("%1/Orv_All_Rec_%2_%3.txt");
const QString autoPattern = QStringLiteral("%1/Orv_Auto_Rec_%2_%3.txt");
const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));

// Null stays null: the table's nullptr is QString().
QString str(const char* text) { return QString::fromUtf8(text); }

} // namespace

class TestRecordName : public QObject {
    Q_OBJECT

private slots:
    void sourceName_data()
    {
        QTest::addColumn<int>("shareMode");
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("expected");
        const char* peer = "192.168.1.5[11223]";
        const char* ch340 = "COM3 USB-SERIAL CH340";
        const struct {
            const char *tag, *peer, *entry, *expected;
            int mode;
        } rows[] = {
            { "no sharing", nullptr, ch340, ch340, 0 },
            { "three trailing blanks", nullptr, "COM3 USB-SERIAL CH340   ", ch340, 0 },
            { "inner white space runs", nullptr, "  ttyUSB0 \t USB  Serial ", "ttyUSB0 USB Serial",
                0 },
            { "receiving with a peer", peer, ch340, peer, 1 },
            { "receiving without a peer", nullptr, "COM3 USB-SERIAL CH340 ", ch340, 1 },
            { "sending role ignores the peer", peer, "ttyS0 ", "ttyS0", 2 },
            { "sharing off ignores the peer", peer, "ttyS0", "ttyS0", 0 },
            { "empty port list", nullptr, nullptr, nullptr, 0 },
            { "receiving, empty port list", nullptr, nullptr, nullptr, 1 },
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.mode << str(r.peer) << str(r.entry) << str(r.expected);
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
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        const struct {
            const char *tag, *source, *expected;
        } rows[] = {
            { "plain port entry", "COM3 USB-SERIAL CH340", "COM3 USB-SERIAL CH340" },
            { "peer name", "192.168.1.5[11223]", "192.168.1.5[11223]" },
            { "device path", "/dev/ttyUSB0 USB2.0-Serial", "_dev_ttyUSB0 USB2.0-Serial" },
            { "every refused character", "a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j" },
            { "runs stay runs", "::", "__" },
            { "Chinese description kept", "ttyS0 串口", "ttyS0 串口" },
            { "empty", nullptr, nullptr },
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << str(r.source) << str(r.expected);
    }

    void sanitize()
    {
        QFETCH(QString, source);
        QTEST(RecordName::sanitize(source), "expected");
    }

    void build_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");
        const QString ch340 = "COM3 USB-SERIAL CH340";
        const QString base = "Record/Orv_All_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09";
        const QString autoName
            = "Record/Orv_Auto_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09.txt";
        // Most rows: a manual save into Record at `when`.
        const struct {
            const char* tag;
            QString source;
            QStringList existing;
            QString expected;
            QString pattern = manualPattern;
            QDateTime when = ::when;
            QString folder = "Record";
        } rows[] = {
            { "manual save", ch340, {}, base + ".txt" },
            { "automatic save", ch340, {}, autoName, autoPattern },
            { "empty port list", QString(), {}, "Record/Orv_All_Rec__2022-09-20_14-05-09.txt" },
            { "peer source", "10.0.0.2[11223]", {},
                "Record/Orv_All_Rec_10.0.0.2[11223]_2022-09-20_14-05-09.txt" },
            { "24-hour clock, seconds only", "ttyS0", {},
                "Record/Orv_All_Rec_ttyS0_2023-01-02_23-04-05.txt", manualPattern,
                QDateTime(QDate(2023, 1, 2), QTime(23, 4, 5, 999)) },
            { "refused characters replaced", "/dev/ttyS0 a:b", {},
                "Record/Orv_All_Rec__dev_ttyS0 a_b_2022-09-20_14-05-09.txt" },
            { "percent sign in the source kept", "COM%1 %2", {},
                "Record/Orv_All_Rec_COM%1 %2_2022-09-20_14-05-09.txt" },
            { "folder left alone", "x", {}, "/tmp/a:b/Orv_All_Rec_x_2022-09-20_14-05-09.txt",
                manualPattern, ::when, "/tmp/a:b" },
            { "taken name gets _2", ch340, { base + ".txt" }, base + "_2.txt" },
            { "_2 taken too gets _3", ch340, { base + ".txt", base + "_2.txt" }, base + "_3.txt" },
            { "only _2 taken keeps the plain name", ch340, { base + "_2.txt" }, base + ".txt" },
            { "manual file does not rename the automatic one", ch340, { base + ".txt" }, autoName,
                autoPattern },
            { "pattern without .txt gets a plain suffix", "x", { "Record/x_2022-09-20_14-05-09" },
                "Record/x_2022-09-20_14-05-09_2", "%1/%2_%3" },
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.pattern << r.folder << r.source << r.when << r.existing
                                 << r.expected;
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
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        const auto exists = [](const QString& path) { return QFileInfo::exists(path); };
        QStringList written;
        for (const QByteArray& content : { QByteArray("first"), QByteArray("second") }) {
            written << RecordName::build(
                manualPattern, dir.path(), "/dev/ttyUSB0 USB:Serial", now, exists);
            QFile file(written.last());
            QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Text), qPrintable(written.last()));
            file.write(content);
        }
        QCOMPARE(written.size(), 2);
        QVERIFY(written.at(0) != written.at(1));
        QFile first(written.at(0));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), QByteArray("first"));
    }
};

QTEST_GUILESS_MAIN(TestRecordName)
#include "tst_recordname.moc"
