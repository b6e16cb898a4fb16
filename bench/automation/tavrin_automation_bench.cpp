// Costs of reaching the engine over the bus: one property read, reading 100,000 records
// through the collection proxy, and a scan through sorvik against the same scan in-process.
// Usage: tavrin-automation-bench [corpus folder] [needle]   (on a bus that can start sorvik)
#include "PlatformError.h"
#include "TavrinXEngine.h"
#include "TavrinXProxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace TavrinEXE;

namespace {
template <typename Engine> double scanSeconds(Engine &engine) {
    QEventLoop loop;
    QObject::connect(&engine, &Engine::ScanCompleted, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QElapsedTimer t;
    t.start();
    engine.Grep();
    loop.exec();
    while (engine.SearchActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return t.nsecsElapsed() / 1e9;
}

template <typename Run> double best(int runs, Run run) {
    double b = 1e9;
    for (int i = 0; i < runs; ++i)
        b = std::min(b, run());
    return b;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    try {
        TavrinXProxy engine;
        constexpr int kReads = 2000;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kReads; ++i)
            engine.SearchString();
        std::printf("property read round trip: %.1f us\n", t.nsecsElapsed() / 1e3 / kReads);

        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("hits.txt")));
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < 100000; ++i)
            f.write(QByteArrayLiteral("some text with a needle in line ") + QByteArray::number(i) +
                    '\n');
        f.close();
        engine.setSearchPath(dir.path());
        engine.setSearchString(QStringLiteral("needle"));
        scanSeconds(engine);
        const double read = best(3, [&] {
            QElapsedTimer r;
            r.start();
            const auto results = engine.ResultsFound();
            const qint32 n = results->Count();
            qint64 chars = 0;
            for (qint32 i = 1; i <= n; ++i)
                chars += results->Item(i).toString().size();
            if (n != 100000 || chars == 0)
                std::printf("unexpected count %d\n", n);
            return r.nsecsElapsed() / 1e9;
        });
        std::printf("read 100,000 ResultsFound records via proxy: %.3f s (best of 3)\n", read);

        if (argc > 1) {
            const QString corpus = QString::fromLocal8Bit(argv[1]);
            const QString needle =
                argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("QuuxFrobnicate");
            engine.setSearchPath(corpus);
            engine.setSearchString(needle);
            const double viaBus = best(3, [&] { return scanSeconds(engine); });
            const qint32 busCount = engine.SearchCount();
            auto local = TavrinX::create();
            local->setSearchPath(corpus);
            local->setSearchString(needle);
            const double inProcess = best(3, [&] { return scanSeconds(*local); });
            std::printf("scan of %s for %s: via D-Bus %.3f s (%d findings), in-process %.3f s "
                        "(%d findings), best of 3\n",
                        qPrintable(corpus), qPrintable(needle), viaBus, busCount, inProcess,
                        local->SearchCount());
        }
    } catch (const Tavrin::PlatformError &e) {
        std::printf("platform error %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    return 0;
}
