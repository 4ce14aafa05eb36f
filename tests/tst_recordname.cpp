#include "serial/core/recordname.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString manualPattern = QStringLiteral("%1/Orv_All_Rec_%2_%3.txt");
const QString autoPattern = QStringLiteral("%1/Orv_Auto_Rec_%2_%3.txt");

} // namespace

class TestRecordName : public QObject {
    Q_OBJECT

private slots:
    void sourceName_data();
    void sourceName();
    void sanitize_data();
    void sanitize();
    void build_data();
    void build();
    void buildWithoutPredicate();
    void twoSavesInOneSecondKeepBothFiles();
};

void TestRecordName::sourceName_data()
{
    QTest::addColumn<int>("shareMode");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no sharing") << 0 << QString() << "COM3 USB-SERIAL CH340"
                                << "COM3 USB-SERIAL CH340";
    QTest::newRow("three trailing blanks") << 0 << QString() << "COM3 USB-SERIAL CH340   "
                                           << "COM3 USB-SERIAL CH340";
    QTest::newRow("inner white space runs") << 0 << QString() << "  ttyUSB0 \t USB  Serial "
                                            << "ttyUSB0 USB Serial";
    QTest::newRow("receiving with a peer") << 1 << "192.168.1.5[11223]"
                                           << "COM3 USB-SERIAL CH340"
                                           << "192.168.1.5[11223]";
    QTest::newRow("receiving without a peer") << 1 << QString() << "COM3 USB-SERIAL CH340 "
                                              << "COM3 USB-SERIAL CH340";
    QTest::newRow("sending role ignores the peer") << 2 << "192.168.1.5[11223]"
                                                   << "ttyS0 "
                                                   << "ttyS0";
    QTest::newRow("sharing off ignores the peer") << 0 << "192.168.1.5[11223]"
                                                  << "ttyS0"
                                                  << "ttyS0";
    QTest::newRow("empty port list") << 0 << QString() << QString() << QString();
    QTest::newRow("receiving, empty port list") << 1 << QString() << QString() << QString();
}

void TestRecordName::sourceName()
{
    QFETCH(int, shareMode);
    QFETCH(QString, peer);
    QFETCH(QString, entry);
    QFETCH(QString, expected);
    QCOMPARE(RecordName::sourceName(shareModeFromInt(shareMode), peer, entry), expected);
}

void TestRecordName::sanitize_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain port entry") << "COM3 USB-SERIAL CH340"
                                      << "COM3 USB-SERIAL CH340";
    QTest::newRow("peer name") << "192.168.1.5[11223]"
                               << "192.168.1.5[11223]";
    QTest::newRow("device path") << "/dev/ttyUSB0 USB2.0-Serial"
                                 << "_dev_ttyUSB0 USB2.0-Serial";
    QTest::newRow("every refused character") << "a/b\\c:d*e?f\"g<h>i|j"
                                             << "a_b_c_d_e_f_g_h_i_j";
    QTest::newRow("runs stay runs") << "::"
                                    << "__";
    QTest::newRow("Chinese description kept") << "ttyS0 串口"
                                              << "ttyS0 串口";
    QTest::newRow("empty") << QString() << QString();
}

void TestRecordName::sanitize()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QCOMPARE(RecordName::sanitize(source), expected);
}

void TestRecordName::build_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));
    const QString base
        = QStringLiteral("Record/Orv_All_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09");

    QTest::newRow("manual save") << manualPattern << "Record"
                                 << "COM3 USB-SERIAL CH340" << when << QStringList()
                                 << base + ".txt";
    QTest::newRow("automatic save")
        << autoPattern << "Record"
        << "COM3 USB-SERIAL CH340" << when << QStringList()
        << "Record/Orv_Auto_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09.txt";
    QTest::newRow("empty port list")
        << manualPattern << "Record" << QString() << when << QStringList()
        << "Record/Orv_All_Rec__2022-09-20_14-05-09.txt";
    QTest::newRow("peer source") << manualPattern << "Record"
                                 << "10.0.0.2[11223]" << when << QStringList()
                                 << "Record/Orv_All_Rec_10.0.0.2[11223]_2022-09-20_14-05-09.txt";
    QTest::newRow("24-hour clock, seconds only")
        << manualPattern << "Record"
        << "ttyS0" << QDateTime(QDate(2023, 1, 2), QTime(23, 4, 5, 999)) << QStringList()
        << "Record/Orv_All_Rec_ttyS0_2023-01-02_23-04-05.txt";
    QTest::newRow("refused characters replaced")
        << manualPattern << "Record"
        << "/dev/ttyS0 a:b" << when << QStringList()
        << "Record/Orv_All_Rec__dev_ttyS0 a_b_2022-09-20_14-05-09.txt";
    QTest::newRow("percent sign in the source kept")
        << manualPattern << "Record"
        << "COM%1 %2" << when << QStringList()
        << "Record/Orv_All_Rec_COM%1 %2_2022-09-20_14-05-09.txt";
    QTest::newRow("folder left alone")
        << manualPattern << "/tmp/a:b"
        << "x" << when << QStringList() << "/tmp/a:b/Orv_All_Rec_x_2022-09-20_14-05-09.txt";
    QTest::newRow("taken name gets _2")
        << manualPattern << "Record"
        << "COM3 USB-SERIAL CH340" << when << QStringList { base + ".txt" } << base + "_2.txt";
    QTest::newRow("_2 taken too gets _3")
        << manualPattern << "Record"
        << "COM3 USB-SERIAL CH340" << when << QStringList { base + ".txt", base + "_2.txt" }
        << base + "_3.txt";
    QTest::newRow("only _2 taken keeps the plain name")
        << manualPattern << "Record"
        << "COM3 USB-SERIAL CH340" << when << QStringList { base + "_2.txt" } << base + ".txt";
    QTest::newRow("manual file does not rename the automatic one")
        << autoPattern << "Record"
        << "COM3 USB-SERIAL CH340" << when << QStringList { base + ".txt" }
        << "Record/Orv_Auto_Rec_COM3 USB-SERIAL CH340_2022-09-20_14-05-09.txt";
    QTest::newRow("pattern without .txt gets a plain suffix")
        << QStringLiteral("%1/%2_%3") << "Record"
        << "x" << when << QStringList { "Record/x_2022-09-20_14-05-09" }
        << "Record/x_2022-09-20_14-05-09_2";
}

void TestRecordName::build()
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

void TestRecordName::buildWithoutPredicate()
{
    const QDateTime when(QDate(2022, 9, 20), QTime(14, 5, 9));
    QCOMPARE(RecordName::build(
                 manualPattern, QStringLiteral("Record"), QStringLiteral("ttyS0"), when, {}),
        QStringLiteral("Record/Orv_All_Rec_ttyS0_2022-09-20_14-05-09.txt"));
}

void TestRecordName::twoSavesInOneSecondKeepBothFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDateTime when = QDateTime::currentDateTime();
    const auto exists = [](const QString& path) { return QFileInfo::exists(path); };

    QStringList written;
    for (const QByteArray& content : { QByteArray("first"), QByteArray("second") }) {
        const QString path = RecordName::build(
            manualPattern, dir.path(), QStringLiteral("/dev/ttyUSB0 USB:Serial"), when, exists);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Text), qPrintable(path));
        file.write(content);
        file.close();
        written << path;
    }
    QCOMPARE(written.size(), 2);
    QVERIFY(written.at(0) != written.at(1));
    QFile first(written.at(0));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("first"));
}

QTEST_GUILESS_MAIN(TestRecordName)
#include "tst_recordname.moc"
