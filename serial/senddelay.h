#pragma once

// The wait before a send: events keep running, and the wait ends within a few milliseconds of
// its time, whatever else is going on.
namespace SendDelay {

// Waits ms milliseconds (on a monotonic clock) while processing events; nothing for ms <= 0.
void wait(int ms);

}
