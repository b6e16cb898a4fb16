#include "NamedProperty.h"

#include "PlatformError.h"

#include <QMetaProperty>
#include <QObject>

namespace {

constexpr int kObjectDoesNotSupport = 438;
constexpr int kReadOnlyProperty = 383;

QMetaProperty declaredProperty(const QObject *object, const char *name) {
    if (!object)
        throw Tavrin::PlatformError(Tavrin::PlatformError::ObjectRequired,
                                    QStringLiteral("Object required"));
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    if (index < 0)
        throw Tavrin::PlatformError(
            kObjectDoesNotSupport,
            QStringLiteral("Object doesn't support this property or method"));
    return meta->property(index);
}

} // namespace

namespace NamedProperty {

QVariant read(const QObject *object, const char *name) {
    return declaredProperty(object, name).read(object);
}

void write(QObject *object, const char *name, const QVariant &vNewValue) {
    const QMetaProperty property = declaredProperty(object, name);
    if (!property.isWritable())
        throw Tavrin::PlatformError(kReadOnlyProperty,
                                    QStringLiteral("Can't assign to read-only property"));
    if (!property.write(object, vNewValue))
        throw Tavrin::PlatformError::typeMismatch();
}

} // namespace NamedProperty
