#include "ObjectRegistry.h"
#include "TavrinEXENames.h"

#include "CollectionObject.h"
#include "EngineObject.h"
#include "EngineThread.h"

#include <QDBusConnectionInterface>
#include <QDateTime>

namespace TavrinEXE {

ObjectRegistry::ObjectRegistry(const QDBusConnection &connection, QObject *parent)
    : QObject(parent), mConnection(connection) {
    mNextEngine = mNextCollection = quint64(QDateTime::currentMSecsSinceEpoch()) * 1000;
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
    QMutexLocker lock(&mLock);
    return mEntries.value(path).object.data();
}

QString ObjectRegistry::exportEngine(const QString &client) {
    QString path;
    {
        QMutexLocker lock(&mLock);
        path = QStringLiteral(TAVRINEXE_FACTORY_PATH "/%1").arg(mNextEngine++);
    }
    auto *thread = new EngineThread(this, path);
    EngineObject *object = nullptr;
    try {
        object = thread->startEngine();
    } catch (...) {
        delete thread;
        throw;
    }
    ++mEngines;
    mEngineRequested = true;
    // The engine may outlive its path while its scan ends; the process lives as long.
    connect(thread, &QThread::finished, this, [this, thread] {
        thread->wait();
        delete thread;
        if (--mEngines == 0)
            emit lastEngineGone();
    });
    {
        QMutexLocker lock(&mLock);
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
    QMutexLocker lock(&mLock);
    QString path = mCollectionPaths.value(collection.get());
    if (path.isEmpty()) {
        path = QStringLiteral(TAVRINEXE_COLLECTION_PATH "/%1").arg(mNextCollection++);
        // Collections are served on the main thread, whichever engine thread hands one out.
        auto *object = new CollectionObject(this, path, collection);
        object->moveToThread(thread());
        Entry entry;
        entry.object = object;
        entry.collection = collection;
        mEntries.insert(path, entry);
        mCollectionPaths.insert(collection.get(), path);
    }
    addReference(path, client);
    if (!client.isEmpty() && !mWatched.contains(client)) // the engine's holder is watched already
        QMetaObject::invokeMethod(
            this, [this, client] { watchClient(client); }, Qt::QueuedConnection);
    return path;
}

bool ObjectRegistry::holds(const QString &path, const QString &client) const {
    QMutexLocker lock(&mLock);
    const auto it = mEntries.constFind(path);
    return it != mEntries.cend() && it->references.value(client) > 0;
}

void ObjectRegistry::release(const QString &path, const QString &client) {
    QMutexLocker lock(&mLock);
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
    QMutexLocker lock(&mLock);
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
        QMutexLocker lock(&mLock);
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
    emit clientGone(client);
    QStringList orphans;
    QList<Entry> entries;
    {
        QMutexLocker lock(&mLock);
        mWatched.remove(client);
        for (auto it = mEntries.begin(); it != mEntries.end();) {
            if (it->references.remove(client) > 0 && it->references.isEmpty())
                orphans.append(it.key());
            ++it;
        }
        for (QString &path : orphans)
            entries.append(take(path));
    }
    for (Entry &entry : entries)
        destroy(std::move(entry));
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
    if (entry.engine) // deleted on its thread once that ends
        QMetaObject::invokeMethod(static_cast<EngineObject *>(entry.object.data()),
                                  &EngineObject::retire, Qt::QueuedConnection);
    else
        entry.object->deleteLater();
}

} // namespace TavrinEXE
