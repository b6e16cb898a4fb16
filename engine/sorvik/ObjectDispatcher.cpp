#include "ObjectDispatcher.h"

#include "CallContext.h"
#include "ClassFactory.h"
#include "ObjectRegistry.h"
#include "ServerErrors.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMetaMethod>
#include <QMetaProperty>

namespace TavrinEXE {

namespace {
const QString kFactoryPath = QStringLiteral("/TavrinEXE/TavrinX");
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

// Properties and slots that the class itself declares: the members of its interface.
QMetaProperty propertyOf(const QObject *object, const QString &name) {
    const QMetaObject *mo = object->metaObject();
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    return index >= mo->propertyOffset() ? mo->property(index) : QMetaProperty();
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
           bus.registerVirtualObject(QStringLiteral("/TavrinEXE/Collection"), this,
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
    QDBusConnection bus(connection);
    QObject *object = objectAt(message.path());
    QDBusMessage reply;
    if (!object)
        reply = message.createErrorReply(kUnknownObject,
                                         QStringLiteral("No such object %1").arg(message.path()));
    else if (message.interface() == kIntrospectable && message.member() == "Introspect")
        reply = message.createReply(kNodeHead + introspect(message.path()) +
                                    QStringLiteral("</node>\n"));
    else
        reply = serve(object, message);
    if (!message.isReplyRequired())
        return true;
    bus.send(reply);
    return true;
}

QDBusMessage ObjectDispatcher::serve(QObject *object, const QDBusMessage &message) {
    CallContext call(message.service());
    QDBusMessage reply = message.interface() == kProperties ? serveProperties(object, message)
                                                            : serveMethod(object, message);
    if (call.failed())
        return message.createErrorReply(call.errorName(), call.errorMessage());
    return reply;
}

QDBusMessage ObjectDispatcher::serveProperties(QObject *object, const QDBusMessage &message) {
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
        for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
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
                ServerErrors::kInvalidArgs,
                QStringLiteral("Property %1 takes the type %2")
                    .arg(property.name(),
                         QString::fromLatin1(QDBusMetaType::typeToSignature(property.metaType()))));
        property.write(object, value);
        return message.createReply();
    }
    return message.createErrorReply(
        kUnknownMethod, QStringLiteral("No such method %1.%2").arg(kProperties, member));
}

QDBusMessage ObjectDispatcher::serveMethod(QObject *object, const QDBusMessage &message) {
    if (!message.interface().isEmpty() && message.interface() != interfaceOf(object))
        return message.createErrorReply(
            kUnknownMethod,
            QStringLiteral("No interface %1 at %2").arg(message.interface(), message.path()));
    const QVariantList args = message.arguments();
    const QMetaObject *mo = object->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
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
        QGenericArgument a0, a1;
        if (args.size() > 0)
            a0 = QGenericArgument(args.at(0).metaType().name(), args.at(0).constData());
        if (args.size() > 1)
            a1 = QGenericArgument(args.at(1).metaType().name(), args.at(1).constData());
        method.invoke(object, Qt::DirectConnection, ret, a0, a1);
        return ret.data() ? message.createReply(result) : message.createReply();
    }
    return message.createErrorReply(
        kUnknownMethod, QStringLiteral("No method %1 with signature \"%2\" in %3")
                            .arg(message.member(), message.signature(), interfaceOf(object)));
}

} // namespace TavrinEXE
