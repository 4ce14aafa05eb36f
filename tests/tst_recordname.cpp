#include "serial/core/recordname.h"
#include "testdata.h"

static const QString manualPattern = QStringLiteral("%1/Orv_All_Rec_%2_%3.txt");
static const QString autoPattern = QStringLiteral("%1/Orv_Auto_Rec_%2_%3.txt");
static const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));

class TestRecordName : public QObject {
    Q_OBJECT

private slots:
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
        const QString autoName
            = "Record/Orv_Auto_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09.txt";
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
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        const auto exists = [](const QString& path) { return QFileInfo::exists(path); };
        QStringList written;
        for (const QByteArray& content : { QByteArray("first"), QByteArray("second") }) {
            written << RecordName::build(
                manualPattern, dir.path(), "/dev/ttyUSB0 USB:Serial", now, exists);
            QVERIFY2(writeFile(written.last(), content), qPrintable(written.last()));
        }
        QCOMPARE(QSet<QString>(written.begin(), written.end()).size(), 2); // two names
        QCOMPARE(fileBytes(written.at(0)), QByteArray("first"));
    }
};

QTEST_GUILESS_MAIN(TestRecordName)
#include "tst_recordname.moc"
