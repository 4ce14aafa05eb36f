#include "serial/core/senddelay.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVector>

namespace SendDelay {

namespace {
    // The waits under way, innermost last: a send may start inside another one's wait.
    QVector<QEventLoop*> waits;
}

bool wait(int ms)
{
    if (ms <= 0)
        return true;
    QElapsedTimer waited;
    waited.start();
    // An event loop of its own, not a processEvents() loop: quitting the application ends every
    // running loop, and a loop started after the quit returns at once.
    QEventLoop loop;
    bool done = false;
    // A coarse timer may fire up to 5 % early; a precise one that is set again for what is left
    // ends the wait on time.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, [&] {
        const qint64 left = ms - waited.elapsed();
        if (left > 0) {
            wake.start(int(left));
            return;
        }
        done = true;
        loop.quit();
    });
    wake.start(ms);
    waits.append(&loop);
    loop.exec();
    waits.removeOne(&loop);
    return done;
}

void cancelAll()
{
    for (QEventLoop* loop : qAsConst(waits))
        loop->exit();
}

}
