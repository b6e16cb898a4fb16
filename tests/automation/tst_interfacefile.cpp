#include "ClassFactory.h"
#include "CollectionObject.h"
#include "CollectionSlice.h"
#include "EngineObject.h"
#include "ServedObject.h"
#include "TavrinEXENames.h"
#include "TavrinXProxy.h"

#include <QDBusMetaType>
#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QTest>
#include <QXmlStreamReader>

using namespace TavrinEXE;

namespace {

const QString kEngine = QStringLiteral(TAVRINEXE_ENGINE_INTERFACE);

struct Arg {
    QString name;
    QString type;
};

struct Member {
    bool isProperty = false;
    QString type;       // of a property
    QString access;     // of a property: read, write or readwrite
    QList<Arg> in, out; // of a method

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
// From the class that declares the interface down to mo, as the dispatcher serves them.
QStringList membersOf(const QMetaObject *mo) {
    const QMetaObject *declaring = mo;
    while (declaring->superClass() &&
           declaring->classInfoOffset() > mo->indexOfClassInfo("D-Bus Interface"))
        declaring = declaring->superClass();
    QStringList members;
    for (int i = declaring->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        members << QStringLiteral("property %1 %2 %3")
                       .arg(signatureOf(p.metaType()), QString::fromLatin1(p.name()),
                            QLatin1String(p.isReadable() ? "read" : "") +
                                QLatin1String(p.isWritable() ? "write" : ""));
    }
    for (int i = declaring->methodOffset(); i < mo->methodCount(); ++i) {
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

} // namespace

// The interface file is the contract. What is generated from it follows it by construction;
// the classes written by hand (the factory, the collections, the server's own members of an
// engine object) and the types the generator maps each member to must offer exactly its
// members, with its types, to the dispatcher that serves them.
class tst_InterfaceFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void classOffersExactlyItsInterface_data();
    void classOffersExactlyItsInterface();

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
          &CollectionObject::staticMetaObject, &TavrinXEvents::staticMetaObject}) {
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

QTEST_GUILESS_MAIN(tst_InterfaceFile)
#include "tst_interfacefile.moc"
