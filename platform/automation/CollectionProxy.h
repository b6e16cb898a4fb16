#pragma once

#include <QDBusPendingCall>
#include <QString>
#include <QVariant>
#include <QVector>
#include <deque>

namespace TavrinEXE {

// A client's reference to one result collection of the server. Items never change once
// appended, so they are read ahead in batches and the batch being walked is cached; Count asks
// the server each time.
class CollectionProxy {
public:
    CollectionProxy(const QString &server, const QString &path);
    ~CollectionProxy(); // releases the server reference; never throws
    CollectionProxy(const CollectionProxy &) = delete;
    CollectionProxy &operator=(const CollectionProxy &) = delete;

    qint32 Count() const;
    QVariant Item(qint32 index) const; // 1-based; out of range throws PlatformError
    QString objectPath() const;

private:
    // Reads items from the end of the cached run on, at least up to index.
    void readAhead(qint32 index) const;
    QDBusPendingCall requestItems(qint32 first, qint32 count) const;

    QString mServer;
    QString mPath;
    // The batch last read, from index mFirst on; items never change. A client that reads far
    // from it (a poller taking up where it left off) starts a new run there.
    mutable QVector<QVariant> mItems;
    mutable qint32 mFirst = 1;
    mutable qint32 mBatch = 1024; // kFirstBatch
    // While a client walks the list, the next two batches are asked for before the last one is
    // unpacked, so the server builds one while the bus carries the other.
    struct Ahead {
        qint32 first;
        qint32 count;
        QDBusPendingCall call;
    };
    mutable std::deque<Ahead> mAhead;
};

} // namespace TavrinEXE
