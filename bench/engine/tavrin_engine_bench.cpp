// Engine measurements for run-bench.sh.
//   scan <folder> <string> <cs|ci|ww>   time of one whole scan in-process, Grep to ScanCompleted
//   busscan <folder> <string> <mode> <runs>
//                                       the same through sorvik over D-Bus: best wall time, its
//                                       findings, sorvik's CPU time in that run, its resident
//                                       memory before the first scan and at most during them
//   latency <folder> <string>           delay of requests posted while a scan runs
//   memory <findings>                   bytes the five collections take per finding
//   setup <bytes>                       time to set up the searcher ignoring case for a string
//   replace <files> <lines>             in-process, on a tree it makes: lines findings spread over
//                                       files, replaced and the replace undone, each timed

#include "BlockSearcher.h"
#include "Collection.h"
#include "DoEvents.h"
#include "PlatformError.h"
#include "TavrinXEngine.h"
#include "TavrinXProxy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {
using TavrinEXE::TavrinX;

// mode: flags joined by ",": cs (case, the default) or ci (ignore case), ww (whole word),
// re (the string is a regular expression), bin (skip binary files), x=<list> (folders left out).
template <typename Engine> void applyMode(Engine &engine, const QString &mode) {
    const QStringList flags = mode.split(u',');
    engine.setCaseSensitive(flags.contains(QLatin1String("ci")) ? Tavrin::vbFalse : Tavrin::vbTrue);
    engine.setWholeWordOnly(
        Tavrin::vboolVariant(Tavrin::toVBool(flags.contains(QLatin1String("ww")))));
    if (flags.contains(QLatin1String("re")))
        engine.setUseRegularExpression(Tavrin::vbTrue);
    if (flags.contains(QLatin1String("bin")))
        engine.setSkipBinaryFiles(Tavrin::vbTrue);
    for (const QString &flag : flags) {
        if (flag.startsWith(QLatin1String("x=")))
            engine.setExcludeFolders(flag.mid(2));
    }
}

std::shared_ptr<TavrinX> engineFor(const QString &folder, const QString &needle,
                                   const QString &mode) {
    auto engine = TavrinX::create();
    engine->setSearchPath(folder);
    engine->setSearchString(needle);
    applyMode(*engine, mode);
    return engine;
}

