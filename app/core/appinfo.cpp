#include "app/core/appinfo.h"

#include "app/version.h"

#include <QCoreApplication>

namespace AppInfo {

namespace {

    QString programName() { return QStringLiteral("Quillon.exe"); }

}

QString version() { return QStringLiteral(QUILLON_VERSION); }

QString versionTitle()
{
    return QStringLiteral("Quillon V" QUILLON_VERSION "  (" QUILLON_RELEASE_DATE ")");
}

QString trayTip()
{
    return QCoreApplication::translate("MainWindow", "应用名：%1\r\n版本号：%2")
        .arg(programName(), version());
}

QString trayTip(const QString& port)
{
    return QCoreApplication::translate("MainWindow", "应用名：%1\r\n版本号：%2\r\n端口号：%3")
        .arg(programName(), version(), port);
}

}
