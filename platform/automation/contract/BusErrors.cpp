#include "BusErrors.h"

namespace TavrinEXE::BusErrors {

QString nameOf(const PlatformError &e) {
    switch (e.number()) {
    case PlatformError::TypeMismatch:
        return kTypeMismatch;
    case PlatformError::SubscriptOutOfRange:
        return kSubscriptOutOfRange;
    default:
        return kPlatform;
    }
}

QString messageOf(const PlatformError &e) {
    return nameOf(e) == kPlatform ? QStringLiteral("%1: %2").arg(e.number()).arg(e.description())
                                  : e.description();
}

PlatformError toPlatformError(const QDBusMessage &error) {
    const QString name = error.errorName();
    const QString message = error.errorMessage();
    if (name == kTypeMismatch)
        return PlatformError::typeMismatch();
    if (name == kSubscriptOutOfRange)
        return PlatformError::subscriptOutOfRange();
    if (name == kPlatform) {
        const int colon = message.indexOf(QLatin1String(": "));
        bool ok = false;
        const int number = message.left(colon).toInt(&ok);
        if (ok)
            return PlatformError(number, message.mid(colon + 2));
        return PlatformError(PlatformError::AutomationError, message);
    }
    const QDBusError dbusError(error);
    if (peerIsGone(dbusError))
        return PlatformError(PlatformError::ServerUnavailable,
                             QStringLiteral("The remote server machine does not exist or is "
                                            "unavailable (%1)")
                                 .arg(message));
    if (dbusError.type() == QDBusError::AccessDenied)
        return PlatformError(PlatformError::PermissionDenied,
                             QStringLiteral("Permission denied (%1)").arg(message));
    return PlatformError(PlatformError::AutomationError,
                         QStringLiteral("Automation error: %1: %2").arg(name, message));
}

bool peerIsGone(const QDBusError &error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::NoServer:
        return true;
    default:
        return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

} // namespace TavrinEXE::BusErrors
