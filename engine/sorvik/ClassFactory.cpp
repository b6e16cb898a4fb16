#include "ClassFactory.h"

#include "CallContext.h"
#include "ObjectRegistry.h"

namespace TavrinEXE {

ClassFactory::ClassFactory(ObjectRegistry *registry, int idleMs, QObject *parent)
    : QObject(parent), mRegistry(registry) {
    mIdle.setSingleShot(true);
    mIdle.setInterval(idleMs);
    connect(&mIdle, &QTimer::timeout, this, [this] {
        if (!mRegistry->engineRequested()) {
            mRegistry->connection().unregisterService(kServiceName);
            mEnding.start();
        }
    });
    // Ending: give up the name first, so new clients start the next sorvik, and serve what
    // already reached this one for a moment; a request meanwhile keeps the process alive.
    mEnding.setSingleShot(true);
    mEnding.setInterval(kEndingGraceMs);
    connect(&mEnding, &QTimer::timeout, this, [this] {
        if (mRegistry->engineCount() == 0)
            emit finished();
    });
    connect(mRegistry, &ObjectRegistry::lastEngineGone, this, [this] {
        mRegistry->connection().unregisterService(kServiceName);
        mEnding.start();
    });
    mIdle.start();
}

QDBusObjectPath ClassFactory::CreateInstance() {
    if (mEnding.isActive())
        mRegistry->connection().registerService(kServiceName);
    CallContext *call = CallContext::current();
    return QDBusObjectPath(mRegistry->exportEngine(call ? call->caller() : QString()));
}

} // namespace TavrinEXE
