#include "devsim/bootloader.h"

#include <QFile>
#include <QStringList>
#include <QTextCodec>

namespace {

QByteArray gbk(const QString& text)
{
    static QTextCodec* const codec = QTextCodec::codecForName("GBK");
    return codec ? codec->fromUnicode(text) : text.toUtf8();
}

QByteArray line(const QString& text) { return gbk(text) + "\r\n"; }

const char* const separator = "==================================================";

QStringList menuItems()
{
    return {
        QStringLiteral("1 - 下载引导程序 HEX文件"),
        QStringLiteral("2 - 下载主程序 HEX文件"),
        QStringLiteral("3 - 下载主程序 BIN文件"),
        QStringLiteral("4 - 下载整合字库文件"),
        QStringLiteral("5 - 擦除用户参数扇区"),
    };
}

} // namespace

QByteArray BootLoader::defaultKey() { return "PLUMB24680QRSTU1357908642VWXYZ97531DEFGH"; }
QString BootLoader::banner() { return QStringLiteral("Copyright (C) 2015 Brenlow"); }
QString BootLoader::identification()
{
    return QStringLiteral("Brenlow boot-loader V2.1.0 for STM32F407 (cortex-m4)");
}
QString BootLoader::restartLine() { return QStringLiteral("MCU Boot：看门狗复位，重新启动"); }
QString BootLoader::leaveLine() { return QStringLiteral("正在启动应用程序..."); }
QString BootLoader::giveUpLine() { return QStringLiteral("等待超时，退出引导程序"); }

void BootLoader::stop()
{
    state = State::Off;
    deadline = -1;
    keyInput.clear();
}

QByteArray BootLoader::enter(qint64 nowMs)
{
    state = State::Choice;
    deadline = nowMs + opts.idleTimeoutMs;
    chosen = 0;
    QByteArray out = "\r\n" + line(banner()) + line(identification()) + "\r\n";
    out += QByteArray(separator) + "\r\n";
    for (const QString& item : menuItems())
        out += line(QStringLiteral("  ") + item);
    out += QByteArray(separator) + "\r\n";
    return out + ">";
}

QByteArray BootLoader::feed(const QByteArray& bytes, qint64 nowMs)
{
    QByteArray out;
    switch (state) {
    case State::Off:
    case State::ChoiceFlush:
    case State::Leaving:
        break;
    case State::Choice:
        for (const char c : bytes) {
            if (c >= '1' && c <= '5') {
                chosen = c;
                const QString item = menuItems().at(c - '1');
                // The answer starts a new line: the menu's prompt stays a line of its own.
                out += "\r\n" + line(QStringLiteral("已选择：") + item);
                state = State::ChoiceFlush;
                deadline = nowMs + ChoiceFlushMs;
                break; // the rest of the input is flushed
            }
        }
        break;
    case State::Key:
    case State::KeyAgain:
        keyInput += bytes;
        deadline = nowMs + KeyQuietMs;
        break;
    case State::AwaitFile:
    case State::Receiving: {
        state = State::Receiving;
        const bool restart
            = opts.bootLineAfterBytes >= 0 && file.size() + bytes.size() >= opts.bootLineAfterBytes;
        file += restart ? bytes.left(int(opts.bootLineAfterBytes - file.size())) : bytes;
        deadline = nowMs + opts.quietMs;
        if (restart) {
            saveDownload();
            state = State::Restarting;
            return "\r\n" + line(restartLine());
        }
        while (file.size() >= nextProgressAt) {
            nextProgressAt += ProgressBytes;
            if (!opts.silentAfterPrompt || !progressShown)
                out += ">>>\r\n";
            progressShown = true;
        }
        break;
    }
    case State::Restarting:
        deadline = nowMs + opts.quietMs;
        break;
    }
    return out;
}

QByteArray BootLoader::poll(qint64 nowMs)
{
    if (deadline < 0 || nowMs < deadline)
        return QByteArray();
    deadline = -1;
    switch (state) {
    case State::Choice:
    case State::AwaitFile:
        return giveUp(nowMs);
    case State::ChoiceFlush:
        state = State::Key;
        keyInput.clear();
        deadline = nowMs + opts.idleTimeoutMs;
        return gbk(QStringLiteral("请输入操作密码："));
    case State::Key:
    case State::KeyAgain:
        // Quiet after input ends a password; quiet without any gives up.
        return keyInput.isEmpty() ? giveUp(nowMs) : checkKey(nowMs);
    case State::Receiving:
        return finishDownload(nowMs);
    case State::Restarting:
    case State::Leaving:
        state = State::Off;
        return line(leaveLine());
    default:
        return QByteArray();
    }
}

QByteArray BootLoader::checkKey(qint64 nowMs)
{
    const QByteArray stars = QByteArray(keyInput.size(), '*') + "\r\n";
    if (keyInput != opts.key) {
        state = State::Leaving;
        deadline = nowMs + LeaveDelayMs;
        return stars + line(QStringLiteral("密码错误！升级已取消"));
    }
    keyInput.clear();
    deadline = nowMs + opts.idleTimeoutMs;
    if (state == State::Key) {
        state = State::KeyAgain;
        return stars + gbk(QStringLiteral("请再次输入密码："));
    }
    state = State::AwaitFile;
    file.clear();
    nextProgressAt = ProgressBytes;
    progressShown = false;
    return stars + line(QStringLiteral("密码验证通过"))
        + line(QStringLiteral("请传送主程序HEX文件...")) + ">>\r\n";
}

QByteArray BootLoader::giveUp(qint64 nowMs)
{
    // The menu and the password prompts leave the cursor behind them.
    const bool midLine = state != State::AwaitFile;
    state = State::Leaving;
    deadline = nowMs + LeaveDelayMs;
    return (midLine ? QByteArray("\r\n") : QByteArray()) + line(giveUpLine());
}

QByteArray BootLoader::finishDownload(qint64 nowMs)
{
    saveDownload();
    if (opts.silentAfterPrompt) {
        state = State::Off; // gives up without a word
        return QByteArray();
    }
    state = State::Leaving;
    deadline = nowMs + LeaveDelayMs;
    return "\r\n" + line(QStringLiteral("接收完成，共 %1 字节").arg(file.size()))
        + line(QStringLiteral("文件下载成功！"));
}

void BootLoader::saveDownload()
{
    ++finished;
    if (opts.downloadPath.isEmpty())
        return;
    QFile out(opts.downloadPath);
    writeFailed = !out.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || out.write(file) != file.size() || !out.flush();
}
