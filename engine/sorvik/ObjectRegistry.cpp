#include "ObjectRegistry.h"
#include "TavrinEXENames.h"

#include "CollectionObject.h"
#include "DescriptorBudget.h"
#include "EngineObject.h"
#include "EngineThread.h"

#include <QDBusConnectionInterface>
#include <QDateTime>
#include <malloc.h>

namespace TavrinEXE {

namespace {
// Engines often end in bursts (a client leaves with all of them): one trim after the last.
constexpr int kTrimDelayMs = 500;
} // namespace

ObjectRegistry::ObjectRegistry(const QDBusConnection &connection, DescriptorBudget *budget,
                               QObject *parent)
    : QObject(parent), mConnection(connection), mBudget(budget) {
    mNextEngine = mNextCollection = quint64(QDateTime::currentMSecsSinceEpoch()) * 1000;
    // The allocator keeps what the ended threads freed in its arenas: give it back, so that a
    // server that once served thousands of engines does not keep their memory.
    mTrim.setSingleShot(true);
    mTrim.setInterval(kTrimDelayMs);
    connect(&mTrim, &QTimer::timeout, this, [] { malloc_trim(0); });
    mWatcher.setConnection(mConnection);
    mWatcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&mWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &ObjectRegistry::dropClient);
}

ObjectRegistry::~ObjectRegistry() {
    for (const Entry &entry : std::as_const(mEntries)) {
        if (!entry.engine)
            delete entry.object.data();
    }
}

QObject *ObjectRegistry::objectAt(const QString &path) const {
    std::lock_guard lock(mLock);
    return mEntries.value(path).object.data();
}

QString ObjectRegistry::exportEngine(const QString &client) {
    QString path;
    {
        std::lock_guard lock(mLock);
        path = QStringLiteral(TAVRINEXE_FACTORY_PATH "/%1").arg(mNextEngine++);
    }
    if (mBudget && !mBudget->takeEngine())
        throw PlatformError(
            PlatformError::TooManyFiles,
            QStringLiteral("Too many files: the descriptors left (at most %1) are kept for the "
                           "engines served")
                .arg(mBudget->limit()));
    auto *thread = new EngineThread(this, path, client);
    EngineObject *object = nullptr;
    try {
        object = thread->startEngine();
    } catch (...) {
        delete thread;
        if (mBudget)
            mBudget->giveEngine();
        throw;
    }
    ++mEngines;
    mEngineRequested = true;
    // The engine may outlive its path while its scan stops; the process lives as long.
    connect(thread, &QThread::finished, this, [this, thread] {
        thread->wait();
        delete thread;
        engineEnded();
    });
    {
        std::lock_guard lock(mLock);
        Entry entry;
        entry.object = object;
        entry.engine = true;
        mEntries.insert(path, entry);
        addReference(path, client);
    }
    watchClient(client);
    return path;
}

QString ObjectRegistry::exportCollection(const std::shared_ptr<Collection> &collection,
                                         const QString &client) {
    if (!collection)
        return QStringLiteral("/");
    std::lock_guard lock(mLock);
    QString path = mCollectionPaths.value(collection.get());
    if (path.isEmpty()) {
        path = QStringLiteral(TAVRINEXE_COLLECTION_PATH "/%1").arg(mNextCollection++);
        // Collections are served on the main thread, whichever engine thread hands one out.
        auto *object = new CollectionObject(this, collection);
        object->moveToThread(thread());
        Entry entry;
        entry.object = object;
        entry.collection = collection;
        mEntries.insert(path, entry);
        mCollectionPaths.insert(collection.get(), path);
    }
    addReference(path, client);
    if (!client.isEmpty() && !mWatched.contains(client)) // the engine's holder is watched already
        mPosted.post([this, client] { watchClient(client); });
    return path;
}

bool ObjectRegistry::holds(const QString &path, const QString &client) const {
    std::lock_guard lock(mLock);
    const auto it = mEntries.constFind(path);
    return it != mEntries.cend() && it->references.value(client) > 0;
}

void ObjectRegistry::release(const QString &path, const QString &client) {
    std::unique_lock lock(mLock);
    const auto it = mEntries.find(path);
    if (it == mEntries.end())
        return;
    const auto ref = it->references.find(client);
    if (ref == it->references.end())
        return;
    if (--ref.value() == 0)
        it->references.erase(ref);
    if (it->references.isEmpty()) {
        Entry entry = take(path);
        lock.unlock();
        destroy(std::move(entry));
    }
}

std::shared_ptr<Collection> ObjectRegistry::collectionAt(const QString &path) const {
    std::lock_guard lock(mLock);
    return mEntries.value(path).collection;
}

void ObjectRegistry::addReference(const QString &path, const QString &client) {
    // In-process callers (tests, no bus) are not counted by connection.
    const QString key = client.isEmpty() ? QStringLiteral("<in-process>") : client;
    ++mEntries[path].references[key];
}

void ObjectRegistry::watchClient(const QString &client) {
    if (client.isEmpty())
        return;
    {
        std::lock_guard lock(mLock);
        if (mWatched.contains(client))
            return;
        mWatched.insert(client);
    }
    mWatcher.addWatchedService(client);
    // The client may have left before the watch was set up.
    if (!mConnection.interface()->isServiceRegistered(client).value())
        dropClient(client);
}

void ObjectRegistry::dropClient(const QString &client) {
    mWatcher.removeWatchedService(client);
    QStringList orphans;
    QList<QPointer<QObject>> heldEngines; // that others hold on
    QList<Entry> entries;
    {
        std::lock_guard lock(mLock);
        mWatched.remove(client);
        for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
            if (it->references.remove(client) == 0)
                continue;
            if (it->references.isEmpty())
                orphans.append(it.key());
            else if (it->engine)
                heldEngines.append(it->object);
        }
        for (QString &path : orphans)
            entries.append(take(path));
    }
    // Only the engines the client held can have its sinks (Advise needs a reference).
    for (const QPointer<QObject> &object : std::as_const(heldEngines)) {
        auto *engine = static_cast<EngineObject *>(object.data());
        if (engine)
            engine->post([engine, client] { engine->dropSinksOf(client); });
    }
    for (Entry &entry : entries)
        destroy(std::move(entry));
}

void ObjectRegistry::engineEnded() {
    if (mBudget)
        mBudget->giveEngine();
    mTrim.start();
    if (--mEngines == 0)
        emit lastEngineGone();
}

ObjectRegistry::Entry ObjectRegistry::take(const QString &path) {
    Entry entry = mEntries.take(path);
    if (entry.collection)
        mCollectionPaths.remove(entry.collection.get());
    return entry;
}

void ObjectRegistry::destroy(Entry entry) {
    if (!entry.object)
        return;
    if (entry.engine) { // deleted on its thread once that ends
        auto *engine = static_cast<EngineObject *>(entry.object.data());
        engine->post([engine] { engine->retire(); });
    } else
        entry.object->deleteLater();
}

} // namespace TavrinEXE
