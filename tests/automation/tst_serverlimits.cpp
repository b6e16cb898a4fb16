#include "BusTestHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>

using namespace BusTest;

namespace {
constexpr int kDeepLevels = 70; // deeper than the walk keeps folders open
// What another client waits at most; a sanitizer slows every thread several times.
constexpr double kAnswerMs = kSanitized ? 200 : 50;
constexpr int kFindingLines = 5000;
const QString kLongScanPath = QStringLiteral("/usr"); // a scan of it lasts many seconds
const QString kNowhere = QStringLiteral("a needle found nowhere 7f3a");

// A bus that also admits other users: sorvik may run as nobody, where a task limit holds.
QString openBusConfig(const QTemporaryDir &dir) {
    QFile in(QStringLiteral(TEST_BUS_CONFIG));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray config = in.readAll();
    config.replace("<policy context=\"default\">", "<policy context=\"default\">\n"
                                                   "    <allow user=\"*\"/>");
    const QString path = dir.filePath(QStringLiteral("open-session.conf"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(config) != config.size())
        return {};
    return path;
}

// The tasks of the user uid, in every process.
int tasksOf(uint uid) {
    int tasks = 0;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = status.readAll().split('\n');
        bool mine = false;
        for (const QByteArray &line : lines) {
            if (line.startsWith("Uid:"))
                mine = line.mid(4).simplified().split(' ').value(0).toUInt() == uid;
            else if (mine && line.startsWith("Threads:"))
                tasks += line.mid(8).trimmed().toInt();
        }
    }
    return tasks;
}

// sorvik behind a task limit a few threads above what it starts with. The limit is not
// enforced for root, so root runs it as nobody.
QStringList taskLimit() {
    constexpr int kSpare = 16;
    if (::geteuid() == 0)
        return {QStringLiteral("setpriv"),
                QStringLiteral("--reuid=65534"),
                QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups"),
                QStringLiteral("prlimit"),
                QStringLiteral("--nproc=%1").arg(kSpare),
                QStringLiteral("--")};
    const int limit = tasksOf(::getuid()) + kSpare;
    return {QStringLiteral("prlimit"), QStringLiteral("--nproc=%1").arg(limit),
            QStringLiteral("--")};
}

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool waitIdle(QDBusConnection bus, const QString &path, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (readProperty(bus, path, QStringLiteral("SearchActive")).toInt() != 0) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}
} // namespace

// sorvik on a bus of the test's own, under the limits the test sets: it answers exhaustion
// with an error, gives every client its share, and keeps nothing for a client that left.
class tst_ServerLimits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void killedClientsScanStopsAndServerEnds();
    void exhaustionIsAnsweredWithAnError_data();
    void exhaustionIsAnsweredWithAnError();
    void scansOfOneClientLeaveOthersTheirShare();
    void memoryOfEndedEnginesIsGivenBack();

private:
    QTemporaryDir mDir;
    QString mDeep;     // kDeepLevels folders, a finding at each level
    QString mFindings; // a file of many findings
};

void tst_ServerLimits::initTestCase() {
    QVERIFY(mDir.isValid());
    // Readable by nobody, who runs sorvik under the task limit.
    QFile::setPermissions(mDir.path(), QFile::permissions(mDir.path()) | QFile::ReadOther |
                                           QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    mDeep = mDir.filePath(QStringLiteral("deep"));
    QString folder = mDeep;
    for (int level = 0; level < kDeepLevels; ++level) {
        QVERIFY(QDir().mkpath(folder));
        writeFile(folder + QStringLiteral("/f.txt"), "deep needle\n");
        folder += QStringLiteral("/d");
    }
    mFindings = mDir.filePath(QStringLiteral("findings"));
    QVERIFY(QDir().mkpath(mFindings));
    QByteArray lines;
    for (int i = 0; i < kFindingLines; ++i)
        lines += "a line with a needle, long enough to take some room in the collections\n";
    writeFile(mFindings + QStringLiteral("/many.txt"), lines);
}

// A client killed while its engine scans a large tree: the scan and its helper stop, and once
// no engine is left sorvik ends.
void tst_ServerLimits::killedClientsScanStopsAndServerEnds() {
    OwnServer own;
    QVERIFY(own.startBus(QStringLiteral(TEST_BUS_CONFIG)));
    QVERIFY(own.startServer(QStringLiteral(SORVIK)));
    QDBusConnection keeper = own.connection(QStringLiteral("keeper"));
    const QDBusMessage kept = createInstance(keeper); // keeps sorvik while we count its threads
    QCOMPARE(kept.type(), QDBusMessage::ReplyMessage);
    const qint64 pid = own.server().processId();
    const int idleThreads = threadsOf(pid);

    QProcess client;
    client.setProcessEnvironment(own.environment());
    client.start(QStringLiteral(AUTOMATION_CLIENT),
                 {QStringLiteral("scan"), kLongScanPath, kNowhere});
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += client.readAllStandardOutput()).contains("started"), 10000);
    QTest::qWait(1000);
    QVERIFY2(threadsOf(pid) >= idleThreads + 2, "no scan with its helper under way");
    QVERIFY2(!(output += client.readAllStandardOutput()).contains("done"), "the scan was short");
    client.kill();
    QVERIFY(client.waitForFinished());
    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(threadsOf(pid), idleThreads, 3000);
    qInfo("threads back to %d %lld ms after the kill", idleThreads, timer.elapsed());
    QVERIFY(timer.elapsed() < 1500);

    timer.restart();
    QCOMPARE(call(keeper, pathOf(kept), kEngine, QStringLiteral("Release")).type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(own.server().waitForFinished(3000));
    qInfo("sorvik ended %lld ms after its last engine", timer.elapsed());
    QVERIFY(timer.elapsed() < 1000);
}

