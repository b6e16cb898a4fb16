#pragma once

#include "TavrinEXERuntime.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QString>

namespace TavrinEXE {

// How failures cross the bus, for both sides. A PlatformError travels as a D-Bus error: the
// type mismatch and the subscript error by names of their own, any other as
// TavrinEXE.Error.Platform with "<number>: <description>"; a client turns any error reply back
// into a PlatformError.
namespace BusErrors {
inline const QString kTypeMismatch = QStringLiteral("TavrinEXE.Error.TypeMismatch");
inline const QString kSubscriptOutOfRange = QStringLiteral("TavrinEXE.Error.SubscriptOutOfRange");
inline const QString kPlatform = QStringLiteral("TavrinEXE.Error.Platform");
inline const QString kAccessDenied = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");
inline const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
// A reply or a request beyond what the bus or the server carries.
inline const QString kLimitsExceeded = QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded");
inline const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");

// The error name and message a PlatformError is answered with.
QString nameOf(const PlatformError &e);
QString messageOf(const PlatformError &e);
// The PlatformError for a D-Bus error reply.
PlatformError toPlatformError(const QDBusMessage &error);
// Whether the error says that the other end (a server, or a client's sink) is gone.
bool peerIsGone(const QDBusError &error);
} // namespace BusErrors

} // namespace TavrinEXE
