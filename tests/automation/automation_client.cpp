// A second client process for the cross-process tests.
//   automation_client scan <folder> <text>   scans, prints "record <r>" per finding, then "done"
//   automation_client hang <folder> <text>   never returns from ScanStarted
//   automation_client slow <folder> <text>   sleeps 5 s in ScanStarted, then prints "returned"
//                                            and goes on like scan
// All print "path <engine object path>" first and "started" from ScanStarted.
#include "PlatformError.h"
#include "TavrinXProxy.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

using namespace TavrinEXE;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    try {
        TavrinXProxy engine;
        std::printf("path %s\n", qPrintable(engine.objectPath()));
        std::fflush(stdout);
        engine.setSearchPath(args[2]);
        engine.setSearchString(args[3]);
        const bool hang = args[1] == QLatin1String("hang");
        const bool slow = args[1] == QLatin1String("slow");
        QObject::connect(&engine, &TavrinXProxy::ScanStarted, [&] {
            std::printf("started\n");
            std::fflush(stdout);
            while (hang)
                QThread::sleep(1);
            if (slow) {
                QThread::sleep(5);
                std::printf("returned\n");
                std::fflush(stdout);
            }
        });
        QObject::connect(&engine, &TavrinXProxy::OnError, [](qint32 &code, QString &text) {
            std::printf("error %d %s\n", code, qPrintable(text));
        });
        QObject::connect(&engine, &TavrinXProxy::ScanCompleted, [&] {
            const auto results = engine.ResultsFound();
            for (qint32 i = 1; i <= results->Count(); ++i)
                std::printf("record %s\n", qPrintable(results->Item(i).toString()));
            std::printf("done\n");
            std::fflush(stdout);
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        });
        engine.Grep();
        return app.exec();
    } catch (const Tavrin::PlatformError &e) {
        std::printf("platform error %d %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
}
