#include "ClassFactory.h"
#include "CollectionObject.h"
#include "CollectionSlice.h"
#include "EngineObject.h"
#include "EventSink.h"
#include "PlatformError.h"
#include "ServedObject.h"
#include "TavrinEXENames.h"
#include "TavrinXProxy.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>
#include <functional>
#include <vector>

using namespace TavrinEXE;

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kFactory = QStringLiteral(TAVRINEXE_FACTORY_INTERFACE);
const QString kEngine = QStringLiteral(TAVRINEXE_ENGINE_INTERFACE);
const QString kCollection = QStringLiteral(TAVRINEXE_COLLECTION_INTERFACE);
const QString kFactoryPath = QStringLiteral(TAVRINEXE_FACTORY_PATH);
const QString kEnginePath = kFactoryPath + QStringLiteral("/1");
const QString kCollectionPath = QStringLiteral(TAVRINEXE_COLLECTION_PATH "/1");

// Members a client proxy has no use for: collections assigned by reference (scripts may do
// it), single items (the proxy reads batches) and Add (clients only read the findings).
const QSet<QString> kNotProxied = {kEngine + ".mclnFileNames", kEngine + ".mclnLines",
                                   kEngine + ".mclnColumns",   kEngine + ".mclnItemsFound",
                                   kEngine + ".mclnResults",   kCollection + ".Item",
                                   kCollection + ".Add"};

struct Arg {
    QString name;
    QString type;
};

struct Member {
    bool isProperty = false;
    QString type;       // of a property
    QString access;     // of a property: read, write or readwrite
    QList<Arg> in, out; // of a method

    QString inSignature() const {
        QString s;
        for (const Arg &a : in)
            s += a.type;
        return s;
    }
    // One line that a QMetaObject's member must match exactly.
    QString describe(const QString &name) const {
        if (isProperty)
            return QStringLiteral("property %1 %2 %3").arg(type, name, access);
        QStringList args, outs;
        for (const Arg &a : in)
            args << a.type + u' ' + a.name;
        for (const Arg &a : out)
            outs << a.type;
        return QStringLiteral("method %1(%2) -> (%3)")
            .arg(name, args.join(QStringLiteral(", ")), outs.join(QStringLiteral(", ")));
    }
};

using Interface = QMap<QString, Member>;

// The interfaces of the interface file, by name.
QMap<QString, Interface> readInterfaceFile() {
    QFile file(QStringLiteral(TAVRIN_DBUS_XML));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", TAVRIN_DBUS_XML);
    QMap<QString, Interface> interfaces;
    QXmlStreamReader xml(&file);
    QString interface, member;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attr = xml.attributes();
        const QString name = attr.value(QLatin1String("name")).toString();
        if (xml.name() == QLatin1String("interface")) {
            interface = name;
            interfaces[interface];
        } else if (xml.name() == QLatin1String("property")) {
            member = name;
            Member &m = interfaces[interface][member];
            m.isProperty = true;
            m.type = attr.value(QLatin1String("type")).toString();
            m.access = attr.value(QLatin1String("access")).toString();
        } else if (xml.name() == QLatin1String("method")) {
            member = name;
            interfaces[interface][member];
        } else if (xml.name() == QLatin1String("arg")) {
            Member &m = interfaces[interface][member];
            (attr.value(QLatin1String("direction")) == QLatin1String("out") ? m.out : m.in)
                << Arg{name, attr.value(QLatin1String("type")).toString()};
        }
    }
    if (xml.hasError())
        qFatal("%s: %s", TAVRIN_DBUS_XML, qPrintable(xml.errorString()));
    return interfaces;
}

QString signatureOf(QMetaType type) {
    const char *s = QDBusMetaType::typeToSignature(type);
    return s ? QString::fromLatin1(s) : QStringLiteral("<%1>").arg(type.name());
}

