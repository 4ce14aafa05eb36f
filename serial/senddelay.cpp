#include "serial/senddelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace SendDelay {

void wait(int ms)
{
    if (ms <= 0)
        return;
    QElapsedTimer waited;
    waited.start();
    // A coarse timer may fire up to 5 % early and leave the loop waiting for some unrelated
    // event; a precise one that is set again for what is left ends the wait on time.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (qint64 left = ms; left > 0; left = ms - waited.elapsed()) {
        if (!wake.isActive())
            wake.start(int(left));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}
