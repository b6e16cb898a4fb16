#pragma once

#include "TavrinEXENames.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>

namespace TavrinEXE {

// Synchronous calls to sorvik: wait for the answer while the caller's event loop keeps
// serving incoming events and calls, with no time limit. A failed call throws PlatformError.
namespace AutomationCall {
inline const QString kService = QStringLiteral(TAVRINEXE_SERVICE);
inline const QString kEngineInterface = QStringLiteral(TAVRINEXE_ENGINE_INTERFACE);
inline const QString kCollectionInterface = QStringLiteral(TAVRINEXE_COLLECTION_INTERFACE);

// Sends call and returns the reply; throws PlatformError when it fails.
QDBusMessage send(const QDBusMessage &call);

// Waits for the reply to a call sent with asyncCall; throws PlatformError when it fails.
QDBusMessage wait(const QDBusPendingCall &pending);
// Waits for the reply to a call sent with asyncCall and returns it, an error too.
QDBusMessage finish(const QDBusPendingCall &pending);
// Reads a D-Bus property, unwrapping the variants it travels in.
QVariant getProperty(const QString &server, const QString &path, const QString &interface,
                     const QString &name);
// The PlatformError for a D-Bus error reply.
[[noreturn]] void raise(const QDBusMessage &error);
} // namespace AutomationCall

} // namespace TavrinEXE
