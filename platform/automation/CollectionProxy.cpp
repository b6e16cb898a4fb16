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
        mAhead.clear();
        mFirst = index;
        mBatch = kFirstBatch;
    }
    if (index >= qint64(mFirst) + mItems.size())
        readAhead(index);
    return mItems.at(index - mFirst);
}

QDBusPendingCall CollectionProxy::requestItems(qint32 first, qint32 count) const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        mServer, mPath, AutomationCall::kCollectionInterface, QStringLiteral("PackedItems"));
    call.setArguments({first, count});
    return QDBusConnection::sessionBus().asyncCall(call, INT_MAX);
}

void CollectionProxy::readAhead(qint32 index) const {
    // Batches grow while a client walks the list, so a full walk takes few round trips; from
    // the second batch on, the next two are asked for before this one is unpacked, so the server
    // builds one while the bus carries the other. The server answers fewer items than asked when
    // more would not fit one message; the next batch then starts after the last one received.
    while (index >= qint64(mFirst) + mItems.size()) {
        const qint32 first = mFirst + static_cast<qint32>(mItems.size());
        const qint32 count = qMax(mBatch, index - first + 1);
        const bool askedBefore = !mAhead.empty() && mAhead.front().first == first;
        if (!askedBefore)
            mAhead.clear();
        qint32 asked = askedBefore ? mAhead.front().count : count;
        QDBusPendingCall pending = askedBefore ? mAhead.front().call : requestItems(first, count);
        if (askedBefore)
            mAhead.pop_front();
        QDBusMessage reply = AutomationCall::finish(pending);
        // A batch asked for ahead may have been asked before a growing collection held it.
        if (askedBefore && reply.type() != QDBusMessage::ReplyMessage) {
            asked = count;
            reply = AutomationCall::finish(requestItems(first, count));
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
            qint32 next =
                mAhead.empty() ? first + asked : mAhead.back().first + mAhead.back().count;
            while (mAhead.size() < 2) {
                mAhead.push_back({next, ahead, requestItems(next, ahead)});
                next += ahead;
            }
        }
        // A walk keeps only the batch it is in: a client walks a collection once, in order, and
        // millions of cached items would only cost memory. A step back reads again.
        mItems.clear();
        mFirst = first;
        const QVariant packed = reply.arguments().value(0);
        if (packed.metaType() != QMetaType::fromType<QByteArray>() ||
            !ItemPacking::unpack(packed.toByteArray(), mItems))
            throw PlatformError(PlatformError::AutomationError,
                                QStringLiteral("Automation error: PackedItems replied no run of "
                                               "items"));
        if (mItems.isEmpty())
            throw PlatformError::subscriptOutOfRange();
        mBatch = qMin(kLargestBatch, mBatch * 2);
    }
}

} // namespace TavrinEXE
