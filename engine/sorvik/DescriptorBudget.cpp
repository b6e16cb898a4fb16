#include "DescriptorBudget.h"

#include <limits>
#include <sys/resource.h>

namespace TavrinEXE {

DescriptorBudget::DescriptorBudget(qint64 limit) : mLimit(limit) {}

qint64 DescriptorBudget::processLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > rlim_t(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return qint64(limit.rlim_cur);
}

bool DescriptorBudget::take(qint64 descriptors, qint64 leaving) {
    std::lock_guard lock(mMutex);
    if (mTaken + descriptors + leaving > mLimit)
        return false;
    mTaken += descriptors;
    return true;
}

void DescriptorBudget::give(qint64 descriptors) {
    std::lock_guard lock(mMutex);
    mTaken -= descriptors;
}

} // namespace TavrinEXE