// The members a class offers on the bus, described as Member::describe does.
QStringList membersOf(const QMetaObject *mo) {
    QStringList members;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        members << QStringLiteral("property %1 %2 %3")
                       .arg(signatureOf(p.metaType()), QString::fromLatin1(p.name()),
                            QLatin1String(p.isReadable() ? "read" : "") +
                                QLatin1String(p.isWritable() ? "write" : ""));
    }
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        const QString name = QString::fromLatin1(m.name());
        if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Public)
            continue;
        QStringList args;
        for (int a = 0; a < m.parameterCount(); ++a)
            args << signatureOf(m.parameterMetaType(a)) + u' ' +
                        QString::fromLatin1(m.parameterNames().at(a));
        const QString out = m.returnMetaType().id() == QMetaType::Void
                                ? QString()
                                : signatureOf(m.returnMetaType());
        members << QStringLiteral("method %1(%2) -> (%3)")
                       .arg(name, args.join(QStringLiteral(", ")), out);
    }
    // The dispatcher answers Release itself, for every object it serves but the factory.
    if (mo->inherits(&ServedObject::staticMetaObject))
        members << QStringLiteral("method Release() -> ()");
    return members;
}

QStringList missingFrom(const QStringList &from, const QStringList &wanted) {
    QStringList missing;
    for (const QString &w : wanted)
        if (!from.contains(w))
            missing << w;
    return missing;
}

// A value of a D-Bus type for a reply, invalid for a type not known here. The factory hands
// out engines; every other object path handed out is a collection's.
QVariant sampleOf(const QString &type, const QString &interface) {
    if (type == QLatin1String("s"))
        return QString();
    if (type == QLatin1String("n"))
        return QVariant::fromValue<short>(0);
    if (type == QLatin1String("i"))
        return 0;
    if (type == QLatin1String("u"))
        return 1u; // a cookie is never 0
    if (type == QLatin1String("v"))
        return QVariant::fromValue(QDBusVariant(false));
    if (type == QLatin1String("av"))
        return QVariantList{QVariant::fromValue(QDBusVariant(QString()))};
    if (type == QLatin1String("o"))
        return QVariant::fromValue(
            QDBusObjectPath(interface == kFactory ? kEnginePath : kCollectionPath));
    return {};
}

// Stands in for sorvik on a connection of its own, serving what the interface file describes:
// notes each member a client uses ("Interface.Member", and " read" or " write" for a property),
// and each call the file does not allow as a fault.
class InterfaceFileServer : public QDBusVirtualObject {
public:
    explicit InterfaceFileServer(QMap<QString, Interface> interfaces)
        : mInterfaces(std::move(interfaces)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        const QDBusMessage reply = answer(message);
        if (message.isReplyRequired())
            QDBusConnection(connection).send(reply);
        return true;
    }

    QSet<QString> used;
    QStringList faults;

private:
    QString interfaceAt(const QString &path) const {
        if (path == kFactoryPath)
            return kFactory;
        if (path.startsWith(kFactoryPath + u'/'))
            return kEngine;
        if (path.startsWith(QStringLiteral(TAVRINEXE_COLLECTION_PATH "/")))
            return kCollection;
        return {};
    }

    QDBusMessage refuse(const QDBusMessage &message, const QString &why) {
        faults << QStringLiteral("%1 %2.%3: %4")
                      .arg(message.path(), message.interface(), message.member(), why);
        return message.createErrorReply(QDBusError::InvalidArgs, why);
    }

    QDBusMessage answer(const QDBusMessage &message) {
        const QString interface = interfaceAt(message.path());
        if (interface.isEmpty())
            return refuse(message, QStringLiteral("no object there"));
        if (message.interface() == kProperties)
            return answerProperty(message, interface);
        if (message.interface() != interface)
            return refuse(message, QStringLiteral("the object there is a ") + interface);
        const auto m = mInterfaces[interface].constFind(message.member());
        if (m == mInterfaces[interface].cend() || m->isProperty)
            return refuse(message, QStringLiteral("no such method"));
        if (message.signature() != m->inSignature())
            return refuse(message, QStringLiteral("sent \"%1\", takes \"%2\"")
                                       .arg(message.signature(), m->inSignature()));
        used << interface + u'.' + message.member();
        QVariantList out;
        for (const Arg &a : m->out) {
            out << sampleOf(a.type, interface);
            if (!out.last().isValid())
                return refuse(message, QStringLiteral("no sample value of type ") + a.type);
        }
        return message.createReply(out);
    }

