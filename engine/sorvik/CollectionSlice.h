#pragma once

#include "Collection.h"

#include <QDBusArgument>
#include <QMetaType>
#include <memory>

namespace TavrinEXE {

// Items first..last of a collection, marshalled as "av" straight from the collection, so a
// large batch read builds no intermediate list of tagged values. Read back, the items land in a
// collection of the slice's own.
struct CollectionSlice {
    std::shared_ptr<const Collection> collection;
    qint32 first = 1;
    qint32 last = 0; // an empty slice when last < first

    // Registers the type with the bus marshalling; call before the first reply is built.
    static void registerType();
};

QDBusArgument &operator<<(QDBusArgument &arg, const CollectionSlice &slice);
const QDBusArgument &operator>>(const QDBusArgument &arg, CollectionSlice &slice);

} // namespace TavrinEXE

Q_DECLARE_METATYPE(TavrinEXE::CollectionSlice)
