#include "BusMessageLimit.h"
#include "ClassFactory.h"
#include "DescriptorBudget.h"
#include "MessageSize.h"
#include "ObjectDispatcher.h"
#include "ObjectRegistry.h"
#include "ScanSlots.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <malloc.h>
#include <sys/resource.h>

namespace {
constexpr int kBusCheckMs = 250;

// Every engine thread holds a descriptor for its event loop, and its scan many more: as many
// as the system lets this process have (the budget still keeps within them).
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Memory that engines freed goes back to the system (ObjectRegistry trims when they end). The
// allocator's own thresholds rise with the largest block freed, and each thread arena keeps its
// free top, which no trim returns: fixed thresholds, and as many arenas as scans may run at
// once (a client's scans with their helpers).
void keepMemoryReturnable() {
    constexpr int kLargeBlock = 1 << 20;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock);
    mallopt(M_TRIM_THRESHOLD, kLargeBlock);
    mallopt(M_ARENA_MAX, 2 * QThread::idealThreadCount());
}
} // namespace

// sorvik: serves TavrinEXE engine objects on the session bus.
int main(int argc, char *argv[]) {
    // The plain Unix event loop: one per engine thread, lighter than a GLib context each.
    qputenv("QT_NO_GLIB", "1");
    raiseDescriptorLimit();
    keepMemoryReturnable();
    // A client may close a pipe it gave for a run of items: the write fails, the server goes on.
    std::signal(SIGPIPE, SIG_IGN);
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
    TavrinEXE::MessageSize::setBusLimit(TavrinEXE::BusMessageLimit::read(bus));
    // Without its bus nobody can reach the engines again: end, whatever is still running.
    // Polled: QtDBus tells no one when the connection drops.
    QTimer busCheck;
    QObject::connect(&busCheck, &QTimer::timeout, [bus] {
        if (!bus.isConnected()) {
            std::fprintf(stderr, "sorvik: lost the session bus\n");
            std::_Exit(1);
        }
    });
    busCheck.start(kBusCheckMs);

    TavrinEXE::DescriptorBudget descriptors;
    // A client's scans get no more than the processors: another client's calls are still
    // answered at once.
    TavrinEXE::ScanSlots scanSlots(&descriptors, QThread::idealThreadCount());
    TavrinEXE::ScanGate::install(&scanSlots);
    TavrinEXE::ObjectRegistry registry(bus, &descriptors);
    TavrinEXE::ClassFactory factory(&registry, parser.value(idle).toInt());
    QObject::connect(&factory, &TavrinEXE::ClassFactory::finished, &app, &QCoreApplication::quit);
    TavrinEXE::ObjectDispatcher dispatcher(&registry, &factory);
    if (!dispatcher.publish() || !bus.registerService(TavrinEXE::ClassFactory::kServiceName)) {
        std::fprintf(stderr, "sorvik: cannot own TavrinEXE.TavrinX\n");
        return 1;
    }
    return app.exec();
}