    QDBusMessage answerProperty(const QDBusMessage &message, const QString &interface) {
        const QVariantList args = message.arguments();
        if (args.value(0).toString() != interface)
            return refuse(message, QStringLiteral("the object there is a ") + interface);
        const QString name = args.value(1).toString();
        const auto m = mInterfaces[interface].constFind(name);
        if (m == mInterfaces[interface].cend() || !m->isProperty)
            return refuse(message, QStringLiteral("no property ") + name);
        if (message.member() == QLatin1String("Get") && message.signature() == "ss") {
            if (!m->access.contains(QLatin1String("read")))
                return refuse(message, name + QStringLiteral(" is write-only"));
            const QVariant value = sampleOf(m->type, interface);
            if (!value.isValid())
                return refuse(message, QStringLiteral("no sample value of type ") + m->type);
            used << interface + u'.' + name + QStringLiteral(" read");
            return message.createReply(QVariant::fromValue(QDBusVariant(value)));
        }
        if (message.member() == QLatin1String("Set") && message.signature() == "ssv") {
            const QString sent =
                signatureOf(qvariant_cast<QDBusVariant>(args.value(2)).variant().metaType());
            if (!m->access.contains(QLatin1String("write")))
                return refuse(message, name + QStringLiteral(" is read-only"));
            if (sent != m->type)
                return refuse(message,
                              QStringLiteral("%1 is \"%2\", sent \"%3\"").arg(name, m->type, sent));
            used << interface + u'.' + name + QStringLiteral(" write");
            return message.createReply();
        }
        return refuse(message, QStringLiteral("neither a Get nor a Set"));
    }

    QMap<QString, Interface> mInterfaces;
};

} // namespace

// The interface file is the contract: the classes sorvik serves, the client's event sink and
// the client proxies must offer and use exactly its members, with its types.
class tst_InterfaceFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void classOffersExactlyItsInterface_data();
    void classOffersExactlyItsInterface();
    void proxiesUseExactlyTheInterfaces();

private:
    QMap<QString, Interface> mInterfaces;
};

void tst_InterfaceFile::initTestCase() {
    CollectionSlice::registerType();
    mInterfaces = readInterfaceFile();
    QVERIFY(mInterfaces.value(kEngine).contains(QStringLiteral("Grep")));
}

