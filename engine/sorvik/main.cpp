#include "ClassFactory.h"
#include "ObjectDispatcher.h"
#include "ObjectRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

// sorvik: serves TavrinEXE engine objects on the session bus.
int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sorvik"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption idle(QStringLiteral("idle-timeout"),
                                  QStringLiteral("Exit when no engine is requested within <ms>."),
                                  QStringLiteral("ms"),
                                  QString::number(TavrinEXE::ClassFactory::kDefaultIdleMs));
    parser.addOption(idle);
    parser.process(app);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "sorvik: no session bus\n");
        return 1;
    }
    TavrinEXE::ObjectRegistry registry(bus);
    TavrinEXE::ClassFactory factory(&registry, parser.value(idle).toInt());
    QObject::connect(&factory, &TavrinEXE::ClassFactory::finished, &app, &QCoreApplication::quit);
    TavrinEXE::ObjectDispatcher dispatcher(&registry, &factory);
    if (!dispatcher.publish() || !bus.registerService(TavrinEXE::ClassFactory::kServiceName)) {
        std::fprintf(stderr, "sorvik: cannot own TavrinEXE.TavrinX\n");
        return 1;
    }
    return app.exec();
}
