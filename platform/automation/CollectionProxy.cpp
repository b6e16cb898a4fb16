#include "AutomationCall.h"
#include "PlatformError.h"
#include "TavrinXProxy.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVariant>

namespace TavrinEXE {

namespace {
constexpr qint32 kLargestBatch = 65536;

QVariant plain(QVariant v) {
    while (v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = qvariant_cast<QDBusVariant>(v).variant();
    return v;
}
} // namespace

CollectionProxy::CollectionProxy(const QString &server, const QString &path)
    : msServer(server), msPath(path) {}

CollectionProxy::~CollectionProxy() {
    QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
        msServer, msPath, AutomationCall::kCollectionInterface, QStringLiteral("Release")));
}

QString CollectionProxy::objectPath() const {
    return msPath;
}

qint32 CollectionProxy::Count() const {
    return AutomationCall::getProperty(msServer, msPath, AutomationCall::kCollectionInterface,
                                       QStringLiteral("Count"))
        .toInt();
}

QVariant CollectionProxy::Item(qint32 index) const {
    if (index < 1)
        throw PlatformError::subscriptOutOfRange();
    if (index > mItems.size())
        readAhead(index);
    return mItems.at(index - 1);
}

void CollectionProxy::readAhead(qint32 index) const {
    // Batches grow while a client walks the list, so a full walk takes few round trips.
    while (index > mItems.size()) {
        const qint32 first = static_cast<qint32>(mItems.size()) + 1;
        QDBusMessage call = QDBusMessage::createMethodCall(
            msServer, msPath, AutomationCall::kCollectionInterface, QStringLiteral("Items"));
        call.setArguments({first, qMax(mlBatch, index - first + 1)});
        const QVariantList items =
            qdbus_cast<QVariantList>(AutomationCall::send(call).arguments().value(0));
        if (items.isEmpty())
            throw PlatformError::subscriptOutOfRange();
        mItems.reserve(mItems.size() + items.size());
        for (const QVariant &item : items)
            mItems.append(plain(item));
        mlBatch = qMin(kLargestBatch, mlBatch * 2);
    }
}

} // namespace TavrinEXE
