#include "app/core/startoptions.h"

#include "app/core/appinfo.h"

#include <QCommandLineParser>
#include <QDir>

const QList<int>& StartOptions::baudRates()
{
    static const QList<int> rates { 110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600,
        115200, 230400, 460800, 921600, 1000000, 1500000, 2000000 };
    return rates;
}

bool StartOptions::asksForTextOnly(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")
            || argument == QLatin1String("-v") || argument == QLatin1String("--version"))
            return true;
    }
    return false;
}

StartOptions::Parse StartOptions::parse(
    const QStringList& arguments, const QString& baseDir, StartOptions* options, QString* message)
{
    QStringList rates;
    for (int rate : baudRates())
        rates << QString::number(rate);
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
        QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") },
        QStringLiteral("Show the version and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Select the serial port PATH (/dev/ttyUSB0, ttyUSB0, or the path of a pty "
                       "or link, which is listed even when the scan does not show it)."),
        QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"),
        QStringLiteral("Select the baud rate N, one of %1.").arg(rates.join(QStringLiteral(", "))),
        QStringLiteral("N"));
    const QCommandLineOption open(
        QStringLiteral("open"), QStringLiteral("Open the selected port at start."));
    const QCommandLineOption lang(QStringLiteral("lang"),
        QStringLiteral("Show the interface in LANG for this run: zh (Chinese) or en (English)."),
        QStringLiteral("LANG"));
    QCommandLineParser parser;
    parser.addOptions({ help, version, port, baud, open, lang });

    if (!parser.parse(arguments)) {
        *message = parser.errorText();
        return Parse::Error;
    }
    if (parser.isSet(help)) {
        const QString usage = QStringLiteral(
            "Usage: quillon [--port PATH] [--baud N] [--open] [--lang zh|en]\n"
            "Quillon, a serial-port debugging assistant. Without options it starts with the port "
            "and parameters used last.\n\nOptions:\n");
        QString list;
        for (const QCommandLineOption* option : { &help, &version, &port, &baud, &open, &lang }) {
            QStringList names;
            for (const QString& name : option->names())
                names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            QString left = names.join(QStringLiteral(", "));
            if (!option->valueName().isEmpty())
                left += QLatin1Char(' ') + option->valueName();
            list += QStringLiteral("  %1  %2\n").arg(left, -20).arg(option->description());
        }
        *message = usage + list;
        return Parse::Help;
    }
    if (parser.isSet(version)) {
        *message = QStringLiteral("quillon %1\n").arg(AppInfo::version());
        return Parse::Version;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *message
            = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return Parse::Error;
    }

    StartOptions o;
    o.port = parser.value(port).trimmed();
    if (parser.isSet(port) && o.port.isEmpty()) {
        *message = QStringLiteral("--port: the path must not be empty");
        return Parse::Error;
    }
    if (o.port.contains(QLatin1Char('/')))
        o.port = QDir::cleanPath(QDir(baseDir).absoluteFilePath(o.port));
    if (parser.isSet(baud)) {
        bool ok = false;
        o.baudRate = parser.value(baud).trimmed().toInt(&ok);
        if (!ok || !baudRates().contains(o.baudRate)) {
            *message = QStringLiteral("--baud: expected one of %1, got \"%2\"")
                           .arg(rates.join(QStringLiteral(", ")), parser.value(baud));
            return Parse::Error;
        }
    }
    o.open = parser.isSet(open);
    if (parser.isSet(lang)) {
        o.language = parser.value(lang).trimmed();
        if (o.language != QLatin1String("zh") && o.language != QLatin1String("en")) {
            *message
                = QStringLiteral("--lang: expected zh or en, got \"%1\"").arg(parser.value(lang));
            return Parse::Error;
        }
    }
    *options = o;
    return Parse::Ok;
}
