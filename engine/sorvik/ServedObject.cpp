#include "ServedObject.h"

#include "CallContext.h"
#include "ObjectRegistry.h"
#include "ServerErrors.h"

namespace TavrinEXE {

ServedObject::ServedObject(ObjectRegistry *registry, const QString &path)
    : mRegistry(registry), msPath(path) {}

QString ServedObject::caller() {
    return CallContext::current() ? CallContext::current()->caller() : QString();
}

bool ServedObject::calledFromBus() {
    return CallContext::current() != nullptr;
}

bool ServedObject::admitted() const {
    if (!calledFromBus() || mRegistry->holds(msPath, caller()))
        return true;
    fail(ServerErrors::kAccessDenied,
         QStringLiteral("The caller holds no reference to %1").arg(msPath));
    return false;
}

void ServedObject::fail(const QString &name, const QString &message) {
    if (CallContext::current())
        CallContext::current()->fail(name, message);
}

} // namespace TavrinEXE