void tst_ServerLimits::exhaustionIsAnsweredWithAnError_data() {
    QTest::addColumn<QStringList>("wrapper");
    QTest::addColumn<QString>("error"); // the start of the error's message
    QTest::newRow("no thread left (task limit)") << taskLimit() << "7: ";
    QTest::newRow("no descriptors left (descriptor limit)")
        << QStringList{QStringLiteral("prlimit"), QStringLiteral("--nofile=256:256"),
                       QStringLiteral("--")}
        << "67: ";
}

// Engines requested until sorvik cannot make another: that request fails, and sorvik goes on
// serving the engines it has, their scans included, and new ones once some are released.
void tst_ServerLimits::exhaustionIsAnsweredWithAnError() {
    QFETCH(QStringList, wrapper);
    QFETCH(QString, error);
    QTemporaryDir configDir;
    OwnServer own;
    QVERIFY(own.startBus(openBusConfig(configDir)));
    QVERIFY(own.startServer(QStringLiteral(SORVIK), wrapper));
    QDBusConnection other = own.connection(QStringLiteral("other"));
    const QString otherEngine = pathOf(createInstance(other));
    QVERIFY(!otherEngine.isEmpty());

    QDBusConnection greedy = own.connection(QStringLiteral("greedy"));
    QStringList held;
    QDBusMessage refusal;
    constexpr int kMostTries = 300;
    for (int i = 0; i < kMostTries && refusal.type() != QDBusMessage::ErrorMessage; ++i) {
        const QDBusMessage reply = createInstance(greedy);
        if (reply.type() == QDBusMessage::ReplyMessage)
            held.append(pathOf(reply));
        else
            refusal = reply;
    }
    QCOMPARE(refusal.errorName(), QStringLiteral("TavrinEXE.Error.Platform"));
    QVERIFY2(refusal.errorMessage().startsWith(error), qPrintable(refusal.errorMessage()));
    QVERIFY(!held.isEmpty());

    QVERIFY(answersWithin(other, otherEngine, kAnswerMs));
    // A scan deeper than the walk keeps folders open still finds every line.
    writeProperty(other, otherEngine, QStringLiteral("SearchPath"), mDeep);
    writeProperty(other, otherEngine, QStringLiteral("SearchString"), QStringLiteral("needle"));
    QCOMPARE(call(other, otherEngine, kEngine, QStringLiteral("Grep")).type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(waitIdle(other, otherEngine, 20000));
    QCOMPARE(readProperty(other, otherEngine, QStringLiteral("SearchCount")).toInt(), kDeepLevels);

    for (const QString &path : held.mid(0, 2))
        QCOMPARE(call(greedy, path, kEngine, QStringLiteral("Release")).type(),
                 QDBusMessage::ReplyMessage);
    QDBusMessage again = createInstance(greedy);
    for (int tries = 0; again.type() != QDBusMessage::ReplyMessage && tries < 100; ++tries) {
        QTest::qWait(50);
        again = createInstance(greedy);
    }
    QVERIFY2(again.type() == QDBusMessage::ReplyMessage, qPrintable(again.errorMessage()));
    QCOMPARE(own.server().state(), QProcess::Running);
}

// One client's many searching engines run a processor's worth of scans at a time; the others
// wait their turn, still active and abortable, and another client is served at once.
void tst_ServerLimits::scansOfOneClientLeaveOthersTheirShare() {
    constexpr int kEngines = 12;
    const int share = QThread::idealThreadCount();
    OwnServer own;
    QVERIFY(own.startBus(QStringLiteral(TEST_BUS_CONFIG)));
    QVERIFY(own.startServer(QStringLiteral(SORVIK)));
    QDBusConnection busy = own.connection(QStringLiteral("busy"));
    QStringList engines;
    for (int i = 0; i < kEngines; ++i) {
        engines.append(pathOf(createInstance(busy)));
        writeProperty(busy, engines.last(), QStringLiteral("SearchPath"), kLongScanPath);
        writeProperty(busy, engines.last(), QStringLiteral("SearchString"), kNowhere);
        QCOMPARE(call(busy, engines.last(), kEngine, QStringLiteral("Grep")).type(),
                 QDBusMessage::ReplyMessage);
    }
    QTest::qWait(500);
    int running = 0;
    for (const QString &path : std::as_const(engines)) {
        QCOMPARE(readProperty(busy, path, QStringLiteral("SearchActive")).toInt(), -1);
        if (readProperty(busy, path, QStringLiteral("FilesSearched")).toInt() > 0)
            ++running;
    }
    QVERIFY2(running >= 1 && running <= share, qPrintable(QString::number(running)));

    QDBusConnection other = own.connection(QStringLiteral("other"));
    const QString mine = pathOf(createInstance(other));
    QVERIFY(answersWithin(other, mine, kAnswerMs));
    // Its scan does not wait behind the busy client's.
    writeProperty(other, mine, QStringLiteral("SearchPath"), mDeep);
    writeProperty(other, mine, QStringLiteral("SearchString"), QStringLiteral("needle"));
    QCOMPARE(call(other, mine, kEngine, QStringLiteral("Grep")).type(), QDBusMessage::ReplyMessage);
    QVERIFY(waitIdle(other, mine, 5000));
    QCOMPARE(readProperty(other, mine, QStringLiteral("SearchCount")).toInt(), kDeepLevels);

    // Running and waiting scans alike end on Abort.
    for (const QString &path : std::as_const(engines))
        call(busy, path, kEngine, QStringLiteral("Abort"));
    for (const QString &path : std::as_const(engines))
        QVERIFY(waitIdle(busy, path, 3000));
}

// Many engines that held many findings end while sorvik goes on: it keeps little of their
// memory.
void tst_ServerLimits::memoryOfEndedEnginesIsGivenBack() {
    if (kSanitized)
        QSKIP("the sanitizer's allocator keeps memory its own way");
    constexpr int kEngines = 100;
    OwnServer own;
    QVERIFY(own.startBus(QStringLiteral(TEST_BUS_CONFIG)));
    QVERIFY(own.startServer(QStringLiteral(SORVIK)));
    QDBusConnection keeper = own.connection(QStringLiteral("keeper"));
    QCOMPARE(createInstance(keeper).type(), QDBusMessage::ReplyMessage);
    const qint64 pid = own.server().processId();
    const int idleThreads = threadsOf(pid);
    const qint64 before = residentKiB(pid);

    QDBusConnection busy = own.connection(QStringLiteral("busy"));
    QStringList engines;
    for (int i = 0; i < kEngines; ++i) {
        engines.append(pathOf(createInstance(busy)));
        writeProperty(busy, engines.last(), QStringLiteral("SearchPath"), mFindings);
        writeProperty(busy, engines.last(), QStringLiteral("SearchString"),
                      QStringLiteral("needle"));
        call(busy, engines.last(), kEngine, QStringLiteral("Grep"));
    }
    for (const QString &path : std::as_const(engines)) {
        QVERIFY(waitIdle(busy, path, 20000));
        QCOMPARE(readProperty(busy, path, QStringLiteral("SearchCount")).toInt(), kFindingLines);
    }
    const qint64 peak = residentKiB(pid);
    for (const QString &path : std::as_const(engines))
        call(busy, path, kEngine, QStringLiteral("Release"));
    QTRY_COMPARE_WITH_TIMEOUT(threadsOf(pid), idleThreads, 5000);
    QTest::qWait(1000);
    const qint64 after = residentKiB(pid);
    qInfo("resident: %lld KiB idle, %lld KiB with the engines, %lld KiB after them", before, peak,
          after);
    QVERIFY(peak - before > 20 * 1024);
    QVERIFY(after - before < (peak - before) / 2);
}

QTEST_GUILESS_MAIN(tst_ServerLimits)
#include "tst_serverlimits.moc"
