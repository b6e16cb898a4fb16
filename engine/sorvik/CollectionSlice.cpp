#include "CollectionSlice.h"

#include <QDBusMetaType>
#include <QDBusVariant>

namespace TavrinEXE {

void CollectionSlice::registerType() {
    qDBusRegisterMetaType<CollectionSlice>();
}

QDBusArgument &operator<<(QDBusArgument &arg, const CollectionSlice &slice) {
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    if (slice.collection) {
        for (qint32 i = slice.first; i <= slice.last; ++i)
            arg << QDBusVariant(slice.collection->Item(i));
    }
    arg.endArray();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, CollectionSlice &slice) {
    auto items = std::make_shared<Collection>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant item;
        arg >> item;
        items->Add(item.variant());
    }
    arg.endArray();
    slice = {items, 1, items->Count()};
    return arg;
}

} // namespace TavrinEXE
