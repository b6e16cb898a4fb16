#pragma once

#include <QtGlobal>
#include <functional>

// Milliseconds of the monotonic clock as a 32-bit value; it wraps like the system tick counter.
qint32 GetTickCount();

// The milliseconds from the reading start to the later reading end, true across one wrap of the
// counter; a span that does not fit a signed 32-bit value is reported as its largest value.
qint32 TickSpan(qint32 start, qint32 end);

// Seam for tests: replaces the clock of the calling thread (an empty function restores the real
// one).
void setTickCountSource(std::function<qint32()> source);
