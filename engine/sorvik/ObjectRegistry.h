#pragma once

#include "Collection.h"
#include "PostedCalls.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <memory>
#include <mutex>

namespace TavrinEXE {

class DescriptorBudget;

// The objects sorvik serves and the references each client connection holds to them.
// Every path handed to a caller gives that caller one reference; an object with none left is
// unregistered and deleted. A connection that leaves the bus loses all its references.
// Lives on the main thread; engine threads hand out and look up collections through it too.
class ObjectRegistry : public QObject {
    Q_OBJECT
public:
    // budget: the descriptors engines take their share of; none when null.
    explicit ObjectRegistry(const QDBusConnection &connection, DescriptorBudget *budget = nullptr,
                            QObject *parent = nullptr);
    ~ObjectRegistry() override;

    QDBusConnection connection() const { return mConnection; }

    // Serves a new engine object on a thread of its own and gives client one reference;
    // returns its path. Throws PlatformError when the engine cannot be made, or when no thread
    // or descriptors are left for it.
    QString exportEngine(const QString &client);
    // The path of collection (served anew if it is not served yet), with one more reference
    // for client. An empty collection pointer gives "/".
    QString exportCollection(const std::shared_ptr<Collection> &collection, const QString &client);

    // The served object at path, or null. Main thread only: it stays valid until the main
    // thread releases it.
    QObject *objectAt(const QString &path) const;
    bool holds(const QString &path, const QString &client) const;
    // Drops one reference of client; the object goes when none is left. Main thread only.
    void release(const QString &path, const QString &client);
    // The served collection at path, or null when path is not one.
    std::shared_ptr<Collection> collectionAt(const QString &path) const;

    // Engine objects alive, counting those that outlive their path while a scan ends.
    int engineCount() const { return mEngines; }
    // Whether an engine object was ever created.
    bool engineRequested() const { return mEngineRequested; }

signals:
    void lastEngineGone();

private:
    struct Entry {
        QPointer<QObject> object;
        QHash<QString, int> references; // client connection -> count
        std::shared_ptr<Collection> collection;
        bool engine = false;
    };

    void addReference(const QString &path, const QString &client); // mLock held
    void watchClient(const QString &client);
    void dropClient(const QString &client);
    Entry take(const QString &path); // mLock held
    void destroy(Entry entry);       // after take

    void engineEnded();

    QDBusConnection mConnection;
    DescriptorBudget *mBudget;
    QDBusServiceWatcher mWatcher;
    QTimer mTrim; // gives the ended engines' memory back to the system
    PostedCalls mPosted{this};
    mutable std::mutex mLock; // guards the entries and the paths
    QHash<QString, Entry> mEntries;
    QHash<const Collection *, QString> mCollectionPaths;
    QSet<QString> mWatched;
    // Paths are numbered on from the start time in microseconds, so that a path a client kept
    // from an earlier sorvik never names an object of this one.
    quint64 mNextEngine;
    quint64 mNextCollection;
    int mEngines = 0;
    bool mEngineRequested = false;
};

} // namespace TavrinEXE
