#include "devsim/device.h"

#include "devsim/devsimoptions.h"
#include "tools/core/devicecommand.h"

#include <QString>
#include <QTextCodec>

namespace {

// Bytes 0 … 10 of every command frame, with the length field (3, 4) left open.
bool headerByteFits(int index, char c)
{
    static const QByteArray header = QByteArray::fromHex("AA7580000000AABB4201FE");
    return index == 3 || index == 4 || c == header.at(index);
}

} // namespace

void Device::configure(const DevSimOptions& options)
{
    echoOn = options.echo;
    bootOnReset = options.bootOnReset;
    BootLoader::Settings settings;
    settings.key = options.key.toUtf8();
    settings.silentAfterPrompt = options.silentAfterPrompt;
    settings.bootLineAfterBytes = options.bootLineAfterBytes;
    settings.quietMs = options.downloadQuietMs;
    settings.downloadPath = options.downloadPath;
    settings.idleTimeoutMs = options.bootTimeoutMs;
    loader.setSettings(settings);
}

QString Device::replyText(const QByteArray& payload, int resetsSoFar)
{
    const quint8 code = payload.isEmpty() ? 0 : quint8(payload.at(0));
    if (payload.size() == 1) {
        switch (code) {
        case DeviceCommand::HostVersion:
            return QStringLiteral("主机版本：SIM-M4 V2.1.0，编译于 2015-06-18");
        case DeviceCommand::ResetMcu:
            return QStringLiteral("MCU复位中，请稍候...");
        case DeviceCommand::ResetInfo:
            return resetsSoFar == 0
                ? QStringLiteral("复位信息：上电复位，复位次数 0")
                : QStringLiteral("复位信息：软件复位，复位次数 %1").arg(resetsSoFar);
        default:
            break;
        }
    }
    QString hex = QString::fromLatin1(payload.left(16).toHex(' ').toUpper());
    if (payload.size() > 16)
        hex += QStringLiteral(" ...");
    return QStringLiteral("收到数据 %1 字节：%2").arg(payload.size()).arg(hex);
}

QByteArray Device::feed(const QByteArray& received, qint64 nowMs)
{
    if (loader.isActive())
        return feedLoader(received, nowMs);
    QByteArray out;
    for (const char c : received)
        out += takeByte(c, nowMs);
    return out;
}

// The loader owns the port, but the reset command still restarts the board; the bytes behind it
// are lost in the restart.
QByteArray Device::feedLoader(const QByteArray& received, qint64 nowMs)
{
    static const QByteArray reset
        = DeviceCommand::commandFrame(QByteArray(1, char(DeviceCommand::ResetMcu)));
    const QByteArray seen = loaderTail + received;
    const int at = seen.indexOf(reset);
    if (at < 0) {
        loaderTail = seen.right(reset.size() - 1);
        return loader.feed(received, nowMs);
    }
    const int before = at - loaderTail.size();
    QByteArray out = before > 0 ? loader.feed(received.left(before), nowMs) : QByteArray();
    loaderTail.clear();
    loader.stop();
    frame.clear();
    lineEnd = LineEnd::None;
    return out + answer(QByteArray(1, char(DeviceCommand::ResetMcu)), nowMs);
}

QByteArray Device::takeByte(char c, qint64 nowMs)
{
    if (lineEnd != LineEnd::None) {
        const LineEnd expected = lineEnd;
        lineEnd = LineEnd::None;
        if (nowMs - frameEndMs < FrameTimeoutMs) {
            if (c == '\r' && expected == LineEnd::CrOrLf) {
                lineEnd = LineEnd::Lf;
                return QByteArray();
            }
            if (c == '\n')
                return QByteArray();
        }
    }
    if (frame.isEmpty()) {
        if (quint8(c) != 0xAA)
            return echoed(QByteArray(1, c));
        frame.append(c);
        frameStartMs = nowMs;
        return QByteArray();
    }
    const int index = frame.size();
    frame.append(c);
    if (index <= 10 && !headerByteFits(index, c))
        return abandonFrame(nowMs);
    if (index == 11) {
        const int length = (quint8(frame.at(3)) << 8) | quint8(frame.at(4));
        if (length != quint8(c) + 6)
            return abandonFrame(nowMs);
    }
    if (index >= 11 && frame.size() == 13 + quint8(frame.at(11)))
        return frameComplete(nowMs);
    return QByteArray();
}

// Not a frame after all: its first byte is an ordinary byte, the rest is looked at again.
QByteArray Device::abandonFrame(qint64 nowMs)
{
    const QByteArray rest = frame.mid(1);
    QByteArray out = echoed(frame.left(1));
    frame.clear();
    out += feed(rest, nowMs);
    return out;
}

QByteArray Device::frameComplete(qint64 nowMs)
{
    const QByteArray command = frame;
    frame.clear();
    const QByteArray body = command.left(command.size() - 1);
    if (DeviceCommand::commandFrame(body.mid(12)) != command)
        return echoed(command); // a bad checksum: not for us
    lineEnd = LineEnd::CrOrLf;
    frameEndMs = nowMs;
    return answer(body.mid(12), nowMs);
}

QByteArray Device::answer(const QByteArray& payload, qint64 nowMs)
{
    const quint8 code = payload.isEmpty() ? 0 : quint8(payload.at(0));
    static QTextCodec* const gbk = QTextCodec::codecForName("GBK");
    const QString text = replyText(payload, resetCount);
    const QByteArray reply
        = DeviceCommand::replyFrame(code, 0x00, gbk ? gbk->fromUnicode(text) : text.toUtf8());
    logHeldUntilMs = nowMs + ReplyGapMs;
    if (payload.size() == 1 && code == DeviceCommand::ResetMcu) {
        ++resetCount;
        if (bootOnReset)
            bootAtMs = nowMs + ResetDelayMs;
    }
    return reply;
}

QByteArray Device::poll(qint64 nowMs)
{
    QByteArray out;
    if (logHeldUntilMs >= 0 && nowMs >= logHeldUntilMs)
        logHeldUntilMs = -1;
    if (!frame.isEmpty() && nowMs - frameStartMs >= FrameTimeoutMs) {
        const QByteArray stale = frame;
        frame.clear();
        out += echoed(stale.left(1)) + feed(stale.mid(1), nowMs);
    }
    if (bootAtMs >= 0 && nowMs >= bootAtMs) {
        bootAtMs = -1;
        frame.clear();
        lineEnd = LineEnd::None;
        loaderTail.clear();
        out += loader.enter(nowMs);
    }
    if (loader.isActive())
        out += loader.poll(nowMs);
    return out;
}

qint64 Device::nextWakeMs() const
{
    qint64 wake = -1;
    const auto consider = [&wake](qint64 t) {
        if (t >= 0 && (wake < 0 || t < wake))
            wake = t;
    };
    if (!frame.isEmpty())
        consider(frameStartMs + FrameTimeoutMs);
    consider(bootAtMs);
    if (loader.isActive())
        consider(loader.nextWakeMs());
    if (logHeldUntilMs >= 0)
        consider(logHeldUntilMs);
    return wake;
}

bool Device::logPaused(qint64 nowMs) const
{
    return loader.isActive() || bootAtMs >= 0 || (logHeldUntilMs >= 0 && nowMs < logHeldUntilMs);
}
