#pragma once

#include <QDBusVirtualObject>

namespace TavrinEXE {

class ClassFactory;
class ObjectRegistry;

// Serves every object below /TavrinEXE: finds the object a message is for, refuses callers
// without a reference, and relays methods and properties to the object's own slots and
// Q_PROPERTYs, each served under a CallContext naming the caller. QtDBus's own object export
// does not tell a property accessor who calls, and references are counted per caller.
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
    QDBusMessage serve(QObject *object, const QDBusMessage &message);
    QDBusMessage serveProperties(QObject *object, const QDBusMessage &message);
    QDBusMessage serveMethod(QObject *object, const QDBusMessage &message);

    ObjectRegistry *mRegistry;
    ClassFactory *mFactory;
};

} // namespace TavrinEXE