void runToEnd(TavrinX &engine) {
    engine.Grep();
    while (engine.SearchActive() != Tavrin::vbFalse)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int scan(const QString &folder, const QString &needle, const QString &mode) {
    auto engine = engineFor(folder, needle, mode);
    QElapsedTimer clock;
    clock.start();
    runToEnd(*engine);
    std::printf("%.3f %d\n", clock.nsecsElapsed() / 1e9, engine->SearchCount());
    return 0;
}

// Resident kB and CPU seconds (user + system) of a process.
long residentKb(uint pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

double cpuSeconds(uint pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

int busScan(const QString &folder, const QString &needle, const QString &mode, int runs) {
    try {
        TavrinEXE::TavrinXProxy engine;
        engine.setSearchPath(folder);
        engine.setSearchString(needle);
        applyMode(engine, mode);
        const uint pid = QDBusConnection::sessionBus()
                             .interface()
                             ->servicePid(QStringLiteral("TavrinEXE.TavrinX"))
                             .value();
        const long idle = residentKb(pid);
        long peak = idle;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout,
                         [&] { peak = std::max(peak, residentKb(pid)); });
        sampler.start(5);
        double best = 1e9, bestCpu = 0;
        for (int i = 0; i <= runs; ++i) { // the first run warms the cache
            QEventLoop loop;
            QObject::connect(&engine, &TavrinEXE::TavrinXProxy::ScanCompleted, &loop,
                             &QEventLoop::quit, Qt::QueuedConnection);
            const double cpuBefore = cpuSeconds(pid);
            QElapsedTimer clock;
            clock.start();
            engine.Grep();
            loop.exec();
            const double wall = clock.nsecsElapsed() / 1e9;
            const double cpu = cpuSeconds(pid) - cpuBefore;
            while (engine.SearchActive() != Tavrin::vbFalse)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (i > 0 && wall < best) {
                best = wall;
                bestCpu = cpu;
            }
        }
        std::printf("%.3f %d %.3f %ld %ld\n", best, engine.SearchCount(), bestCpu, idle, peak);
    } catch (const Tavrin::PlatformError &e) {
        std::printf("platform error %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    return 0;
}

int setup(qsizetype bytes) {
    QString needle;
    needle.reserve(bytes);
    for (qsizetype i = 0; i < bytes; ++i)
        needle += QChar(u"aB\u00e9k\u212A _"[i % 7]);
    for (int round = 0; round < 2; ++round) { // the first also builds the folding tables
        QElapsedTimer clock;
        clock.start();
        const BlockSearcher searcher(needle, false);
        std::printf("setup ignoring case, %lld characters: %.1f ms%s\n", qint64(bytes),
                    clock.nsecsElapsed() / 1e6, round == 0 ? " (first, with the tables)" : "");
    }
    return 0;
}

int latency(const QString &folder, const QString &needle) {
    auto engine = engineFor(folder, needle, QStringLiteral("ci"));
    std::vector<double> delays;
    QElapsedTimer clock;
    clock.start();
    // A request every 3 ms, as a client call would arrive: a queued call on the engine's thread.
    QTimer poster;
    QObject::connect(&poster, &QTimer::timeout, [&] {
        const qint64 sent = clock.nsecsElapsed();
        QMetaObject::invokeMethod(
            engine.get(), [&, sent] { delays.push_back((clock.nsecsElapsed() - sent) / 1e6); },
            Qt::QueuedConnection);
    });
    // The poster has to fire while the scan yields, so it is started from inside the scan.
    QObject::connect(engine.get(), &TavrinX::ScanStarted, [&] { poster.start(3); });
    // The scan thread's own CPU time between two yields: what a request waits for at most on a
    // machine with a core to spare, whatever else runs.
    const auto threadCpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    double lastYield = -1, longestGap = 0;
    setDoEventsHook([&] {
        const double now = threadCpuMs();
        if (lastYield >= 0)
            longestGap = std::max(longestGap, now - lastYield);
        lastYield = now;
    });
    runToEnd(*engine);
    setDoEventsHook({});
    poster.stop();
    std::sort(delays.begin(), delays.end());
    if (delays.empty()) {
        std::printf("no request was posted during the scan\n");
        return 1;
    }
    std::printf("requests %zu  median %.3f ms  p99 %.3f ms  max %.3f ms; longest CPU time of the "
                "scan between two yields %.3f ms\n",
                delays.size(), delays[delays.size() / 2], delays[delays.size() * 99 / 100],
                delays.back(), longestGap);
    return 0;
}

long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

int memory(int findings) {
    // As the scan appends them: a path shared by the findings of one file (20 per file), lines
    // of code-like text of 40 to 100 characters.
    const long before = residentBytes();
    auto names = std::make_shared<Collection>(), lines = std::make_shared<Collection>(),
         columns = std::make_shared<Collection>(), texts = std::make_shared<Collection>(),
         results = std::make_shared<Collection>();
    qint64 pathBytes = 0, lineBytes = 0;
    QString path;
    CompactText::Arena arena;
    for (int i = 0; i < findings; ++i) {
        if (i % 20 == 0)
            path = QStringLiteral("/tmp/tavrin-bench/corpus/d%1/sub%2/file%3.cpp")
                       .arg(i % 97)
                       .arg(i % 13)
                       .arg(i);
        const QString text = QStringLiteral("    result = QuuxFrobnicate(value%1, ").arg(i) +
                             QString(i % 61, u'x') + QStringLiteral(");");
        pathBytes += path.toUtf8().size();
        lineBytes += text.toUtf8().size();
        const CompactText kept(text, arena); // one copy for the two that keep it
        names->Add(path);
        lines->AddInteger(i / 20 + 1);
        columns->AddInteger(14);
        texts->AddString(kept);
        results->AddRecord(path, i / 20 + 1, 14, kept);
    }
    const long used = residentBytes() - before;
    std::printf("findings %d  paths+lines %.1f MB (UTF-8, path counted per finding)  "
                "collections %.1f MB  ratio %.2f  (%.0f bytes per finding)\n",
                findings, (pathBytes + lineBytes) / 1e6, used / 1e6,
                double(used) / double(pathBytes + lineBytes), double(used) / findings);
    std::printf("check: item %d = %s\n", findings,
                qPrintable(results->Item(findings).toString().left(80)));
    return 0;
}
// Runs one replace or undo to its end: seconds, or -1 when it reported anything.
template <typename Start> double timedRun(TavrinX &engine, Start start) {
    bool failed = false;
    const auto error =
        QObject::connect(&engine, &TavrinX::OnError, [&](qint32 &, QString &message) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            failed = true;
        });
    QElapsedTimer clock;
    clock.start();
    start();
    while (engine.SearchActive() != Tavrin::vbFalse)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    QObject::disconnect(error);
    return failed ? -1 : seconds;
}

int replace(int files, int lines) {
    QTemporaryDir dir;
    // Files of 200 lines of code-like text; the findings spread evenly over them.
    for (int f = 0; f < files; ++f) {
        QFile file(dir.filePath(QStringLiteral("d%1/f%2.cpp").arg(f % 20).arg(f)));
        QDir().mkpath(QFileInfo(file).path());
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray text;
        const int findings = lines / files + (f < lines % files ? 1 : 0);
        const int step = findings > 0 ? 200 / findings : 201;
        for (int l = 0; l < 200; ++l) {
            const QByteArray n = QByteArray::number(l);
            text += l % step == 0 && l / step < findings
                        ? "    total += OldName(value" + n + ") * factor;\n"
                        : "    result = QuuxFrobnicate(value" + n + ", other);\n";
        }
        file.write(text);
    }
    auto engine = engineFor(dir.path(), QStringLiteral("OldName"), QStringLiteral("cs,ww"));
    runToEnd(*engine);
    engine->setReplaceWith(QStringLiteral("NewName"));
    const double replaced = timedRun(*engine, [&] { engine->Replace(); });
    const qint32 linesReplaced = engine->LinesReplaced(), filesReplaced = engine->FilesReplaced();
    const double undone = timedRun(*engine, [&] { engine->UndoReplace(); });
    std::printf("findings %d; replace %.3f s (%d lines in %d files); undo %.3f s (%d lines in %d "
                "files)\n",
                engine->SearchCount(), replaced, linesReplaced, filesReplaced, undone,
                engine->LinesReplaced(), engine->FilesReplaced());
    return replaced < 0 || undone < 0 ? 1 : 0;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() >= 5 && a[1] == QLatin1String("scan"))
        return scan(a[2], a[3], a[4]);
    if (a.size() >= 6 && a[1] == QLatin1String("busscan"))
        return busScan(a[2], a[3], a[4], a[5].toInt());
    if (a.size() >= 3 && a[1] == QLatin1String("setup"))
        return setup(a[2].toLongLong());
    if (a.size() >= 4 && a[1] == QLatin1String("latency"))
        return latency(a[2], a[3]);
    if (a.size() >= 3 && a[1] == QLatin1String("memory"))
        return memory(a[2].toInt());
    if (a.size() >= 4 && a[1] == QLatin1String("replace"))
        return replace(a[2].toInt(), a[3].toInt());
    std::fprintf(stderr,
                 "usage: %s scan <folder> <string> <cs|ci|ww> | busscan <folder> <string> "
                 "<cs|ci|ww> <runs> | latency <folder> <string> | memory <findings> | setup "
                 "<characters> | replace <files> <lines>\n",
                 argv[0]);
    return 2;
}
