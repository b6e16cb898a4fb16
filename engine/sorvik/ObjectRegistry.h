#pragma once

#include "Collection.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <memory>

namespace TavrinEXE {

class TavrinX;

// The objects sorvik serves and the references each client connection holds to them.
// Every path handed to a caller gives that caller one reference; an object with none left is
// unregistered and deleted. A connection that leaves the bus loses all its references.
// Owned by the server's one thread, like every object it serves.
class ObjectRegistry : public QObject {
    Q_OBJECT
public:
    explicit ObjectRegistry(const QDBusConnection &connection, QObject *parent = nullptr);
    ~ObjectRegistry() override;

    QDBusConnection connection() const { return mConnection; }

    // Serves a new engine object and gives client one reference; returns its path.
    QString exportEngine(std::shared_ptr<TavrinX> engine, const QString &client);
    // The path of collection (served anew if it is not served yet), with one more reference
    // for client. An empty collection pointer gives "/".
    QString exportCollection(const std::shared_ptr<Collection> &collection, const QString &client);

    // The served object at path, or null.
    QObject *objectAt(const QString &path) const;
    bool holds(const QString &path, const QString &client) const;
    // Drops one reference of client; the object goes when none is left.
    void release(const QString &path, const QString &client);
    // The served collection at path, or null when path is not one.
    std::shared_ptr<Collection> collectionAt(const QString &path) const;

    // Engine objects alive, counting those that outlive their path while a scan ends.
    int engineCount() const { return mlEngines; }
    // Whether an engine object was ever created.
    bool engineRequested() const { return mbEngineRequested; }

signals:
    void lastEngineGone();
    void clientGone(const QString &client);

private:
    struct Entry {
        QPointer<QObject> object;
        QHash<QString, int> references; // client connection -> count
        const Collection *collection = nullptr;
    };

    void addReference(const QString &path, const QString &client);
    void watchClient(const QString &client);
    void dropClient(const QString &client);
    void destroy(const QString &path);

    QDBusConnection mConnection;
    QDBusServiceWatcher mWatcher;
    QHash<QString, Entry> mEntries;
    QHash<const Collection *, QString> mCollectionPaths;
    quint64 mlNextEngine = 1;
    quint64 mlNextCollection = 1;
    int mlEngines = 0;
    bool mbEngineRequested = false;
};

} // namespace TavrinEXE
