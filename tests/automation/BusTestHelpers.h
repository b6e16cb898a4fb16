#pragma once

// Helpers of the cross-process tests: raw calls on the test's own connection, bypassing the
// proxies' conversions, and a scan run to its end.
#include "TavrinXProxy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

namespace BusTest {
// Built with a sanitizer: several times slower, and with an allocator of its own.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
inline const QString kService = QStringLiteral("TavrinEXE.TavrinX");
inline const QString kEngine = QStringLiteral("TavrinEXE._TavrinX");
inline const QString kCollection = QStringLiteral("TavrinEXE.Collection");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString kFactoryPath = QStringLiteral("/TavrinEXE/TavrinX");
inline const QString kFactory = QStringLiteral("TavrinEXE.ClassFactory");

inline void writeFile(const QString &path, const QByteArray &text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

inline QString serverOwner() {
    return QDBusConnection::sessionBus().interface()->serviceOwner(kService).value();
}

inline QDBusMessage rawCall(const QString &path, const QString &interface, const QString &member,
                            const QVariantList &args) {
    QDBusMessage call = QDBusMessage::createMethodCall(serverOwner(), path, interface, member);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 60000);
}

inline QDBusMessage rawSet(const QString &path, const QString &name, const QVariant &value) {
    return rawCall(path, kProperties, QStringLiteral("Set"),
                   {kEngine, name, QVariant::fromValue(QDBusVariant(value))});
}

inline void runScan(TavrinEXE::TavrinXProxy &engine) {
    QSignalSpy completed(&engine, &TavrinEXE::TavrinXProxy::ScanCompleted);
    engine.Grep();
    QVERIFY(!completed.isEmpty() || completed.wait(10000)); // it may come while the call waits
    QTRY_COMPARE(engine.SearchActive(), Tavrin::vbFalse);
}
inline int threadsOf(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

// A bus and a sorvik of the test's own, sorvik started behind a wrapper command that sets its
// limits (prlimit ...), so that the test sees the process and its limits.
class OwnServer {
public:
    OwnServer() = default;
    OwnServer(const OwnServer &) = delete;
    OwnServer &operator=(const OwnServer &) = delete;
    ~OwnServer() {
        for (const QString &name : std::as_const(mConnections))
            QDBusConnection::disconnectFromBus(name);
        for (QProcess *p : {&mServer, &mDaemon}) {
            p->kill();
            p->waitForFinished();
        }
    }

    // Starts the bus with config and no sorvik; true when it runs.
    bool startBus(const QString &config) {
        mDaemon.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        if (!mDaemon.waitForReadyRead(10000))
            return false;
        mAddress = QString::fromLatin1(mDaemon.readLine().trimmed());
        return !mAddress.isEmpty();
    }
    // Starts sorvik behind wrapper and waits for it to own its name; true when it does.
    bool startServer(const QString &sorvik, const QStringList &wrapper = {}) {
        mServer.setProcessEnvironment(environment());
        mServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList command = wrapper + QStringList{sorvik};
        mServer.start(command.first(), command.mid(1));
        if (!mServer.waitForStarted())
            return false;
        QDBusConnection watch = connection(QStringLiteral("watch"));
        QElapsedTimer timer;
        timer.start();
        while (!watch.interface()->isServiceRegistered(kService).value()) {
            if (timer.elapsed() > 10000 || mServer.state() != QProcess::Running)
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    QString address() const { return mAddress; }
    QProcess &server() { return mServer; }
    // For a client process on this bus.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mAddress);
        return env;
    }
    // A client connection of its own on this bus, named name in this process.
    QDBusConnection connection(const QString &name) {
        if (!mConnections.contains(name))
            mConnections.append(name);
        return QDBusConnection::connectToBus(mAddress, name);
    }

private:
    QProcess mDaemon;
    QProcess mServer;
    QString mAddress;
    QStringList mConnections;
};

inline QDBusMessage call(QDBusConnection bus, const QString &path, const QString &interface,
                         const QString &member, const QVariantList &args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, member);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, 60000);
}

inline QDBusMessage createInstance(QDBusConnection bus) {
    return call(bus, kFactoryPath, kFactory, QStringLiteral("CreateInstance"));
}

inline QString pathOf(const QDBusMessage &reply) {
    return qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
}

inline QVariant readProperty(QDBusConnection bus, const QString &path, const QString &name) {
    const QDBusMessage reply = call(bus, path, kProperties, QStringLiteral("Get"), {kEngine, name});
    return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant();
}

inline void writeProperty(QDBusConnection bus, const QString &path, const QString &name,
                          const QVariant &value) {
    QCOMPARE(call(bus, path, kProperties, QStringLiteral("Set"),
                  {kEngine, name, QVariant::fromValue(QDBusVariant(value))})
                 .type(),
             QDBusMessage::ReplyMessage);
}

// The times of count reads of a property of the engine at path, in milliseconds, fastest
// first; an unanswered read counts as an hour.
inline QList<double> readTimes(QDBusConnection bus, const QString &path, int count) {
    QList<double> times;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply =
            call(bus, path, kProperties, QStringLiteral("Get"), {kEngine, "SearchActive"});
        times.append(reply.type() == QDBusMessage::ReplyMessage ? timer.nsecsElapsed() / 1e6
                                                                : 3.6e6);
        QTest::qWait(10);
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Whether all but one in twenty reads of the engine at path are answered within ms (a loaded
// machine may hold up any thread now and then); logs the times.
inline bool answersWithin(QDBusConnection bus, const QString &path, double ms) {
    const QList<double> times = readTimes(bus, path, 40);
    const double p95 = times.at(times.size() * 95 / 100 - 1);
    qInfo("reads of another client's engine: median %.1f ms, 95th percentile %.1f ms, "
          "slowest %.1f ms",
          times.at(times.size() / 2), p95, times.last());
    return p95 <= ms;
}
} // namespace BusTest
