#include "EngineObject.h"
#include "TavrinEXENames.h"

#include "ObjectRegistry.h"
#include "ServerErrors.h"
#include "TavrinEXERuntime.h"
#include "TavrinXEngine.h"

#include <QAbstractEventDispatcher>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QThread>
#include <climits>

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

bool sinkIsGone(const QDBusError &error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
        return true;
    default:
        return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}
} // namespace

EngineObject::EngineObject(ObjectRegistry *registry, const QString &path,
                           std::shared_ptr<TavrinX> engine)
    : ServedObject(registry, path), mEngine(std::move(engine)) {
    TavrinX *e = mEngine.get();
    connect(e, &TavrinX::ScanStarted, this, [this] { raise(QStringLiteral("ScanStarted"), {}); });
    connect(e, &TavrinX::ScanCompleted, this,
            [this] { raise(QStringLiteral("ScanCompleted"), {}); });
    connect(e, &TavrinX::OnError, this, [this](qint32 &ErrorCode, QString &sErrorString) {
        raise(QStringLiteral("OnError"), {ErrorCode, sErrorString});
    });
}

EngineObject::~EngineObject() = default;

QDBusObjectPath EngineObject::handOut(CollectionGetter getter) const {
    return QDBusObjectPath(mRegistry->exportCollection(((*mEngine).*getter)(), caller()));
}

void EngineObject::assign(CollectionSetter setter, const QDBusObjectPath &vNewValue) {
    const QString path = vNewValue.path();
    std::shared_ptr<Collection> collection = mRegistry->collectionAt(path);
    if (!collection) {
        fail(ServerErrors::kTypeMismatch, PlatformError::typeMismatch().description());
        return;
    }
    if (calledFromBus() && !mRegistry->holds(path, caller())) {
        fail(ServerErrors::kAccessDenied,
             QStringLiteral("The caller holds no reference to %1").arg(path));
        return;
    }
    ((*mEngine).*setter)(std::move(collection));
}

void EngineObject::assignVariant(void (TavrinX::*setter)(const QVariant &),
                                 const QDBusVariant &vNewValue) {
    const QVariant value = plainValue(vNewValue);
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        throw PlatformError::typeMismatch();
    ((*mEngine).*setter)(value);
}

QDBusObjectPath EngineObject::mclnFileNames() const {
    return handOut(&TavrinX::mclnFileNames);
}
void EngineObject::setMclnFileNames(const QDBusObjectPath &v) {
    assign(&TavrinX::setMclnFileNames, v);
}
QDBusObjectPath EngineObject::mclnLines() const {
    return handOut(&TavrinX::mclnLines);
}
void EngineObject::setMclnLines(const QDBusObjectPath &v) {
    assign(&TavrinX::setMclnLines, v);
}
QDBusObjectPath EngineObject::mclnColumns() const {
    return handOut(&TavrinX::mclnColumns);
}
void EngineObject::setMclnColumns(const QDBusObjectPath &v) {
    assign(&TavrinX::setMclnColumns, v);
}
QDBusObjectPath EngineObject::mclnItemsFound() const {
    return handOut(&TavrinX::mclnItemsFound);
}
void EngineObject::setMclnItemsFound(const QDBusObjectPath &v) {
    assign(&TavrinX::setMclnItemsFound, v);
}
QDBusObjectPath EngineObject::mclnResults() const {
    return handOut(&TavrinX::mclnResults);
}
void EngineObject::setMclnResults(const QDBusObjectPath &v) {
    assign(&TavrinX::setMclnResults, v);
}

