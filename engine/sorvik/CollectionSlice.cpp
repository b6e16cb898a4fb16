#include "CollectionSlice.h"

#include <QDBusMetaType>
#include <QDBusVariant>

namespace TavrinEXE {

void CollectionSlice::registerType() {
    qDBusRegisterMetaType<CollectionSlice>();
}

QDBusArgument &operator<<(QDBusArgument &arg, const CollectionSlice &slice) {
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QVariant &item : slice.items)
        arg << QDBusVariant(item);
    arg.endArray();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, CollectionSlice &slice) {
    slice = {};
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant item;
        arg >> item;
        slice.items.append(item.variant());
    }
    arg.endArray();
    return arg;
}

} // namespace TavrinEXE
