#include "serial/readpacer.h"

#include <QSerialPort>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

ReadPacer::ReadPacer(QSerialPort* port)
    : port(port)
{
}

QSocketNotifier* ReadPacer::notifier()
{
    // The port makes a new notifier at every open; it is the port's only child that waits for
    // its descriptor to become readable.
    if (cached && cached->parent() == port && cached->socket() == port->handle())
        return cached;
    cached = nullptr;
    if (!port->isOpen())
        return nullptr;
    const auto children
        = port->findChildren<QSocketNotifier*>(QString(), Qt::FindDirectChildrenOnly);
    for (QSocketNotifier* n : children)
        if (n->type() == QSocketNotifier::Read && n->socket() == port->handle())
            cached = n;
    return cached;
}

bool ReadPacer::moreWaiting() const
{
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (::ioctl(int(port->handle()), FIONREAD, &waiting) == 0)
        return waiting > 0;
#endif
    return false;
}

void ReadPacer::afterRead(qint64 bytes)
{
    sinceTick += bytes;
    if (sinceTick >= FastBytesPerTick)
        return;
    QSocketNotifier* n = notifier();
    if (n && !moreWaiting())
        n->setEnabled(false);
}

void ReadPacer::resume()
{
    sinceTick = 0;
    if (QSocketNotifier* n = notifier())
        n->setEnabled(true);
}
