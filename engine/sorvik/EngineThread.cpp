#include "EngineThread.h"

#include "EngineObject.h"
#include "TavrinX.h"

namespace TavrinEXE {

EngineThread::EngineThread(ObjectRegistry *registry, const QString &path)
    : mRegistry(registry), mPath(path) {
    setStackSize(kStackBytes);
    setObjectName(QStringLiteral("engine %1").arg(path));
}

EngineObject *EngineThread::startEngine() {
    start();
    mReady.acquire();
    if (mFailure) {
        wait();
        std::rethrow_exception(mFailure);
    }
    return mObject;
}

void EngineThread::run() {
    try {
        mObject = new EngineObject(mRegistry, mPath, TavrinX::create());
    } catch (...) {
        mFailure = std::current_exception();
    }
    mReady.release();
    if (!mObject)
        return;
    exec();
    delete mObject; // with the engine and its timer, on the thread they belong to
    mObject = nullptr;
}

} // namespace TavrinEXE
