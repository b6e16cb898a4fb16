#pragma once

#include <functional>

// Yields to the message loop: processes the calling thread's pending events. A yield that comes
// less than a fraction of a millisecond after the last real one only reads a clock, so that a
// scan may yield after every line while a request still waits at most about a millisecond.
void DoEvents();

// Seams for tests, for the calling thread only: a hook run at every yield (before any event is
// processed), and the least time between two real event passes in microseconds (0 processes events
// at every yield).
void setDoEventsHook(std::function<void()> hook);
void setDoEventsInterval(int microseconds);
