#include "serial/core/controllines.h"

#include <QCoreApplication>

namespace ControlLines {

static QString tr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

QVector<Step> resetSequence(Outputs before)
{
    return { { { false, true }, ResetHoldMs }, { { true, true }, ResetReleaseMs }, { before, 0 } };
}

QVector<Step> bootloaderSequence(Outputs before)
{
    return { { { false, true }, BootHoldMs }, { { true, false }, BootStrapMs }, { before, 0 } };
}

Flow flowFromIndex(int index) { return index == RtsCts || index == XonXoff ? Flow(index) : NoFlow; }

Outputs releaseAtOpen(bool noAssert, Flow flow) { return { noAssert, noAssert && flow != RtsCts }; }

Controls controlsFor(bool open, bool linesSupported, Flow flow, bool pulseRunning)
{
    Controls c;
    if (!open)
        return c;
    if (!linesSupported) {
        c.why = tr("此串口不支持控制线（如虚拟串口、部分USB转换器）");
        return c;
    }
    c.inputs = true;
    c.outputs = !pulseRunning;
    c.rts = c.outputs && flow != RtsCts;
    c.pulses = c.rts;
    if (flow == RtsCts)
        c.why = tr("RTS/CTS流控时RTS由驱动控制");
    return c;
}

}
