#include "EngineThread.h"

#include "EngineObject.h"
#include "TavrinEXERuntime.h"
#include "TavrinXEngine.h"

namespace TavrinEXE {

EngineThread::EngineThread(ObjectRegistry *registry, const QString &path, const QString &client)
    : mRegistry(registry), mClient(client) {
    setStackSize(kStackBytes);
    setObjectName(QStringLiteral("engine %1").arg(path));
}

EngineObject *EngineThread::startEngine() {
    start();
    // QThread::start only warns when the system gives no thread (a task limit, no memory for
    // the stack): nothing would ever set mReady.
    if (!isRunning() && !isFinished())
        throw PlatformError(PlatformError::OutOfMemory,
                            QStringLiteral("No thread can be made for another engine"));
    mReady.wait();
    if (mFailure) {
        wait();
        std::rethrow_exception(mFailure);
    }
    return mObject;
}

QString EngineThread::currentClient() {
    const auto *thread = qobject_cast<const EngineThread *>(QThread::currentThread());
    return thread ? thread->mClient : QString();
}

void EngineThread::run() {
    try {
        mObject = new EngineObject(mRegistry, TavrinX::create());
    } catch (...) {
        mFailure = std::current_exception();
    }
    mPromised.set_value();
    if (!mObject)
        return;
    exec();
    delete mObject; // with the engine and its timer, on the thread they belong to
    mObject = nullptr;
}

} // namespace TavrinEXE
