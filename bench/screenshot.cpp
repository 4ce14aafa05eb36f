// Takes the README's picture: the main window receiving from the simulated board while a file
// transfer runs, in Chinese or (with "en") in English. Run it under a real display (for example
// xvfb-run).
#include "app/language.h"
#include "app/mainwindow.h"
#include "app/messagebox.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: quillon-screenshot RUN_DIR OUTPUT.png [zh|en]\n");
        return 2;
    }
    const QString runDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QDir().mkpath(QStringLiteral("plugins"));
    QFile::copy(runDir + QStringLiteral("/plugins/libOrvUpdatePlugin.so"),
        QStringLiteral("plugins/libOrvUpdatePlugin.so"));
    QFile firmware(QStringLiteral("firmware.bin"));
    firmware.open(QIODevice::WriteOnly);
    firmware.write(QByteArray(60000, '\x5a'));
    firmware.close();

    const QString link = work.path() + QStringLiteral("/ttySIM0");
    QProcess sim;
    sim.start(runDir + QStringLiteral("/quillon-devsim"),
        { QStringLiteral("--link"), link, QStringLiteral("--interval"), QStringLiteral("150"),
            QStringLiteral("--no-echo") });
    if (!sim.waitForStarted(3000))
        return 1;
    for (int i = 0; i < 50 && !QFile::exists(link); ++i)
        QTest::qWait(100);
    qputenv(
        "QUILLON_EXTRA_PORTS", (link + QStringLiteral("=Quillon simulated board")).toLocal8Bit());
    MsgBox::setHandler([](const MsgBox::Call&) { return QMessageBox::Ok; });

    Language::Id language = Language::Id::Chinese;
    if (argc > 3 && !Language::fromCode(QString::fromLocal8Bit(argv[3]), &language))
        return 2;
    Language::apply(language);
    MainWindow w;
    w.show();
    auto* ui = w.form();
    ui->serialNumComboBox->setCurrentIndex(
        ui->serialNumComboBox->findText(link, Qt::MatchStartsWith));
    ui->burdrateComboBox->setCurrentIndex(10);
    ui->sendDataTextEdit->setPlainText(QStringLiteral("AT+VERSION?"));
    ui->openSerialButton->click();
    QTest::qWait(4000);
    ui->fileDataLineEdit->setText(work.path() + QStringLiteral("/firmware.bin"));
    ui->sendFileButton->click();
    QTest::qWait(2500);
    const bool saved = w.grab().save(output);
    ui->sendFileButton->click();
    ui->openSerialButton->click();
    sim.terminate();
    sim.waitForFinished(3000);
    return saved ? 0 : 1;
}
