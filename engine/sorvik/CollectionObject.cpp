#include "CollectionObject.h"

#include "BusErrors.h"
#include "ItemPipe.h"
#include "MessageSize.h"
#include "TavrinEXERuntime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace TavrinEXE {

CollectionObject::CollectionObject(ObjectRegistry *registry, std::shared_ptr<Collection> collection)
    : ServedObject(registry), mCollection(std::move(collection)) {
    static const bool registered = (CollectionSlice::registerType(), true);
    Q_UNUSED(registered);
}

int CollectionObject::Count() const {
    return mCollection->Count();
}

QDBusVariant CollectionObject::Item(int index) {
    if (index < 1 || index > mCollection->Count()) {
        fail(BusErrors::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        return {};
    }
    return QDBusVariant(mCollection->Item(index));
}

qint32 CollectionObject::lastOfRun(int first, int count) {
    const qint32 total = mCollection->Count();
    if (count < 1) {
        fail(BusErrors::kInvalidArgs,
             QStringLiteral("The count of items to read must be positive"));
        return 0;
    }
    if (first < 1 || first > total) {
        fail(BusErrors::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        return 0;
    }
    return static_cast<qint32>(qMin<qint64>(total, qint64(first) + count - 1));
}

CollectionSlice CollectionObject::Items(int first, int count) {
    const qint32 last = lastOfRun(first, count);
    if (last == 0)
        return {};
    const qint64 budget = MessageSize::bodyBudget() - 16; // the array's own length and padding
    CollectionSlice slice;
    // Items are weighed by a quick upper bound while the reply is far below the budget, and
    // exactly from the point where the bound would reach it.
    bool exact = false;
    for (qint32 i = first; i <= last; ++i) {
        QVariant item = mCollection->Item(i);
        qint64 bytes =
            MessageSize::kVariant + (exact ? MessageSize::of(item) : MessageSize::boundOf(item));
        if (!exact && slice.bytes + bytes > budget) {
            exact = true;
            slice.bytes = 0;
            for (const QVariant &taken : std::as_const(slice.items))
                slice.bytes += MessageSize::kVariant + MessageSize::of(taken);
            bytes = MessageSize::kVariant + MessageSize::of(item);
        }
        if (slice.bytes + bytes > budget)
            break;
        slice.bytes += bytes;
        slice.items.append(std::move(item));
    }
    if (slice.items.isEmpty())
        fail(BusErrors::kLimitsExceeded,
             QStringLiteral("Item %1 does not fit one message on the bus").arg(first));
    return slice;
}

ItemPacking::Packer CollectionObject::packRun(qint32 first, qint32 last, qint64 budget) const {
    // Read a few hundred at a time: a run asked for may be far longer than the budget holds,
    // and an engine's thread appends meanwhile.
    constexpr qint32 kChunk = 256;
    ItemPacking::Packer packer(budget);
    bool fits = true;
    for (qint64 next = first; fits && next <= last; next += kChunk)
        mCollection->Read(static_cast<qint32>(next),
                          static_cast<qint32>(qMin<qint64>(kChunk, last - next + 1)),
                          [&](const Collection::ItemView &item) {
                              return fits = item.other    ? packer.add(*item.other)
                                            : item.record ? packer.addRecord(*item.record)
                                                          : packer.addString(item.text);
                          });
    return packer;
}

QByteArray CollectionObject::PackedItems(int first, int count) {
    const qint32 last = lastOfRun(first, count);
    if (last == 0)
        return {};
    // Less the array's length and padding.
    const ItemPacking::Packer packer = packRun(first, last, MessageSize::bodyBudget() - 16);
    if (packer.count() == 0)
        fail(BusErrors::kLimitsExceeded,
             QStringLiteral("Item %1 does not fit one message on the bus").arg(first));
    return packer.packed();
}

int CollectionObject::WriteItems(int first, int count, const QDBusUnixFileDescriptor &pipe) {
    const qint32 last = lastOfRun(first, count);
    if (last == 0)
        return 0;
    const qint64 room = ItemPipe::roomIn(pipe.fileDescriptor());
    if (room < 0) {
        fail(BusErrors::kInvalidArgs,
             QStringLiteral("The descriptor is not the write end of a pipe"));
        return 0;
    }
    // A pipe with no room for the first item gets nothing: its reader reads it another way.
    const ItemPacking::Packer packer = packRun(first, last, room);
    if (packer.count() > 0 && !ItemPipe::write(pipe.fileDescriptor(), packer.packed())) {
        fail(BusErrors::kFailed, QStringLiteral("The pipe took part of the run: %1")
                                     .arg(QString::fromLocal8Bit(strerror(errno))));
        return 0;
    }
    return static_cast<int>(packer.packed().size());
}

void CollectionObject::Add(const QDBusVariant &item) {
    const QVariant value = item.variant();
    // Items are plain strings and numbers: every item must pack into PackedItems' byte array.
    // That leaves out structures, object paths, and file descriptors (one kept here would hold
    // a file open for every client).
    if (!value.metaType().hasRegisteredDataStreamOperators())
        throw PlatformError::typeMismatch();
    mCollection->Add(value);
}

} // namespace TavrinEXE
