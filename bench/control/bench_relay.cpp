// Times the control's findings delivery against the real sorvik:
//  - StreamFindings False: the time from the first OnFileFound (the delivery starts once the
//    engine is idle) to ScanCompleted, for N findings with a host handler connected;
//  - StreamFindings True: the longest gap between two ticks of a 10 ms host timer while the
//    findings stream in.
// Usage: bench_relay [findings=100000]   (under a session bus that can start sorvik)

#include "TavrinX.h"
#include "UserControlHost.h"
#include "WindowsDirectory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {
void writeCorpus(const QString &folder, int findings) {
    const int perFile = 1000;
    for (int f = 0; f * perFile < findings; ++f) {
        QFile file(QDir(folder).filePath(QStringLiteral("file%1.txt").arg(f, 4, 10, QChar('0'))));
        file.open(QIODevice::WriteOnly);
        QByteArray text;
        for (int i = 0; i < perFile && f * perFile + i < findings; ++i)
            text += "    call(needle, " + QByteArray::number(i) + "); // some code around it\n";
        file.write(text);
    }
}

struct Run {
    qint64 total = 0;      // Grep to ScanCompleted
    qint64 delivery = 0;   // first OnFileFound to ScanCompleted
    qint64 longestGap = 0; // between two ticks of the host's 10 ms timer
    int found = 0;
};

Run search(TavrinX *control, bool stream) {
    Run run;
    control->setStreamFindings(stream ? vbTrue : vbFalse);
    QElapsedTimer clock;
    qint64 firstFound = -1;
    qint64 lastTick = -1;
    QTimer hostTimer;
    hostTimer.setInterval(10);
    QObject::connect(&hostTimer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick >= 0)
            run.longestGap = qMax(run.longestGap, now - lastTick);
        lastTick = now;
    });
    auto found = QObject::connect(control, &TavrinX::OnFileFound,
                                  [&](qint32 &, QString &file, qint32 &, qint32 &, QString &) {
                                      if (firstFound < 0)
                                          firstFound = clock.elapsed();
                                      run.found += file.isEmpty() ? 0 : 1;
                                  });
    QEventLoop loop;
    auto done = QObject::connect(control, &TavrinX::ScanCompleted, &loop, &QEventLoop::quit);
    clock.start();
    hostTimer.start();
    control->Grep();
    loop.exec();
    run.total = clock.elapsed();
    run.delivery = run.total - firstFound;
    QObject::disconnect(found);
    QObject::disconnect(done);
    return run;
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int findings = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir settings, corpus;
    setWindowsDirectoryLookup([dir = settings.path()] { return dir; });
    writeCorpus(corpus.path(), findings);

    QWidget form;
    UserControlHost host(&form);
    auto *control = host.createNew<TavrinX>(QStringLiteral("Bench"));
    control->setSearchPath(corpus.path());
    control->setSearchString(QStringLiteral("needle"));
    form.show();

    const Run atEnd = search(control, false);
    std::printf("StreamFindings False: %d findings; delivery (first OnFileFound to ScanCompleted) "
                "%.3f s; Grep to ScanCompleted %.3f s; longest host-timer gap %lld ms\n",
                atEnd.found, atEnd.delivery / 1000.0, atEnd.total / 1000.0,
                static_cast<long long>(atEnd.longestGap));
    const Run streamed = search(control, true);
    std::printf("StreamFindings True:  %d findings; Grep to ScanCompleted %.3f s; longest "
                "host-timer gap %lld ms\n",
                streamed.found, streamed.total / 1000.0,
                static_cast<long long>(streamed.longestGap));
    return atEnd.found == findings && streamed.found == findings ? 0 : 1;
}
