#include "share/core/sharetext.h"

#include <QCoreApplication>
#include <QRegExp>

namespace ShareText {

// The dialog owns these texts: translate them in its context.
static QString tr(const char* text) { return QCoreApplication::translate("LogSharedDialog", text); }

QString ipv4Pattern()
{
    return QStringLiteral("((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[\\.]){3}"
                          "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])");
}

bool isIpv4(const QString& text)
{
    return QRegExp(ipv4Pattern(), Qt::CaseSensitive, QRegExp::RegExp).exactMatch(text);
}

int portFromText(const QString& text) { return text.toInt(nullptr, 10); }

// One arg() call each: a scoped address such as "fe80::1%2" must not be substituted again.
QString sourceName(const QString& address, quint16 port)
{
    if (address.isEmpty() || port == 0)
        return QString();
    return tr("%1[%2]").arg(address, QString::number(port));
}

QString listening(const QString& address, int port)
{
    return tr("本地监听 [%1:%2]").arg(address, QString::number(port));
}

QString peer(const QString& address, int port)
{
    return tr("来源网络 [%1:%2]").arg(address, QString::number(port));
}

QString target(const QString& address, int port)
{
    return tr("；传至 → [%1:%2]").arg(address, QString::number(port));
}

QString targetMissed(const QString& address, int port, qint64 bytes)
{
    return target(address, port) + tr("；对方漏收 %1 字节").arg(bytes);
}

} // namespace ShareText
