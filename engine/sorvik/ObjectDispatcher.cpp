#include "ObjectDispatcher.h"
#include "TavrinEXENames.h"

#include "BusErrors.h"
#include "CallContext.h"
#include "ClassFactory.h"
#include "MessageSize.h"
#include "ObjectRegistry.h"
#include "PendingReply.h"
#include "ServedObject.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMetaMethod>
#include <QMetaProperty>

namespace TavrinEXE {

namespace {
const QString kFactoryPath = QStringLiteral(TAVRINEXE_FACTORY_PATH);
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
// Introspection is open to every caller; the standard interfaces come first.
const QString kNodeHead = QStringLiteral(
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n"
    "<node>\n"
    "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
    "    <method name=\"Introspect\">\n"
    "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
    "    </method>\n"
    "  </interface>\n"
    "  <interface name=\"org.freedesktop.DBus.Properties\">\n"
    "    <method name=\"Get\">\n"
    "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"property_name\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"value\" type=\"v\" direction=\"out\"/>\n"
    "    </method>\n"
    "    <method name=\"Set\">\n"
    "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"property_name\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"value\" type=\"v\" direction=\"in\"/>\n"
    "    </method>\n"
    "    <method name=\"GetAll\">\n"
    "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"values\" type=\"a{sv}\" direction=\"out\"/>\n"
    "    </method>\n"
    "  </interface>\n");
const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kUnknownObject = QStringLiteral("org.freedesktop.DBus.Error.UnknownObject");
const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
const QString kReadOnly = QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly");

QString interfaceOf(const QObject *object) {
    const QMetaObject *mo = object->metaObject();
    return QString::fromLatin1(mo->classInfo(mo->indexOfClassInfo("D-Bus Interface")).value());
}

// The class that declares the object's interface. Its properties and slots, and those of the
// classes derived from it, are the members of the interface.
const QMetaObject *interfaceClass(const QObject *object) {
    const QMetaObject *mo = object->metaObject();
    const int info = mo->indexOfClassInfo("D-Bus Interface");
    while (mo->superClass() && mo->classInfoOffset() > info)
        mo = mo->superClass();
    return mo;
}

QMetaProperty propertyOf(const QObject *object, const QString &name) {
    const QMetaObject *mo = object->metaObject();
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    return index >= interfaceClass(object)->propertyOffset() ? mo->property(index)
                                                             : QMetaProperty();
}

// A slot is served only when the class's interface names it as a method; other public slots
// are for in-process callers.
bool interfaceHasMethod(const QObject *object, const QString &member) {
    const QMetaObject *mo = object->metaObject();
    return QLatin1String(mo->classInfo(mo->indexOfClassInfo("D-Bus Introspection")).value())
        .contains(QStringLiteral("<method name=\"%1\"").arg(member));
}

bool argumentFits(const QVariant &argument, QMetaType type) {
    return argument.metaType() == type;
}
} // namespace

ObjectDispatcher::ObjectDispatcher(ObjectRegistry *registry, ClassFactory *factory, QObject *parent)
    : QDBusVirtualObject(parent), mRegistry(registry), mFactory(factory) {}

bool ObjectDispatcher::publish() {
    QDBusConnection bus = mRegistry->connection();
    return bus.registerVirtualObject(kFactoryPath, this, QDBusConnection::SubPath) &&
           bus.registerVirtualObject(QStringLiteral(TAVRINEXE_COLLECTION_PATH), this,
                                     QDBusConnection::SubPath);
}

QObject *ObjectDispatcher::objectAt(const QString &path) const {
    return path == kFactoryPath ? mFactory : mRegistry->objectAt(path);
}

QString ObjectDispatcher::introspect(const QString &path) const {
    const QObject *object = objectAt(path);
    if (!object)
        return {};
    const QMetaObject *mo = object->metaObject();
    return QString::fromUtf8(mo->classInfo(mo->indexOfClassInfo("D-Bus Introspection")).value());
}

bool ObjectDispatcher::handleMessage(const QDBusMessage &message,
                                     const QDBusConnection &connection) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    QObject *object = objectAt(message.path());
    QDBusMessage reply;
    if (!object) {
        reply = message.createErrorReply(kUnknownObject,
                                         QStringLiteral("No such object %1").arg(message.path()));
    } else if (message.interface() == kIntrospectable && message.member() == "Introspect") {
        reply = message.createReply(kNodeHead + introspect(message.path()) +
                                    QStringLiteral("</node>\n"));
    } else if (object != mFactory && !mRegistry->holds(message.path(), message.service())) {
        reply = message.createErrorReply(
            BusErrors::kAccessDenied,
            QStringLiteral("The caller holds no reference to %1").arg(message.path()));
    } else if (isRelease(object, message)) {
        // References are the registry's, kept on this thread.
        mRegistry->release(message.path(), message.service());
        reply = message.createReply();
    } else if (object->thread() != thread()) {
        // An engine object: served on its own thread, answered from there.
        message.setDelayedReply(true);
        auto pending = std::make_shared<PendingReply>(message, connection);
        static_cast<ServedObject *>(object)->post(
            [this, object, pending] { pending->answer(serve(object, pending->call())); });
        return true;
    } else {
        reply = serve(object, message);
    }
    if (message.isReplyRequired())
        QDBusConnection(connection).send(reply);
    return true;
}

bool ObjectDispatcher::isRelease(const QObject *object, const QDBusMessage &message) {
    return object != mFactory && message.member() == QLatin1String("Release") &&
           message.signature().isEmpty() &&
           (message.interface().isEmpty() || message.interface() == interfaceOf(object));
}

