#pragma once

#include <QDBusArgument>
#include <QMetaType>
#include <QVector>

namespace TavrinEXE {

// A run of a collection's items, marshalled as "av": what Items answers, cut so that the reply
// fits the bus.
struct CollectionSlice {
    QVector<QVariant> items;
    qint64 bytes = 0; // what the items take in a message body

    // Registers the type with the bus marshalling; call before the first reply is built.
    static void registerType();
};

QDBusArgument &operator<<(QDBusArgument &arg, const CollectionSlice &slice);
const QDBusArgument &operator>>(const QDBusArgument &arg, CollectionSlice &slice);

} // namespace TavrinEXE

Q_DECLARE_METATYPE(TavrinEXE::CollectionSlice)
