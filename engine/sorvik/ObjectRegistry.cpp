#include "ObjectRegistry.h"

#include "CollectionObject.h"
#include "EngineObject.h"
#include "TavrinX.h"

#include <QDBusConnectionInterface>

namespace TavrinEXE {

ObjectRegistry::ObjectRegistry(const QDBusConnection &connection, QObject *parent)
    : QObject(parent), mConnection(connection) {
    mWatcher.setConnection(mConnection);
    mWatcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&mWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &ObjectRegistry::dropClient);
}

ObjectRegistry::~ObjectRegistry() = default;

QObject *ObjectRegistry::objectAt(const QString &path) const {
    return mEntries.value(path).object.data();
}

QString ObjectRegistry::exportEngine(std::shared_ptr<TavrinX> engine, const QString &client) {
    const QString path = QStringLiteral("/TavrinEXE/TavrinX/%1").arg(mlNextEngine++);
    ++mlEngines;
    mbEngineRequested = true;
    // The engine may outlive its path while its scan ends; the process lives as long.
    connect(engine.get(), &QObject::destroyed, this, [this] {
        if (--mlEngines == 0)
            emit lastEngineGone();
    });
    auto *object = new EngineObject(this, path, std::move(engine));
    object->setParent(this);
    mEntries.insert(path, Entry{object, {}, nullptr});
    addReference(path, client);
    return path;
}

QString ObjectRegistry::exportCollection(const std::shared_ptr<Collection> &collection,
                                         const QString &client) {
    if (!collection)
        return QStringLiteral("/");
    QString path = mCollectionPaths.value(collection.get());
    if (path.isEmpty()) {
        path = QStringLiteral("/TavrinEXE/Collection/%1").arg(mlNextCollection++);
        auto *object = new CollectionObject(this, path, collection);
        object->setParent(this);
        mEntries.insert(path, Entry{object, {}, collection.get()});
        mCollectionPaths.insert(collection.get(), path);
    }
    addReference(path, client);
    return path;
}

bool ObjectRegistry::holds(const QString &path, const QString &client) const {
    const auto it = mEntries.constFind(path);
    return it != mEntries.cend() && it->references.value(client) > 0;
}

void ObjectRegistry::release(const QString &path, const QString &client) {
    const auto it = mEntries.find(path);
    if (it == mEntries.end())
        return;
    const auto ref = it->references.find(client);
    if (ref == it->references.end())
        return;
    if (--ref.value() == 0)
        it->references.erase(ref);
    if (it->references.isEmpty())
        destroy(path);
}

std::shared_ptr<Collection> ObjectRegistry::collectionAt(const QString &path) const {
    const auto it = mEntries.constFind(path);
    if (it == mEntries.cend() || !it->collection)
        return {};
    auto *object = qobject_cast<CollectionObject *>(it->object.data());
    return object ? object->collection() : nullptr;
}

void ObjectRegistry::addReference(const QString &path, const QString &client) {
    // In-process callers (tests, no bus) are not counted by connection.
    const QString key = client.isEmpty() ? QStringLiteral("<in-process>") : client;
    ++mEntries[path].references[key];
    if (!client.isEmpty())
        watchClient(client);
}

void ObjectRegistry::watchClient(const QString &client) {
    if (mWatcher.watchedServices().contains(client))
        return;
    mWatcher.addWatchedService(client);
    // The client may have left before the watch was set up.
    if (!mConnection.interface()->isServiceRegistered(client).value())
        dropClient(client);
}

void ObjectRegistry::dropClient(const QString &client) {
    mWatcher.removeWatchedService(client);
    emit clientGone(client);
    QStringList orphans;
    for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
        if (it->references.remove(client) > 0 && it->references.isEmpty())
            orphans.append(it.key());
    }
    for (const QString &path : orphans)
        destroy(path);
}

void ObjectRegistry::destroy(const QString &path) {
    const Entry entry = mEntries.take(path);
    if (entry.collection)
        mCollectionPaths.remove(entry.collection);
    // A handler of this object's event may be waiting on the stack: delete once it returned.
    if (entry.object)
        entry.object->deleteLater();
}

} // namespace TavrinEXE
