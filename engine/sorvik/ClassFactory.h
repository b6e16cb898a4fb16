#pragma once

#include "TavrinEXENames.h"

#include "TavrinEXEIntrospection.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>

namespace TavrinEXE {

class ObjectRegistry;

// The class factory at /TavrinEXE/TavrinX: creates engine objects for any caller. It also
// ends the server's life: when the last engine object is gone, or when none was requested
// within the idle delay after start.
class ClassFactory : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_FACTORY_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", TAVRIN_INTROSPECTION_ClassFactory)
public:
    static constexpr int kDefaultIdleMs = 30000;
    static constexpr int kEndingGraceMs = 200;
    static inline const QString kServiceName = QStringLiteral(TAVRINEXE_SERVICE);

    ClassFactory(ObjectRegistry *registry, int idleMs, QObject *parent = nullptr);

public slots:
    QDBusObjectPath CreateInstance();

signals:
    void finished();

private:
    ObjectRegistry *mRegistry;
    QTimer mIdle;
    QTimer mEnding;
};

} // namespace TavrinEXE
