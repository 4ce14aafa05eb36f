#pragma once

#include <QString>
#include <QTime>

// The kernel's counts of what a UART lost or garbled (TIOCGICOUNT), turned into the marker line
// the view gets where a count moved and the totals the status bar shows.
namespace LineErrors {

struct Counts {
    quint32 overrun = 0; // the UART's own FIFO overflowed
    quint32 bufOverrun = 0; // the driver's buffer was full
    quint32 frame = 0;
    quint32 parity = 0;
    quint32 brk = 0;
    bool operator==(const Counts& o) const
    {
        return overrun == o.overrun && bufOverrun == o.bufOverrun && frame == o.frame
            && parity == o.parity && brk == o.brk;
    }
};

// What each count gained from `before` to `now`; a count that went back (the driver started
// over) gained nothing.
Counts increase(const Counts& before, const Counts& now);
Counts sum(const Counts& a, const Counts& b);
bool any(const Counts& counts);

// "⚠ hh:mm:ss.zzz 线路错误：溢出 +2，帧错误 +1（此处可能丢失数据）", or empty when nothing moved.
QString markerLine(const Counts& increase, const QTime& at);
// The totals since the port was opened, for the status bar; empty while all are zero.
QString totalsText(const Counts& totals);

}