QDBusMessage ObjectDispatcher::serve(QObject *object, const QDBusMessage &message) const {
    CallContext call(message.service());
    QDBusMessage reply;
    // Nothing a call raises may end the server: it is answered as the call's error.
    try {
        reply = message.interface() == kProperties ? serveProperties(object, message)
                                                   : serveMethod(object, message);
    } catch (const PlatformError &e) {
        return message.createErrorReply(BusErrors::nameOf(e), BusErrors::messageOf(e));
    } catch (const std::exception &e) {
        return message.createErrorReply(BusErrors::kFailed, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return message.createErrorReply(BusErrors::kFailed, QStringLiteral("Unknown failure"));
    }
    if (call.failed())
        return message.createErrorReply(call.errorName(), call.errorMessage());
    const qint64 bytes = MessageSize::ofArguments(reply.arguments());
    if (bytes > MessageSize::bodyBudget())
        return message.createErrorReply(
            BusErrors::kLimitsExceeded,
            QStringLiteral("The reply would take %1 bytes; one message on the bus carries %2")
                .arg(bytes)
                .arg(MessageSize::bodyBudget()));
    return reply;
}

QDBusMessage ObjectDispatcher::serveProperties(QObject *object, const QDBusMessage &message) const {
    const QVariantList args = message.arguments();
    const QString member = message.member();
    const QString interface = args.value(0).toString();
    if (!interface.isEmpty() && interface != interfaceOf(object))
        return message.createErrorReply(
            kUnknownProperty,
            QStringLiteral("No interface %1 at %2").arg(interface, message.path()));
    if (member == QLatin1String("Get") && message.signature() == QLatin1String("ss")) {
        const QMetaProperty property = propertyOf(object, args.value(1).toString());
        if (!property.isValid())
            return message.createErrorReply(kUnknownProperty, args.value(1).toString());
        return message.createReply(QVariant::fromValue(QDBusVariant(property.read(object))));
    }
    if (member == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
        QVariantMap all;
        const QMetaObject *mo = object->metaObject();
        for (int i = interfaceClass(object)->propertyOffset(); i < mo->propertyCount(); ++i)
            all.insert(QString::fromLatin1(mo->property(i).name()), mo->property(i).read(object));
        return message.createReply(QVariant::fromValue(all));
    }
    if (member == QLatin1String("Set") && message.signature() == QLatin1String("ssv")) {
        const QMetaProperty property = propertyOf(object, args.value(1).toString());
        if (!property.isValid())
            return message.createErrorReply(kUnknownProperty, args.value(1).toString());
        if (!property.isWritable())
            return message.createErrorReply(
                kReadOnly, QStringLiteral("Property %1 is read-only").arg(property.name()));
        QVariant value = qvariant_cast<QDBusVariant>(args.value(2)).variant();
        if (property.metaType() == QMetaType::fromType<QDBusVariant>())
            value = QVariant::fromValue(QDBusVariant(value));
        else if (!argumentFits(value, property.metaType()))
            return message.createErrorReply(
                BusErrors::kInvalidArgs,
                QStringLiteral("Property %1 takes the type %2")
                    .arg(property.name(),
                         QString::fromLatin1(QDBusMetaType::typeToSignature(property.metaType()))));
        property.write(object, value);
        return message.createReply();
    }
    return message.createErrorReply(
        kUnknownMethod, QStringLiteral("No such method %1.%2").arg(kProperties, member));
}

QDBusMessage ObjectDispatcher::serveMethod(QObject *object, const QDBusMessage &message) const {
    if (!message.interface().isEmpty() && message.interface() != interfaceOf(object))
        return message.createErrorReply(
            kUnknownMethod,
            QStringLiteral("No interface %1 at %2").arg(message.interface(), message.path()));
    if (!interfaceHasMethod(object, message.member()))
        return message.createErrorReply(
            kUnknownMethod,
            QStringLiteral("No method %1 in %2").arg(message.member(), interfaceOf(object)));
    const QVariantList args = message.arguments();
    const QMetaObject *mo = object->metaObject();
    for (int i = interfaceClass(object)->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod method = mo->method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Public ||
            QString::fromLatin1(method.name()) != message.member() ||
            method.parameterCount() != args.size())
            continue;
        bool fits = true;
        for (int a = 0; a < args.size() && fits; ++a)
            fits = argumentFits(args.at(a), method.parameterMetaType(a));
        if (!fits)
            continue;
        QVariant result(method.returnMetaType());
        QGenericReturnArgument ret;
        if (method.returnMetaType().isValid() && method.returnMetaType().id() != QMetaType::Void)
            ret = QGenericReturnArgument(method.returnMetaType().name(), result.data());
        QGenericArgument a[3]; // the most any member takes
        if (args.size() > 3)
            continue;
        for (int n = 0; n < args.size(); ++n)
            a[n] = QGenericArgument(args.at(n).metaType().name(), args.at(n).constData());
        if (!method.invoke(object, Qt::DirectConnection, ret, a[0], a[1], a[2]))
            return message.createErrorReply(
                BusErrors::kFailed,
                QStringLiteral("%1 could not be called").arg(QString::fromLatin1(method.name())));
        return ret.data() ? message.createReply(result) : message.createReply();
    }
    return message.createErrorReply(
        kUnknownMethod, QStringLiteral("No method %1 with signature \"%2\" in %3")
                            .arg(message.member(), message.signature(), interfaceOf(object)));
}

} // namespace TavrinEXE
