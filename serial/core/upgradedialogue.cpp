#include "serial/core/upgradedialogue.h"

#include <QTextCodec>

QString UpgradeDialogue::bannerText() { return QStringLiteral("Copyright (C) 2015 Brenlow"); }
QString UpgradeDialogue::menuSeparator() { return QStringLiteral("========="); }
QString UpgradeDialogue::keyPrompt() { return QStringLiteral("请输入操作密码："); }
QString UpgradeDialogue::keyAgainPrompt() { return QStringLiteral("请再次输入密码："); }
QString UpgradeDialogue::fileRequest() { return QStringLiteral("请传送主程序HEX文件..."); }
QString UpgradeDialogue::successText() { return QStringLiteral("文件下载成功！"); }

bool UpgradeDialogue::isPrompt(const QString& line)
{
    return line == QLatin1String(">") || line == QLatin1String(">>")
        || line == QLatin1String(">>>");
}

void UpgradeDialogue::forget()
{
    banner = false;
    loader = false;
    waiting = false;
}

UpgradeDialogue::Actions UpgradeDialogue::feed(
    QByteArray& pending, qint64 nowMs, const Inputs& inputs)
{
    Actions out;
    if (!started) {
        started = true;
        lastRunMs = nowMs;
    }
    bool running = inputs.transferRunning;

    if (waiting && nowMs - promptAtMs > PromptTimeoutMs) {
        forget();
        if (running) {
            out.append({ Action::StopTransfer, {}, {} });
            out.append({ Action::WarnTimeout, {}, {} });
            // The warning box runs a nested event loop whose display ticks take the pending
            // lines; stopping here keeps them in the order they arrived.
            return out;
        }
    }

    if (!pending.endsWith('\n') && pending.size() < LineWaitBytes && nowMs - lastRunMs < LineWaitMs)
        return out;

    lastRunMs = nowMs;
    QByteArray bytes;
    bytes.swap(pending);
    bytes.replace('\r', QByteArray());
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.isEmpty())
            handleLine(line, running, inputs, out, nowMs);
    }
    return out;
}

void UpgradeDialogue::handleLine(
    const QByteArray& raw, bool& running, const Inputs& inputs, Actions& out, qint64 nowMs)
{
    static QTextCodec* const gbk = QTextCodec::codecForName("GBK");
    int zeros = 0;
    while (zeros < raw.size() && raw.at(zeros) == '\0')
        ++zeros;
    const QByteArray rest = raw.mid(zeros);
    const QString text = QString(zeros, QLatin1Char(' '))
        + (gbk ? gbk->toUnicode(rest) : QString::fromLocal8Bit(rest));

    if (isPrompt(text)) {
        out.append({ Action::ShowPrompt, text, {} });
        promptAtMs = nowMs;
        waiting = true;
    } else {
        out.append({ Action::ShowLine, text, {} });
    }

    // The device restarted: whatever was under way is void.
    if (text.contains(QLatin1String("Boot"))) {
        forget();
        if (running) {
            out.append({ Action::StopTransfer, {}, {} });
            running = false;
        }
    }
    if (text.contains(bannerText()))
        banner = true;
    if (text.contains(QLatin1String("boot-")) && text.contains(QLatin1String("m4")))
        loader = true;
    if (!banner || !loader)
        return;

    if (text.contains(menuSeparator())) {
        out.append({ Action::MoveCursorToEnd, {}, {} });
        out.append({ Action::Write, {}, inputs.type });
    } else if (text.contains(keyPrompt()) || text.contains(keyAgainPrompt())) {
        out.append({ Action::Write, {}, inputs.key });
    } else if (text.contains(fileRequest())) {
        if (inputs.filePathSet) {
            out.append({ Action::ClickSendFile, {}, {} });
            running = !running; // the button toggles: a second request stops the transfer
        }
    } else if (text.contains(successText())) {
        forget();
        out.append({ Action::Uncheck, {}, {} });
    }
}