QString EngineObject::SearchPath() const {
    return mEngine->SearchPath();
}
void EngineObject::setSearchPath(const QString &v) {
    mEngine->setSearchPath(v);
}
QString EngineObject::SearchExt() const {
    return mEngine->SearchExt();
}
void EngineObject::setSearchExt(const QString &v) {
    mEngine->setSearchExt(v);
}
QString EngineObject::SearchString() const {
    return mEngine->SearchString();
}
void EngineObject::setSearchString(const QString &v) {
    mEngine->setSearchString(v);
}
short EngineObject::CaseSensitive() const {
    return mEngine->CaseSensitive();
}
void EngineObject::setCaseSensitive(short v) {
    mEngine->setCaseSensitive(v);
}
QDBusVariant EngineObject::WholeWordOnly() const {
    return QDBusVariant(mEngine->WholeWordOnly());
}
void EngineObject::setWholeWordOnly(const QDBusVariant &v) {
    assignVariant(&TavrinX::setWholeWordOnly, v);
}
QDBusVariant EngineObject::LookInSubfolders() const {
    return QDBusVariant(mEngine->LookInSubfolders());
}
void EngineObject::setLookInSubfolders(const QDBusVariant &v) {
    assignVariant(&TavrinX::setLookInSubfolders, v);
}
int EngineObject::SearchCount() const {
    return mEngine->SearchCount();
}
int EngineObject::SearchTime() const {
    return mEngine->SearchTime();
}
short EngineObject::SearchActive() const {
    return mEngine->SearchActive();
}
QDBusObjectPath EngineObject::FoundFiles() const {
    return handOut(&TavrinX::FoundFiles);
}
QDBusObjectPath EngineObject::FoundLines() const {
    return handOut(&TavrinX::FoundLines);
}
QDBusObjectPath EngineObject::FoundColumns() const {
    return handOut(&TavrinX::FoundColumns);
}
QDBusObjectPath EngineObject::FoundText() const {
    return handOut(&TavrinX::FoundText);
}
QDBusObjectPath EngineObject::ResultsFound() const {
    return handOut(&TavrinX::ResultsFound);
}
QString EngineObject::ExcludeFolders() const {
    return mEngine->ExcludeFolders();
}
void EngineObject::setExcludeFolders(const QString &v) {
    mEngine->setExcludeFolders(v);
}
short EngineObject::SkipBinaryFiles() const {
    return mEngine->SkipBinaryFiles();
}
void EngineObject::setSkipBinaryFiles(short v) {
    mEngine->setSkipBinaryFiles(v);
}
short EngineObject::UseRegularExpression() const {
    return mEngine->UseRegularExpression();
}
void EngineObject::setUseRegularExpression(short v) {
    mEngine->setUseRegularExpression(v);
}
int EngineObject::FilesSearched() const {
    return mEngine->FilesSearched();
}
QString EngineObject::CurrentFolder() const {
    return mEngine->CurrentFolder();
}

void EngineObject::Grep() {
    mEngine->Grep();
}

void EngineObject::Abort() {
    mEngine->Abort();
    // A scan waiting for its turn sees it at once.
    if (QAbstractEventDispatcher *dispatcher = thread()->eventDispatcher())
        dispatcher->wakeUp();
}

uint EngineObject::Advise(const QDBusObjectPath &sink) {
    if (mSinks.size() >= kMostSinks) {
        fail(ServerErrors::kLimitsExceeded,
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
        fail(ServerErrors::kInvalidArgs, QStringLiteral("No such connection: %1").arg(cookie));
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

void EngineObject::raise(const QString &method, const QVariantList &arguments) {
    const QList<Sink> sinks = mSinks; // a handler may advise or unadvise meanwhile
    QDBusConnection connection = mRegistry->connection();
    for (const Sink &sink : sinks) {
        if (mRetired)
            return; // the path is gone; the events go to nobody now
        QDBusMessage call =
            QDBusMessage::createMethodCall(sink.client, sink.path, kSinkInterface, method);
        call.setArguments(arguments);
        // No time limit: a handler may take as long as it likes. This engine's calls are served
        // meanwhile, so the handler may call back into it; other engines run on their threads.
        QDBusPendingCallWatcher watcher(connection.asyncCall(call, INT_MAX));
        if (!watcher.isFinished()) {
            QEventLoop loop;
            connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
            if (!watcher.isFinished())
                loop.exec();
        }
        if (!watcher.isFinished())
            return; // the thread is ending
        const QDBusMessage reply = watcher.reply();
        if (reply.type() == QDBusMessage::ErrorMessage && sinkIsGone(QDBusError(reply))) {
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
