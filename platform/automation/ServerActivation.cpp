#include "ServerActivation.h"

#include "AutomationCall.h"
#include "TavrinEXERuntime.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace TavrinEXE::ServerActivation {

namespace {
constexpr int kStartTimeoutMs = 10000;

QString sorvikPath() {
    const QString built = QStringLiteral(TAVRIN_SORVIK_PATH);
    if (!built.isEmpty() && QFileInfo(built).isExecutable())
        return built;
    return QStringLiteral(TAVRIN_SORVIK_INSTALLED_PATH);
}
} // namespace

bool busCannotActivate(const QString &errorName) {
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

void start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusServiceWatcher watcher(AutomationCall::kService, bus,
                                QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    const QString program = sorvikPath();
    if (!QProcess::startDetached(program, {}))
        throw PlatformError(PlatformError::ServerUnavailable,
                            QStringLiteral("Cannot start %1").arg(program));
    if (bus.interface()->isServiceRegistered(AutomationCall::kService).value())
        return;
    QTimer::singleShot(kStartTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!bus.interface()->isServiceRegistered(AutomationCall::kService).value())
        throw PlatformError(PlatformError::ServerUnavailable,
                            QStringLiteral("%1 did not take the bus name").arg(program));
}

} // namespace TavrinEXE::ServerActivation
