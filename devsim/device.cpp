#include "devsim/device.h"

QByteArray Device::feed(const QByteArray& received) { return echoOn ? received : QByteArray(); }
