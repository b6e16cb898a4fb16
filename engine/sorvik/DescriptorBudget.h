#pragma once

#include "Scan.h"

#include <QtGlobal>
#include <mutex>

namespace TavrinEXE {

// The descriptors sorvik may hold, against its RLIMIT_NOFILE: an engine's thread and a scan
// take their share before they start and give it back when they end. Qt ends the process when
// a new thread's wake-up descriptor cannot be made, so an engine is refused before that.
class DescriptorBudget {
public:
    // Standard streams, the bus, the main thread, descriptors passed in calls, and spare.
    static constexpr qint64 kReserved = 64;
    // The thread's wake-up descriptor, and Grep's lookup of its path.
    static constexpr qint64 kPerEngine = 2;
    // The scan and its helper each hold a folder per level down to Scan::kOpenDepth, a deeper
    // folder being listed, and a file.
    static constexpr qint64 kPerScan = 2 * (Scan::kOpenDepth + 2);

    explicit DescriptorBudget(qint64 limit = processLimit());

    // The soft RLIMIT_NOFILE.
    static qint64 processLimit();

    // An engine is taken only while one more scan still fits, so that every armed scan gets
    // its turn once others have ended.
    bool takeEngine() { return take(kPerEngine, kPerScan); }
    void giveEngine() { give(kPerEngine); }
    bool takeScan() { return take(kPerScan, 0); }
    void giveScan() { give(kPerScan); }

    qint64 limit() const { return mLimit; }

private:
    bool take(qint64 descriptors, qint64 leaving);
    void give(qint64 descriptors);

    const qint64 mLimit;
    std::mutex mMutex;
    qint64 mTaken = kReserved;
};

} // namespace TavrinEXE
