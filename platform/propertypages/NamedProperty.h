#pragma once

#include <QVariant>

class QObject;

// Late-bound access to a property of an object by its name, as pages and dialogs reach the
// control. A name the object does not declare fails with PlatformError instead of reading an
// invalid value or creating a dynamic property.
namespace NamedProperty {

QVariant read(const QObject *object, const char *name);
// Runs the object's setter; errors the setter throws pass through unchanged.
void write(QObject *object, const char *name, const QVariant &vNewValue);

} // namespace NamedProperty
