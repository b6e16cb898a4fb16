#pragma once

#include "TavrinEXENames.h"

#include "Collection.h"
#include "ItemPacking.h"
#include "CollectionSlice.h"
#include "ServedObject.h"
#include "TavrinEXEIntrospection.h"

#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <memory>

namespace TavrinEXE {

// One result collection served as TavrinEXE.Collection. Holds the collection alive while a
// client holds the path, so an earlier scan's findings stay readable. Served on the server's
// main thread; an engine's thread may append meanwhile.
class CollectionObject : public ServedObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_COLLECTION_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", TAVRIN_INTROSPECTION_Collection)
    Q_PROPERTY(int Count READ Count)
public:
    CollectionObject(ObjectRegistry *registry, std::shared_ptr<Collection> collection);

    int Count() const;

public slots:
    QDBusVariant Item(int index);
    // Fewer than count items when more would not fit one message on the bus.
    CollectionSlice Items(int first, int count); // marshalled as "av"
    // The same run packed in one byte array (ItemPacking.h): what the client library reads.
    QByteArray PackedItems(int first, int count);
    // The same run written to a pipe (ItemPipe.h), cut to the room in it: the bytes written.
    int WriteItems(int first, int count, const QDBusUnixFileDescriptor &pipe);
    void Add(const QDBusVariant &item);

private:
    // The last index of a run that may be read, or 0 after answering the call with an error.
    qint32 lastOfRun(int first, int count);
    // Items first to last packed, as many as fit budget bytes.
    ItemPacking::Packer packRun(qint32 first, qint32 last, qint64 budget) const;

    std::shared_ptr<Collection> mCollection;
};

} // namespace TavrinEXE
