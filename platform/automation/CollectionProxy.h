#pragma once

#include "ItemPipe.h"

#include <QDBusMessage>
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
    // A call for a run of items: the run comes in its reply, or, when pipe names the pipe
    // it was asked into, in that pipe.
    struct Request {
        qint32 first;
        qint32 count;
        QDBusPendingCall call;
        quint64 pipe = 0; // the pipe's generation; 0: in the reply
    };
    enum class Via { Pipe, Reply };

    // Reads items from the end of the cached run on, at least up to index.
    void readAhead(qint32 index) const;
    Request requestItems(qint32 first, qint32 count, Via via) const;
    // The packed run that answered request; false when the reply holds none to read.
    bool runOf(const Request &request, const QDBusMessage &reply, QByteArray &run) const;
    // Forgets the batches asked for ahead; a run one of them writes to the pipe later would
    // be read in place of another's, so the pipe goes with them.
    void dropAhead() const;

    QString mServer;
    QString mPath;
    // The batch last read, from index mFirst on; items never change. A client that reads far
    // from it (a poller taking up where it left off) starts a new run there.
    mutable QVector<QVariant> mItems;
    mutable qint32 mFirst = 1;
    mutable qint32 mBatch = 1024; // kFirstBatch
    // While a client walks the list, the next two batches are asked for before the last one is
    // unpacked, so the server builds one while the client unpacks the other.
    mutable std::deque<Request> mAhead;
    // Runs come through a pipe of this proxy's own, unless the server does not write there.
    mutable ItemPipeReader mPipe;
    mutable bool mPipeRefused = false;
};

} // namespace TavrinEXE
