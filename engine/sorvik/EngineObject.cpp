#include "EngineObject.h"
#include "TavrinEXENames.h"

#include "BusErrors.h"
#include "ObjectRegistry.h"
#include "TavrinEXERuntime.h"
#include "TavrinXEngine.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QThread>

namespace TavrinEXE {

namespace {
const QString kSinkInterface = QStringLiteral(TAVRINEXE_EVENTS_INTERFACE);

// Unwraps a variant that a client sent inside the property's own variant.
QVariant plainValue(const QDBusVariant &v) {
    QVariant value = v.variant();
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

EngineObject::EngineObject(ObjectRegistry *registry, std::shared_ptr<TavrinX> engine)
    : TavrinXAdaptor(registry, std::move(engine)) {}

EngineObject::~EngineObject() = default;

QDBusObjectPath EngineObject::handOut(CollectionGetter getter) const {
    return QDBusObjectPath(mRegistry->exportCollection(((*mEngine).*getter)(), caller()));
}

void EngineObject::assign(CollectionSetter setter, const QDBusObjectPath &vNewValue) {
    const QString path = vNewValue.path();
    std::shared_ptr<Collection> collection = mRegistry->collectionAt(path);
    if (!collection) {
        fail(BusErrors::kTypeMismatch, PlatformError::typeMismatch().description());
        return;
    }
    if (calledFromBus() && !mRegistry->holds(path, caller())) {
        fail(BusErrors::kAccessDenied,
             QStringLiteral("The caller holds no reference to %1").arg(path));
        return;
    }
    ((*mEngine).*setter)(std::move(collection));
}

void EngineObject::assignVariant(VariantSetter setter, const QDBusVariant &vNewValue) {
    const QVariant value = plainValue(vNewValue);
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        throw PlatformError::typeMismatch();
    ((*mEngine).*setter)(value);
}

uint EngineObject::Advise(const QDBusObjectPath &sink) {
    if (mSinks.size() >= kMostSinks) {
        fail(BusErrors::kLimitsExceeded,
             QStringLiteral("An engine object takes at most %1 sinks").arg(kMostSinks));
        return 0;
    }
    const uint cookie = mNextCookie++;
    mSinks.append({cookie, caller(), sink.path()});
    return cookie;
}

void EngineObject::Unadvise(uint cookie) {
    const auto it = std::find_if(mSinks.begin(), mSinks.end(),
                                 [&](const Sink &s) { return s.cookie == cookie; });
    if (it == mSinks.end() || it->client != caller()) {
        fail(BusErrors::kInvalidArgs, QStringLiteral("No such connection: %1").arg(cookie));
        return;
    }
    mSinks.erase(it);
}

void EngineObject::retire() {
    mRetired = true;
    mSinks.clear();
    mEngine->Abort(); // nobody is left to read the findings: the scan stops at its next yield
    thread()->quit(); // also ends a wait for a sink's reply or for the scan's turn
}

void EngineObject::raise(const QString &event, const QVariantList &arguments) {
    const QList<Sink> sinks = mSinks; // a handler may advise or unadvise meanwhile
    QDBusConnection connection = mRegistry->connection();
    for (const Sink &sink : sinks) {
        if (mRetired)
            return; // the path is gone; the events go to nobody now
        QDBusMessage call =
            QDBusMessage::createMethodCall(sink.client, sink.path, kSinkInterface, event);
        call.setArguments(arguments);
        // The handler may call back into this engine; other engines run on their threads.
        QDBusPendingCallWatcher watcher(connection.asyncCall(call, kHandlerReplyTimeout));
        if (!watcher.isFinished()) {
            QEventLoop loop;
            connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
            if (!watcher.isFinished())
                loop.exec();
        }
        if (!watcher.isFinished())
            return; // the thread is ending
        const QDBusMessage reply = watcher.reply();
        if (reply.type() == QDBusMessage::ErrorMessage &&
            BusErrors::peerIsGone(QDBusError(reply))) {
            mSinks.erase(std::remove_if(mSinks.begin(), mSinks.end(),
                                        [&](const Sink &s) { return s.cookie == sink.cookie; }),
                         mSinks.end());
        }
    }
}

void EngineObject::dropSinksOf(const QString &client) {
    mSinks.erase(std::remove_if(mSinks.begin(), mSinks.end(),
                                [&](const Sink &s) { return s.client == client; }),
                 mSinks.end());
}

} // namespace TavrinEXE
