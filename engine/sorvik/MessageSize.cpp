#include "MessageSize.h"

#include "BusMessageLimit.h"
#include "CollectionSlice.h"

#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>

namespace TavrinEXE::MessageSize {

namespace {
std::atomic<qint64> gBusLimit{BusMessageLimit::kDaemonDefault};
constexpr qint64 kPadded = 8; // a basic value with its padding
} // namespace

qint64 ofString(QStringView text) {
    // Length, UTF-8 bytes, terminator, padding. Hand-counted: converting only to measure would
    // copy every item of a large reply once more.
    qint64 bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : c.isSurrogate() ? 2 : 3;
    }
    return 4 + bytes + 1 + 7;
}

qint64 boundOf(const QVariant &value) {
    if (value.metaType() == QMetaType::fromType<QString>())
        return 4 + 3 * qint64(value.toString().size()) + 1 + 7;
    return of(value);
}

qint64 of(const QVariant &value) {
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<QString>())
        return ofString(value.toString());
    if (type == QMetaType::fromType<QDBusVariant>())
        return kVariant + of(qvariant_cast<QDBusVariant>(value).variant());
    if (type == QMetaType::fromType<QDBusObjectPath>())
        return ofString(qvariant_cast<QDBusObjectPath>(value).path());
    if (type == QMetaType::fromType<QDBusSignature>())
        return ofString(qvariant_cast<QDBusSignature>(value).signature());
    if (type == QMetaType::fromType<QByteArray>())
        return kPadded + value.toByteArray().size();
    if (type == QMetaType::fromType<CollectionSlice>())
        return kPadded + value.value<CollectionSlice>().bytes;
    if (type == QMetaType::fromType<QStringList>()) {
        qint64 bytes = kPadded;
        for (const QString &s : value.toStringList())
            bytes += ofString(s);
        return bytes;
    }
    if (type == QMetaType::fromType<QVariantList>())
        return kPadded + ofArguments(value.toList());
    if (type == QMetaType::fromType<QVariantMap>()) {
        qint64 bytes = kPadded;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            bytes += kPadded + ofString(it.key()) + of(QVariant::fromValue(QDBusVariant(*it)));
        return bytes;
    }
    return kPadded;
}

qint64 ofArguments(const QVariantList &arguments) {
    qint64 bytes = 0;
    for (const QVariant &a : arguments)
        bytes += of(a);
    return bytes;
}

void setBusLimit(qint64 bytes) {
    gBusLimit = bytes;
}

qint64 bodyBudget() {
    return gBusLimit - kHeaderAllowance;
}

} // namespace TavrinEXE::MessageSize
