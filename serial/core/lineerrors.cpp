#include "serial/core/lineerrors.h"

#include <QCoreApplication>
#include <QStringList>

namespace LineErrors {

static QString tr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

static quint32 gained(quint32 before, quint32 now) { return now > before ? now - before : 0; }

// Totals saturate rather than wrap: a wrapped total would read as if the errors had gone.
static quint32 add(quint32 a, quint32 b) { return b > 0xFFFFFFFFu - a ? 0xFFFFFFFFu : a + b; }

// One counter at a time, the same rule for each.
template <typename Rule> static Counts eachCounter(const Counts& a, const Counts& b, Rule rule)
{
    Counts c;
    c.overrun = rule(a.overrun, b.overrun);
    c.bufOverrun = rule(a.bufOverrun, b.bufOverrun);
    c.frame = rule(a.frame, b.frame);
    c.parity = rule(a.parity, b.parity);
    c.brk = rule(a.brk, b.brk);
    return c;
}

Counts increase(const Counts& before, const Counts& now)
{
    return eachCounter(before, now, gained);
}

Counts sum(const Counts& a, const Counts& b) { return eachCounter(a, b, add); }

bool any(const Counts& c) { return c.overrun || c.bufOverrun || c.frame || c.parity || c.brk; }

// The names and values of the counts that are not zero, in a fixed order.
static QStringList items(const Counts& c, const QString& sign)
{
    const struct {
        const char* name;
        quint32 value;
    } all[] = { { QT_TRANSLATE_NOOP("MainWindow", "溢出"), c.overrun },
        { QT_TRANSLATE_NOOP("MainWindow", "缓冲区溢出"), c.bufOverrun },
        { QT_TRANSLATE_NOOP("MainWindow", "帧错误"), c.frame },
        { QT_TRANSLATE_NOOP("MainWindow", "校验错误"), c.parity },
        { QT_TRANSLATE_NOOP("MainWindow", "中断"), c.brk } };
    QStringList out;
    for (const auto& item : all)
        if (item.value)
            out << tr(item.name) + QLatin1Char(' ') + sign + QString::number(item.value);
    return out;
}

QString markerLine(const Counts& increase, const QTime& at)
{
    if (!any(increase))
        return QString();
    return tr("⚠ %1 线路错误：%2（此处可能丢失数据）")
        .arg(at.toString(QStringLiteral("hh:mm:ss.zzz")),
            items(increase, QStringLiteral("+")).join(tr("，")));
}

QString totalsText(const Counts& totals)
{
    if (!any(totals))
        return QString();
    return tr("线路错误：%1").arg(items(totals, QString()).join(tr("，")));
}

}
