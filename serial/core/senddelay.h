#pragma once

// The wait before a send: events keep running, and the wait ends within a few milliseconds of
// its time, whatever else is going on.
namespace SendDelay {

// Waits ms milliseconds (on a monotonic clock) while processing events; nothing for ms <= 0.
// False when the wait was cut short, by cancelAll() or by the application quitting: the send it
// held back must not go out.
bool wait(int ms);

// Ends every wait under way at once; each of them returns false.
void cancelAll();

}
