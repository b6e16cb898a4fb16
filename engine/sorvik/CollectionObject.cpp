#include "CollectionObject.h"

#include "ObjectRegistry.h"
#include "PlatformError.h"
#include "ServerErrors.h"

#include <QDBusArgument>
#include <QDBusError>

namespace TavrinEXE {

CollectionObject::CollectionObject(ObjectRegistry *registry, const QString &path,
                                   std::shared_ptr<Collection> collection)
    : ServedObject(registry, path), mCollection(std::move(collection)) {
    static const bool registered = (CollectionSlice::registerType(), true);
    Q_UNUSED(registered);
}

int CollectionObject::Count() const {
    return admitted() ? mCollection->Count() : 0;
}

QDBusVariant CollectionObject::Item(int index) {
    if (!admitted())
        return {};
    if (index < 1 || index > mCollection->Count()) {
        fail(ServerErrors::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        return {};
    }
    return QDBusVariant(mCollection->Item(index));
}

CollectionSlice CollectionObject::Items(int first, int count) {
    if (!admitted())
        return {};
    const qint32 total = mCollection->Count();
    if (count < 1) {
        fail(ServerErrors::kInvalidArgs,
             QStringLiteral("The count of items to read must be positive"));
        return {};
    }
    if (first < 1 || first > total) {
        fail(ServerErrors::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        return {};
    }
    return {mCollection, first,
            static_cast<qint32>(qMin<qint64>(total, qint64(first) + count - 1))};
}

void CollectionObject::Add(const QDBusVariant &item) {
    if (!admitted())
        return;
    const QVariant value = item.variant();
    // Items are plain strings and numbers; structures have no place in a result collection.
    if (value.metaType() == QMetaType::fromType<QDBusArgument>() ||
        value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        fail(ServerErrors::kTypeMismatch, PlatformError::typeMismatch().description());
        return;
    }
    mCollection->Add(value);
}

void CollectionObject::Release() {
    if (admitted())
        mRegistry->release(path(), caller());
}

} // namespace TavrinEXE
