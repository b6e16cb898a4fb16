#include "AutomationCall.h"
#include "TavrinEXENames.h"

#include "BusErrors.h"
#include "TavrinEXERuntime.h"

#include <QDBusConnection>
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
    throw BusErrors::toPlatformError(error);
}

} // namespace TavrinEXE::AutomationCall
