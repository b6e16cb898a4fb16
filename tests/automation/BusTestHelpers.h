#pragma once

// Helpers of the cross-process tests: raw calls on the test's own connection, bypassing the
// proxies' conversions, and a scan run to its end.
#include "TavrinXProxy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace BusTest {
inline const QString kService = QStringLiteral("TavrinEXE.TavrinX");
inline const QString kEngine = QStringLiteral("TavrinEXE._TavrinX");
inline const QString kCollection = QStringLiteral("TavrinEXE.Collection");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

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
    QTRY_COMPARE(engine.SearchActive(), vbFalse);
}
} // namespace BusTest
