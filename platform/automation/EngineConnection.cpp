#include "EngineConnection.h"
#include "TavrinEXENames.h"

#include "AutomationCall.h"
#include "BusErrors.h"
#include "CollectionProxy.h"
#include "EventSink.h"
#include "TavrinEXERuntime.h"
#include "ServerActivation.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <climits>

namespace TavrinEXE {

namespace {
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage createInstance() {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        AutomationCall::kService, QStringLiteral(TAVRINEXE_FACTORY_PATH),
        QStringLiteral(TAVRINEXE_FACTORY_INTERFACE), QStringLiteral("CreateInstance"));
    QDBusMessage reply;
    // A sorvik that is ending gives up its name first; a request that reached it just before
    // finds no factory and is sent again, to the next sorvik.
    for (int attempt = 0; attempt < 3; ++attempt) {
        reply = AutomationCall::finish(QDBusConnection::sessionBus().asyncCall(call, INT_MAX));
        if (reply.type() != QDBusMessage::ErrorMessage)
            break;
        if (ServerActivation::busCannotActivate(reply.errorName()))
            ServerActivation::start();
        else if (!BusErrors::peerIsGone(QDBusError(reply)))
            break;
    }
    if (reply.type() != QDBusMessage::ReplyMessage)
        AutomationCall::raise(reply);
    return reply;
}

// Values the bus can carry in a variant property; the server converts them to a Boolean.
bool marshallable(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::QString:
        return true;
    default:
        return false;
    }
}
} // namespace

EngineConnection::EngineConnection(QObject *parent) : QObject(parent) {
    const QDBusMessage reply = createInstance();
    mServer = reply.service();
    mPath = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
}

EngineConnection::~EngineConnection() {
    // Sent without waiting: a destructor must not block on, or fail with, a server that went.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (mCookie != 0) {
        QDBusMessage unadvise = QDBusMessage::createMethodCall(
            mServer, mPath, AutomationCall::kEngineInterface, QStringLiteral("Unadvise"));
        unadvise.setArguments({mCookie});
        bus.send(unadvise);
    }
    bus.send(QDBusMessage::createMethodCall(mServer, mPath, AutomationCall::kEngineInterface,
                                            QStringLiteral("Release")));
}

void EngineConnection::advise(EventSink *sink) {
    sink->publish();
    QDBusMessage advise = QDBusMessage::createMethodCall(
        mServer, mPath, AutomationCall::kEngineInterface, QStringLiteral("Advise"));
    advise.setArguments({QVariant::fromValue(QDBusObjectPath(sink->path()))});
    mCookie = AutomationCall::send(advise).arguments().value(0).toUInt();
}

QString EngineConnection::objectPath() const {
    return mPath;
}

QVariant EngineConnection::readProperty(const QString &name) const {
    return AutomationCall::getProperty(mServer, mPath, AutomationCall::kEngineInterface, name);
}

void EngineConnection::writeProperty(const QString &name, const QVariant &value) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(mServer, mPath, kProperties, QStringLiteral("Set"));
    call.setArguments(
        {AutomationCall::kEngineInterface, name, QVariant::fromValue(QDBusVariant(value))});
    AutomationCall::send(call);
}

void EngineConnection::writeVariantProperty(const QString &name, const QVariant &value) {
    if (!marshallable(value))
        throw PlatformError::typeMismatch();
    writeProperty(name, QVariant::fromValue(QDBusVariant(value)));
}

void EngineConnection::invoke(const QString &method) const {
    AutomationCall::send(
        QDBusMessage::createMethodCall(mServer, mPath, AutomationCall::kEngineInterface, method));
}

std::shared_ptr<CollectionProxy> EngineConnection::collection(const QString &name) const {
    const QString path = qvariant_cast<QDBusObjectPath>(readProperty(name)).path();
    return std::make_shared<CollectionProxy>(mServer, path);
}

} // namespace TavrinEXE
