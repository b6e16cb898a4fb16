#include "DoEvents.h"

#include <QCoreApplication>
#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;

struct YieldState { // each thread that scans yields on its own schedule
    std::function<void()> hook;
    std::chrono::microseconds interval{500};
    Clock::time_point last{};
};

YieldState &state() {
    static thread_local YieldState s;
    return s;
}
} // namespace

void DoEvents() {
    YieldState &s = state();
    if (s.hook)
        s.hook();
    const Clock::time_point now = Clock::now();
    if (now - s.last < s.interval)
        return;
    s.last = now;
    QCoreApplication::processEvents();
}

void setDoEventsHook(std::function<void()> hook) {
    state().hook = std::move(hook);
}

void setDoEventsInterval(int microseconds) {
    state().interval = std::chrono::microseconds(microseconds);
}
