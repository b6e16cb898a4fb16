#include "CollectionProxy.h"

#include "AutomationCall.h"
#include "BusErrors.h"
#include "ItemPacking.h"
#include "TavrinEXERuntime.h"

#include <QDBusConnection>
#include <climits>

namespace TavrinEXE {

namespace {
constexpr qint32 kFirstBatch = 1024;
// A batch is unpacked in one go, without a turn for the caller's event loop: at a microsecond or
// two an item, 65536 would hold a host's timers for a tenth of a second, 2048 for 2 to 4 ms.
// Packed batches of findings stay near 130 KB: replies of a megabyte cost the bus daemon and
// both ends more in mapping fresh memory than in carrying the items, and one takes longer to
// come while the reader waits.
constexpr qint32 kLargestBatch = 2048;
} // namespace

CollectionProxy::CollectionProxy(const QString &server, const QString &path)
    : mServer(server), mPath(path) {}

CollectionProxy::~CollectionProxy() {
    QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
        mServer, mPath, AutomationCall::kCollectionInterface, QStringLiteral("Release")));
}

QString CollectionProxy::objectPath() const {
    return mPath;
}

qint32 CollectionProxy::Count() const {
    return AutomationCall::getProperty(mServer, mPath, AutomationCall::kCollectionInterface,
                                       QStringLiteral("Count"))
        .toInt();
}

QVariant CollectionProxy::Item(qint32 index) const {
    if (index < 1)
        throw PlatformError::subscriptOutOfRange();
    const qint64 end = qint64(mFirst) + mItems.size(); // first index not cached
    if (index < mFirst || index > end + kFirstBatch) {
        mItems.clear();
        dropAhead();
        mFirst = index;
        mBatch = kFirstBatch;
    }
    if (index >= qint64(mFirst) + mItems.size())
        readAhead(index);
    return mItems.at(index - mFirst);
}

CollectionProxy::Request CollectionProxy::requestItems(qint32 first, qint32 count, Via via) const {
    const bool piped = via == Via::Pipe && !mPipeRefused && mPipe.open();
    QDBusMessage call =
        QDBusMessage::createMethodCall(mServer, mPath, AutomationCall::kCollectionInterface,
                                       piped ? QStringLiteral("WriteItems")
                                             : QStringLiteral("PackedItems"));
    call.setArguments(piped ? QVariantList{first, count, QVariant::fromValue(mPipe.writeEnd())}
                            : QVariantList{first, count});
    return {first, count, QDBusConnection::sessionBus().asyncCall(call, INT_MAX),
            piped ? mPipe.generation() : 0};
}

bool CollectionProxy::runOf(const Request &request, const QDBusMessage &reply,
                            QByteArray &run) const {
    const QVariant value = reply.arguments().value(0);
    const bool replied = reply.type() == QDBusMessage::ReplyMessage;
    if (request.pipe == 0) {
        if (!replied || value.metaType() != QMetaType::fromType<QByteArray>())
            return false;
        run = value.toByteArray();
        return true;
    }
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
        mPipeRefused = true; // a server that does not write to pipes
    else if (reply.errorName() == BusErrors::kFailed && request.pipe == mPipe.generation())
        mPipe.close(); // a run may stand there in part
    // A run written to a pipe since closed is gone; 0 bytes: no room for the first item.
    const qint32 bytes = value.metaType() == QMetaType::fromType<int>() ? value.toInt() : 0;
    return replied && bytes > 0 && request.pipe == mPipe.generation() && mPipe.isOpen() &&
           mPipe.read(bytes, run);
}

void CollectionProxy::dropAhead() const {
    for (const Request &request : mAhead)
        if (request.pipe != 0 && request.pipe == mPipe.generation())
            mPipe.close();
    mAhead.clear();
}

void CollectionProxy::readAhead(qint32 index) const {
    // Batches grow while a client walks the list, so a full walk takes few round trips; from
    // the second batch on, the next two are asked for before this one is unpacked, so the server
    // builds one while the client unpacks the other. The server answers fewer items than asked
    // when more would not fit the pipe or one message; the next batch then starts after the
    // last one received.
    while (index >= qint64(mFirst) + mItems.size()) {
        const qint32 first = mFirst + static_cast<qint32>(mItems.size());
        const qint32 count = qMax(mBatch, index - first + 1);
        const bool askedBefore = !mAhead.empty() && mAhead.front().first == first;
        if (!askedBefore)
            dropAhead();
        Request request = askedBefore ? mAhead.front() : requestItems(first, count, Via::Pipe);
        if (askedBefore)
            mAhead.pop_front();
        QDBusMessage reply = AutomationCall::finish(request.call);
        QByteArray run;
        bool received = runOf(request, reply, run);
        if (!received && askedBefore) {
            // A batch asked for ahead may have been asked before a growing collection held it
            // (a poller catching up with a scan): it is asked for again, and those after it
            // anew, since the pipe may hold their runs before its own.
            dropAhead();
            request = requestItems(first, count, Via::Pipe);
            reply = AutomationCall::finish(request.call);
            received = runOf(request, reply, run);
        }
        if (!received && request.pipe != 0) {
            // The pipe had no room for the first item: the batch comes in the reply.
            request = requestItems(first, count, Via::Reply);
            reply = AutomationCall::finish(request.call);
            received = runOf(request, reply, run);
        }
        if (reply.errorName() == BusErrors::kLimitsExceeded && first < index) {
            // The item at first is too large for one message: go on from the one asked for.
            mItems.clear();
            mFirst = index;
            mBatch = kFirstBatch;
            continue;
        }
        if (reply.type() != QDBusMessage::ReplyMessage)
            AutomationCall::raise(reply);
        if (mBatch > kFirstBatch) {
            const qint32 ahead = qMin(kLargestBatch, mBatch * 2);
            qint32 next = mAhead.empty() ? first + request.count
                                         : mAhead.back().first + mAhead.back().count;
            while (mAhead.size() < 2) {
                mAhead.push_back(requestItems(next, ahead, Via::Pipe));
                next += ahead;
            }
        }
        // A walk keeps only the batch it is in: a client walks a collection once, in order, and
        // millions of cached items would only cost memory. A step back reads again.
        mItems.clear();
        mFirst = first;
        if (!received || !ItemPacking::unpack(run, mItems))
            throw PlatformError(PlatformError::AutomationError,
                                QStringLiteral("Automation error: the server sent no run of "
                                               "items"));
        if (mItems.isEmpty())
            throw PlatformError::subscriptOutOfRange();
        mBatch = qMin(kLargestBatch, mBatch * 2);
    }
}

} // namespace TavrinEXE
