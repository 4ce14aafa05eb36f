#pragma once

#include <QString>
#include <QVector>

// DTR and RTS as a program drives them, and what the line controls may do in each state of the
// port. The pulses follow the usual auto-reset wiring: on ESP32 boards two transistors pull EN
// low while RTS alone is asserted and IO0 low while DTR alone is; on Arduino boards a capacitor
// from DTR resets the chip when DTR becomes asserted.
namespace ControlLines {

// Asserted (true) or released, as TIOCMGET reports them.
struct Outputs {
    bool dtr = true;
    bool rts = true;
    bool operator==(const Outputs& other) const { return dtr == other.dtr && rts == other.rts; }
    bool operator!=(const Outputs& other) const { return !(*this == other); }
};

// Set both lines at once (one ioctl: an ESP32 reacts to any state in between), then wait.
struct Step {
    Outputs lines;
    int waitMs = 0;
};

// EN held low; then both asserted (EN released with IO0 high, and DTR's edge for an Arduino).
constexpr int ResetHoldMs = 100;
constexpr int ResetReleaseMs = 100;
// EN held low; then IO0 held low while EN rises, so the chip starts its boot loader.
constexpr int BootHoldMs = 100;
constexpr int BootStrapMs = 100;

// Both end in the lines as they were before, so the check boxes keep what the user chose.
QVector<Step> resetSequence(Outputs before);
QVector<Step> bootloaderSequence(Outputs before);

// Flow-control choices, in the order of the combo box and of the stored index.
enum Flow { NoFlow = 0, RtsCts = 1, XonXoff = 2 };
// A stored index out of range (an edited file) means no flow control.
Flow flowFromIndex(int index);

// The lines to release right after the open (true: release it) when the user asked for that.
// Under RTS/CTS the driver owns RTS: released by hand it would stay low and stop the peer.
Outputs releaseAtOpen(bool noAssert, Flow flow);

// What the controls may do now.
struct Controls {
    bool outputs = false; // the DTR and RTS check boxes
    bool rts = false; // under RTS/CTS the driver owns RTS
    bool pulses = false; // reset and boot-loader buttons
    bool inputs = false; // the CTS/DSR/DCD/RI indicators show a state
    QString why; // tool tip of what is greyed out; empty when nothing is
};
Controls controlsFor(bool open, bool linesSupported, Flow flow, bool pulseRunning);

}
