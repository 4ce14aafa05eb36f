#pragma once

#include <QByteArray>

// What the simulated board answers to the bytes it receives. For now it only echoes; replies
// to command frames and the boot-loader dialogue hook in here.
class Device {
public:
    void setEcho(bool on) { echoOn = on; }
    bool echo() const { return echoOn; }

    // Takes received bytes in whatever pieces they arrive and returns the bytes to send back.
    QByteArray feed(const QByteArray& received);

private:
    bool echoOn = true;
};
