#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace TavrinEXE {

// What a process serving many engines puts before each scan, so that the scans of one client
// cannot take the processors or the descriptors of the others. Without a gate every scan
// starts at once.
class ScanGate {
public:
    using Pass = std::shared_ptr<void>; // held for the length of the scan

    virtual ~ScanGate() = default;

    // Called on the engine's thread by the tick that is to run a scan. Returns the scan's pass
    // once it may start, serving the thread's events meanwhile; null as soon as wanted() is
    // false after an event (the search was aborted), and the scan then stops at its first
    // check.
    virtual Pass enter(const std::function<bool()> &wanted) = 0;

    static ScanGate *installed() { return sInstalled.load(); }
    static void install(ScanGate *gate) { sInstalled.store(gate); }

private:
    static inline std::atomic<ScanGate *> sInstalled{nullptr};
};

} // namespace TavrinEXE
