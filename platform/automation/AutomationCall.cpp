#include "AutomationCall.h"
#include "TavrinEXENames.h"

#include "TavrinEXERuntime.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <climits>

namespace TavrinEXE::AutomationCall {

QDBusMessage send(const QDBusMessage &call) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw PlatformError(PlatformError::ServerUnavailable,
                            QStringLiteral("No session bus: %1").arg(bus.lastError().message()));
    // Not QDBus::BlockWithGui: Qt 6.4 checks for the reply before it watches for it, so a reply
    // that lands in between is never seen and the call waits forever.
    return wait(bus.asyncCall(call, INT_MAX));
}

QDBusMessage wait(const QDBusPendingCall &pending) {
    const QDBusMessage reply = finish(pending);
    if (reply.type() != QDBusMessage::ReplyMessage)
        raise(reply);
    return reply;
}

QDBusMessage finish(const QDBusPendingCall &pending) {
    if (!pending.isFinished()) {
        // The watcher looks at the reply under the call's lock, so it never misses it; the loop
        // serves what a blocking call with a live GUI serves, user input aside.
        QDBusPendingCallWatcher watcher(pending);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        if (!watcher.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    return pending.reply();
}

QVariant getProperty(const QString &server, const QString &path, const QString &interface,
                     const QString &name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        server, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call.setArguments({interface, name});
    QVariant value = send(call).arguments().value(0);
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

void raise(const QDBusMessage &error) {
    const QString name = error.errorName();
    const QString message = error.errorMessage();
    if (name == QLatin1String(TAVRINEXE_ERROR_TYPE_MISMATCH))
        throw PlatformError::typeMismatch();
    if (name == QLatin1String(TAVRINEXE_ERROR_SUBSCRIPT_OUT_OF_RANGE))
        throw PlatformError::subscriptOutOfRange();
    if (name == QLatin1String(TAVRINEXE_ERROR_PLATFORM)) {
        const int colon = message.indexOf(QLatin1String(": "));
        bool ok = false;
        const int number = message.left(colon).toInt(&ok);
        if (ok)
            throw PlatformError(number, message.mid(colon + 2));
        throw PlatformError(PlatformError::AutomationError, message);
    }
    switch (QDBusError(error).type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::NoServer:
        throw PlatformError(PlatformError::ServerUnavailable,
                            QStringLiteral("The remote server machine does not exist or is "
                                           "unavailable (%1)")
                                .arg(message));
    case QDBusError::AccessDenied:
        throw PlatformError(PlatformError::PermissionDenied,
                            QStringLiteral("Permission denied (%1)").arg(message));
    default:
        if (name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            throw PlatformError(PlatformError::ServerUnavailable,
                                QStringLiteral("The remote server machine does not exist or is "
                                               "unavailable (%1)")
                                    .arg(message));
        throw PlatformError(PlatformError::AutomationError,
                            QStringLiteral("Automation error: %1: %2").arg(name, message));
    }
}

} // namespace TavrinEXE::AutomationCall
