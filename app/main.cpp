#include "app/core/startoptions.h"
#include "app/language.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

#include <cstdio>

namespace {

// Relative port paths are the caller's: the packaged launcher changes folder before it starts us.
QString callerDir()
{
    const QString dir = QString::fromLocal8Bit(qgetenv("QUILLON_START_DIR"));
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

// Help, version and errors: printed, with the exit code; -1 when the window is to start.
int report(StartOptions::Parse result, const QString& message)
{
    switch (result) {
    case StartOptions::Parse::Help:
    case StartOptions::Parse::Version:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case StartOptions::Parse::Error:
        std::fprintf(stderr, "quillon: %s\nTry --help.\n", qPrintable(message));
        return 2;
    case StartOptions::Parse::Ok:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    StartOptions options;
    QString message;
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    // Help and version need no display.
    if (StartOptions::asksForTextOnly(raw)) {
        QCoreApplication app(argc, argv);
        return qMax(0, report(StartOptions::parse(raw, callerDir(), &options, &message), message));
    }

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    // Parsed once Qt has taken its own options (-style, -platform) out of the list.
    const int exitCode = report(
        StartOptions::parse(QCoreApplication::arguments(), callerDir(), &options, &message),
        message);
    if (exitCode >= 0)
        return exitCode;
    // Before the first window: every text is made in the language from the start.
    Language::Id language = Language::Id::Chinese;
    if (!Language::fromCode(options.language, &language)) {
        QSettings stored(QStringLiteral("./Settings.ini"), QSettings::IniFormat);
        language = Language::stored(&stored);
    }
    Language::apply(language);
    MainWindow window;
    window.show();
    window.applyStartOptions(options);
    return app.exec();
}
