#include "PostedCalls.h"

namespace TavrinEXE {

void PostedCalls::post(std::function<void()> call) {
    {
        std::lock_guard lock(mMutex);
        mCalls.push_back(std::move(call));
    }
    // By name: no functor of ours is made here and read there.
    QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void PostedCalls::runPosted() {
    std::function<void()> call;
    {
        std::lock_guard lock(mMutex);
        if (mCalls.empty())
            return;
        call = std::move(mCalls.front());
        mCalls.pop_front();
    }
    call();
}

} // namespace TavrinEXE
