#pragma once

#include <QPointer>
#include <QtGlobal>

class QSerialPort;
class QSocketNotifier;

// Lets a slow stream be read once per display tick instead of at every wake-up of the port's
// descriptor. A USB adapter hands over 200,000 B/s in a thousand small pieces a second, and each
// wake-up of the GUI thread costs more than the bytes it brings; the tick takes whatever has
// gathered in the driver meanwhile. A fast stream is read as the port signals, so pacing never
// caps what the port delivers. Without a notifier to pace (another platform, another Qt), it
// does nothing.
class ReadPacer {
public:
    // From this many bytes between two ticks on, the stream counts as fast.
    static constexpr qint64 FastBytesPerTick = 4096;

    explicit ReadPacer(QSerialPort* port);

    // After each read: a slow stream whose bytes are all read rests until resume().
    void afterRead(qint64 bytes);
    // At a tick that has room for more: the port reads again (it signals readyRead at once
    // when bytes have gathered).
    void resume();

private:
    QSocketNotifier* notifier();
    bool moreWaiting() const;

    QSerialPort* port;
    QPointer<QSocketNotifier> cached;
    qint64 sinceTick = 0;
};
