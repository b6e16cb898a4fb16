#pragma once

#include <QDBusVirtualObject>

namespace TavrinEXE {

class ClassFactory;
class ObjectRegistry;

// Serves every object below /TavrinEXE: finds the object a message is for, refuses callers
// without a reference, and relays methods and properties to the object's own slots and
// Q_PROPERTYs, each served under a CallContext naming the caller. QtDBus's own object export
// does not tell a property accessor who calls, and references are counted per caller.
// Runs on the main thread; a call on an engine object is served on the engine's thread and
// answered from there, so no engine keeps the others or the factory waiting. Failures become
// D-Bus errors here, and no reply larger than the bus carries is sent.
class ObjectDispatcher : public QDBusVirtualObject {
    Q_OBJECT
public:
    ObjectDispatcher(ObjectRegistry *registry, ClassFactory *factory, QObject *parent = nullptr);

    // Registers the subtrees of the factory/engines and of the collections.
    bool publish();

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QObject *objectAt(const QString &path) const;
    bool isRelease(const QObject *object, const QDBusMessage &message);
    // Runs on the object's thread.
    QDBusMessage serve(QObject *object, const QDBusMessage &message) const;
    QDBusMessage serveProperties(QObject *object, const QDBusMessage &message) const;
    QDBusMessage serveMethod(QObject *object, const QDBusMessage &message) const;

    ObjectRegistry *mRegistry;
    ClassFactory *mFactory;
};

} // namespace TavrinEXE
