#include "ClassFactory.h"

#include "CallContext.h"
#include "ObjectRegistry.h"
#include "PlatformError.h"
#include "ServerErrors.h"
#include "TavrinX.h"


namespace TavrinEXE {


ClassFactory::ClassFactory(ObjectRegistry *registry, int idleMs, QObject *parent)
    : QObject(parent), mRegistry(registry) {
    mIdle.setSingleShot(true);
    mIdle.setInterval(idleMs);
    connect(&mIdle, &QTimer::timeout, this, [this] {
        if (!mRegistry->engineRequested())
            emit finished();
    });
    connect(mRegistry, &ObjectRegistry::lastEngineGone, this, &ClassFactory::finished,
            Qt::QueuedConnection);
    mIdle.start();
}

QDBusObjectPath ClassFactory::CreateInstance() {
    CallContext *call = CallContext::current();
    try {
        return QDBusObjectPath(
            mRegistry->exportEngine(TavrinX::create(), call ? call->caller() : QString()));
    } catch (const PlatformError &e) {
        if (call)
            call->fail(ServerErrors::nameOf(e), ServerErrors::messageOf(e));
        return QDBusObjectPath(QStringLiteral("/"));
    }
}

} // namespace TavrinEXE
