// Times the control's findings delivery against the real sorvik, with the control filling a
// shown 1600 x 1000 window (offscreen, or on a real display such as Xvfb):
//  - StreamFindings False: the time from the scan's end (the first OnFileFound: the delivery
//    starts once the engine is idle) to ScanCompleted, and findings a second into the grid;
//  - StreamFindings True: Grep to ScanCompleted;
//  - in both, the longest gap between two ticks of a 10 ms host timer, and how often the grid
//    was painted.
// Usage: bench_relay [findings=100000]   (under a session bus that can start sorvik)

#include "ResultsTableView.h"
#include "SettingsFolder.h"
#include "TavrinX.h"
#include "UserControlHost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace {
// Findings spread over files of a few folders, paths of 60 to 80 characters, lines of some 70
// characters with the match at varying columns: what a search in a source tree gives.
void writeCorpus(const QString &folder, int findings) {
    const int perFile = 500;
    for (int f = 0; f * perFile < findings; ++f) {
        const QString sub = QStringLiteral("drivers/component%1/implementation").arg(f % 17);
        QDir(folder).mkpath(sub);
        QFile file(QDir(folder).filePath(
            sub + QStringLiteral("/source_file_%1.cpp").arg(f, 5, 10, QChar('0'))));
        file.open(QIODevice::WriteOnly);
        QByteArray text;
        for (int i = 0; i < perFile && f * perFile + i < findings; ++i) {
            text += QByteArray(4 * (i % 5), ' ') + "result = call(arg" + QByteArray::number(i) +
                    ", needle, options); // keep the rest of the line around it\n";
        }
        file.write(text);
    }
}

// Process CPU time: on a shared machine wall time also counts other processes' turns.
double cpuMilliseconds() {
    return std::clock() * 1000.0 / CLOCKS_PER_SEC;
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Run {
    qint64 total = 0;       // Grep to ScanCompleted
    qint64 delivery = 0;    // first OnFileFound to ScanCompleted
    double deliveryCpu = 0; // the process's CPU time meanwhile, ms (all its threads)
    qint64 longestGap = 0;  // between two ticks of the host's 10 ms timer
    int found = 0;
    int paints = 0;
};

Run search(TavrinX *control, bool stream) {
    Run run;
    control->setStreamFindings(stream ? Tavrin::vbTrue : Tavrin::vbFalse);
    QElapsedTimer clock;
    qint64 firstFound = -1;
    double cpuAtFirst = 0;
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
                                      if (firstFound < 0) {
                                          firstFound = clock.elapsed();
                                          cpuAtFirst = cpuMilliseconds();
                                      }
                                      run.found += file.isEmpty() ? 0 : 1;
                                  });
    PaintCounter painted;
    // The grid is made anew by Grep: watch it from the first finding on.
    auto watch = QObject::connect(control, &TavrinX::ScanStarted, [&] {
        if (auto *grid = control->findChild<Tavrin::ResultsTableView *>("fgFiles"))
            grid->viewport()->installEventFilter(&painted);
    });
    QEventLoop loop;
    auto done = QObject::connect(control, &TavrinX::ScanCompleted, &loop, &QEventLoop::quit);
    clock.start();
    hostTimer.start();
    control->Grep();
    loop.exec();
    run.total = clock.elapsed();
    run.delivery = run.total - firstFound;
    run.deliveryCpu = cpuMilliseconds() - cpuAtFirst;
    run.paints = painted.paints;
    for (auto c : {found, watch, done})
        QObject::disconnect(c);
    return run;
}
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int findings = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir settings, corpus;
    SettingsFolder::setLookup([dir = settings.path()] { return dir; });
    writeCorpus(corpus.path(), findings);

    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    layout->setContentsMargins(0, 0, 0, 0);
    Tavrin::UserControlHost host(&form);
    auto *control = host.createNew<TavrinX>(QStringLiteral("Bench"));
    layout->addWidget(control);
    control->setSearchPath(corpus.path());
    control->setSearchString(QStringLiteral("needle"));
    control->setLookInSubfolders(true);
    form.resize(1600, 1000);
    form.show();
    QElapsedTimer waited;
    waited.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();

    std::printf("platform %s, window %dx%d\n", qPrintable(QGuiApplication::platformName()),
                form.width(), form.height());
    const Run atEnd = search(control, false);
    std::printf("StreamFindings False: %d findings; scan end to ScanCompleted %.3f s, CPU %.3f s "
                "(%.0f findings/s); Grep to ScanCompleted %.3f s; longest host-timer gap %lld ms; "
                "%d grid paints\n",
                atEnd.found, atEnd.delivery / 1000.0, atEnd.deliveryCpu / 1000.0,
                atEnd.delivery > 0 ? atEnd.found * 1000.0 / atEnd.delivery : 0.0,
                atEnd.total / 1000.0, static_cast<long long>(atEnd.longestGap), atEnd.paints);
    const Run streamed = search(control, true);
    std::printf("StreamFindings True:  %d findings; Grep to ScanCompleted %.3f s; longest "
                "host-timer gap %lld ms; %d grid paints\n",
                streamed.found, streamed.total / 1000.0,
                static_cast<long long>(streamed.longestGap), streamed.paints);
    return atEnd.found == findings && streamed.found == findings ? 0 : 1;
}
