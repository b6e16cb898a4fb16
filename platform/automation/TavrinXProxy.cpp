#include "TavrinXProxy.h"
#include "TavrinEXENames.h"

#include "AutomationCall.h"
#include "EventSink.h"
#include "ServerActivation.h"
#include "TavrinEXERuntime.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusVariant>

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
        const QDBusError::ErrorType type = QDBusError(reply).type();
        if (ServerActivation::busCannotActivate(reply.errorName()))
            ServerActivation::start();
        else if (type != QDBusError::UnknownObject && type != QDBusError::NoReply &&
                 type != QDBusError::Disconnected)
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

TavrinXProxy::TavrinXProxy(QObject *parent) : QObject(parent) {
    const QDBusMessage reply = createInstance();
    mServer = reply.service();
    mPath = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    auto *sink = new EventSink(this);
    mSink = sink;
    QDBusMessage advise = QDBusMessage::createMethodCall(
        mServer, mPath, AutomationCall::kEngineInterface, QStringLiteral("Advise"));
    advise.setArguments({QVariant::fromValue(QDBusObjectPath(sink->path()))});
    try {
        mCookie = AutomationCall::send(advise).arguments().value(0).toUInt();
    } catch (...) {
        invoke(QStringLiteral("Release")); // best effort; the object is useless without events
        throw;
    }
}

TavrinXProxy::~TavrinXProxy() {
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

QString TavrinXProxy::objectPath() const {
    return mPath;
}

QVariant TavrinXProxy::readProperty(const QString &name) const {
    return AutomationCall::getProperty(mServer, mPath, AutomationCall::kEngineInterface, name);
}

void TavrinXProxy::writeProperty(const QString &name, const QVariant &value) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(mServer, mPath, kProperties, QStringLiteral("Set"));
    call.setArguments(
        {AutomationCall::kEngineInterface, name, QVariant::fromValue(QDBusVariant(value))});
    AutomationCall::send(call);
}

void TavrinXProxy::writeVariantProperty(const QString &name, const QVariant &value) {
    if (!marshallable(value))
        throw PlatformError::typeMismatch();
    writeProperty(name, QVariant::fromValue(QDBusVariant(value)));
}

void TavrinXProxy::invoke(const QString &method) const {
    AutomationCall::send(
        QDBusMessage::createMethodCall(mServer, mPath, AutomationCall::kEngineInterface, method));
}

std::shared_ptr<CollectionProxy> TavrinXProxy::collection(const QString &name) const {
    const QString path = qvariant_cast<QDBusObjectPath>(readProperty(name)).path();
    return std::shared_ptr<CollectionProxy>(new CollectionProxy(mServer, path));
}

void TavrinXProxy::Grep() {
    invoke(QStringLiteral("Grep"));
}
void TavrinXProxy::Abort() {
    invoke(QStringLiteral("Abort"));
}

QString TavrinXProxy::SearchPath() const {
    return readProperty(QStringLiteral("SearchPath")).toString();
}
void TavrinXProxy::setSearchPath(const QString &vNewValue) {
    writeProperty(QStringLiteral("SearchPath"), vNewValue);
}
QString TavrinXProxy::SearchExt() const {
    return readProperty(QStringLiteral("SearchExt")).toString();
}
void TavrinXProxy::setSearchExt(const QString &vNewValue) {
    writeProperty(QStringLiteral("SearchExt"), vNewValue);
}
QString TavrinXProxy::SearchString() const {
    return readProperty(QStringLiteral("SearchString")).toString();
}
void TavrinXProxy::setSearchString(const QString &vNewValue) {
    writeProperty(QStringLiteral("SearchString"), vNewValue);
}
VBool TavrinXProxy::CaseSensitive() const {
    return static_cast<VBool>(readProperty(QStringLiteral("CaseSensitive")).toInt());
}
void TavrinXProxy::setCaseSensitive(VBool vNewValue) {
    writeProperty(QStringLiteral("CaseSensitive"), QVariant::fromValue<short>(vNewValue));
}
QString TavrinXProxy::ExcludeFolders() const {
    return readProperty(QStringLiteral("ExcludeFolders")).toString();
}
void TavrinXProxy::setExcludeFolders(const QString &vNewValue) {
    writeProperty(QStringLiteral("ExcludeFolders"), vNewValue);
}
VBool TavrinXProxy::SkipBinaryFiles() const {
    return static_cast<VBool>(readProperty(QStringLiteral("SkipBinaryFiles")).toInt());
}
void TavrinXProxy::setSkipBinaryFiles(VBool vNewValue) {
    writeProperty(QStringLiteral("SkipBinaryFiles"), QVariant::fromValue<short>(vNewValue));
}
VBool TavrinXProxy::UseRegularExpression() const {
    return static_cast<VBool>(readProperty(QStringLiteral("UseRegularExpression")).toInt());
}
void TavrinXProxy::setUseRegularExpression(VBool vNewValue) {
    writeProperty(QStringLiteral("UseRegularExpression"), QVariant::fromValue<short>(vNewValue));
}
qint32 TavrinXProxy::FilesSearched() const {
    return readProperty(QStringLiteral("FilesSearched")).toInt();
}
QString TavrinXProxy::CurrentFolder() const {
    return readProperty(QStringLiteral("CurrentFolder")).toString();
}
QVariant TavrinXProxy::WholeWordOnly() const {
    return readProperty(QStringLiteral("WholeWordOnly"));
}
void TavrinXProxy::setWholeWordOnly(const QVariant &vNewValue) {
    writeVariantProperty(QStringLiteral("WholeWordOnly"), vNewValue);
}
QVariant TavrinXProxy::LookInSubfolders() const {
    return readProperty(QStringLiteral("LookInSubfolders"));
}
void TavrinXProxy::setLookInSubfolders(const QVariant &vNewValue) {
    writeVariantProperty(QStringLiteral("LookInSubfolders"), vNewValue);
}
qint32 TavrinXProxy::SearchCount() const {
    return readProperty(QStringLiteral("SearchCount")).toInt();
}
qint32 TavrinXProxy::SearchTime() const {
    return readProperty(QStringLiteral("SearchTime")).toInt();
}
VBool TavrinXProxy::SearchActive() const {
    return static_cast<VBool>(readProperty(QStringLiteral("SearchActive")).toInt());
}

std::shared_ptr<CollectionProxy> TavrinXProxy::FoundFiles() const {
    return collection(QStringLiteral("FoundFiles"));
}
std::shared_ptr<CollectionProxy> TavrinXProxy::FoundLines() const {
    return collection(QStringLiteral("FoundLines"));
}
std::shared_ptr<CollectionProxy> TavrinXProxy::FoundColumns() const {
    return collection(QStringLiteral("FoundColumns"));
}
std::shared_ptr<CollectionProxy> TavrinXProxy::FoundText() const {
    return collection(QStringLiteral("FoundText"));
}
std::shared_ptr<CollectionProxy> TavrinXProxy::ResultsFound() const {
    return collection(QStringLiteral("ResultsFound"));
}

} // namespace TavrinEXE