void tst_InterfaceFile::classOffersExactlyItsInterface_data() {
    QTest::addColumn<QString>("interface");
    for (auto it = mInterfaces.cbegin(); it != mInterfaces.cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key();
}

void tst_InterfaceFile::classOffersExactlyItsInterface() {
    QFETCH(QString, interface);
    const QMetaObject *implementing = nullptr;
    for (const QMetaObject *mo :
         {&ClassFactory::staticMetaObject, &EngineObject::staticMetaObject,
          &CollectionObject::staticMetaObject, &EventSink::staticMetaObject}) {
        if (QLatin1String(mo->classInfo(mo->indexOfClassInfo("D-Bus Interface")).value()) ==
            interface)
            implementing = mo;
    }
    QVERIFY2(implementing, "no class implements the interface");

    QStringList described;
    const Interface &members = mInterfaces[interface];
    for (auto it = members.cbegin(); it != members.cend(); ++it)
        described << it->describe(it.key());
    const QStringList offered = membersOf(implementing);
    QStringList problems;
    for (const QString &m : missingFrom(offered, described))
        problems << QStringLiteral("in the file, not in the class: ") + m;
    for (const QString &m : missingFrom(described, offered))
        problems << QStringLiteral("in the class, not in the file: ") + m;
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void tst_InterfaceFile::proxiesUseExactlyTheInterfaces() {
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                               QStringLiteral("interface-file"));
    InterfaceFileServer server(mInterfaces);
    QVERIFY(connection.registerVirtualObject(QStringLiteral("/TavrinEXE"), &server,
                                             QDBusConnection::SubPath));
    QVERIFY(connection.registerService(QStringLiteral(TAVRINEXE_SERVICE)));

    QSet<QString> expected;
    for (const QString &interface : {kFactory, kEngine, kCollection}) {
        const Interface &members = mInterfaces[interface];
        for (auto it = members.cbegin(); it != members.cend(); ++it) {
            const QString name = interface + u'.' + it.key();
            if (kNotProxied.contains(name))
                continue;
            if (!it->isProperty)
                expected << name;
            if (it->access.contains(QLatin1String("read")))
                expected << name + QStringLiteral(" read");
            if (it->access.contains(QLatin1String("write")))
                expected << name + QStringLiteral(" write");
        }
    }

    // Every member of the proxies, each value written back as read. A refused call throws; the
    // server has noted why.
    using Use = std::function<void(TavrinXProxy &)>;
    const std::vector<Use> uses = {
        [](TavrinXProxy &e) { e.Grep(); },
        [](TavrinXProxy &e) { e.Abort(); },
        [](TavrinXProxy &e) { e.setSearchPath(e.SearchPath()); },
        [](TavrinXProxy &e) { e.setSearchExt(e.SearchExt()); },
        [](TavrinXProxy &e) { e.setSearchString(e.SearchString()); },
        [](TavrinXProxy &e) { e.setCaseSensitive(e.CaseSensitive()); },
        [](TavrinXProxy &e) { e.setWholeWordOnly(e.WholeWordOnly()); },
        [](TavrinXProxy &e) { e.setLookInSubfolders(e.LookInSubfolders()); },
        [](TavrinXProxy &e) { e.SearchCount(); },
        [](TavrinXProxy &e) { e.SearchTime(); },
        [](TavrinXProxy &e) { e.SearchActive(); },
        [](TavrinXProxy &e) { e.setExcludeFolders(e.ExcludeFolders()); },
        [](TavrinXProxy &e) { e.setSkipBinaryFiles(e.SkipBinaryFiles()); },
        [](TavrinXProxy &e) { e.setUseRegularExpression(e.UseRegularExpression()); },
        [](TavrinXProxy &e) { e.FilesSearched(); },
        [](TavrinXProxy &e) { e.CurrentFolder(); },
    };
    try {
        TavrinXProxy engine;
        for (const Use &use : uses) {
            try {
                use(engine);
            } catch (const Tavrin::PlatformError &) {
            }
        }
        for (auto collection :
             {&TavrinXProxy::FoundFiles, &TavrinXProxy::FoundLines, &TavrinXProxy::FoundColumns,
              &TavrinXProxy::FoundText, &TavrinXProxy::ResultsFound}) {
            try {
                const auto items = (engine.*collection)();
                items->Count();
                items->Item(1);
            } catch (const Tavrin::PlatformError &) {
            }
        }
    } catch (const Tavrin::PlatformError &) {
    } // the releases are sent without waiting
    // The checks below say what differs when the wait runs out.
    (void)QTest::qWaitFor([&] { return server.used == expected; });

    QStringList problems = server.faults;
    for (const QString &m : expected - server.used)
        problems << QStringLiteral("no proxy uses ") + m;
    for (const QString &m : server.used - expected)
        problems << QStringLiteral("listed as not proxied, yet used: ") + m;
    problems.sort();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    connection.unregisterService(QStringLiteral(TAVRINEXE_SERVICE));
    QDBusConnection::disconnectFromBus(QStringLiteral("interface-file"));
}

QTEST_GUILESS_MAIN(tst_InterfaceFile)
#include "tst_interfacefile.moc"
