#include "ServedObject.h"

#include "CallContext.h"

namespace TavrinEXE {

ServedObject::ServedObject(ObjectRegistry *registry) : mRegistry(registry) {}

QString ServedObject::caller() {
    return CallContext::current() ? CallContext::current()->caller() : QString();
}

bool ServedObject::calledFromBus() {
    return CallContext::current() != nullptr;
}

void ServedObject::fail(const QString &name, const QString &message) {
    if (CallContext::current())
        CallContext::current()->fail(name, message);
}

} // namespace TavrinEXE
