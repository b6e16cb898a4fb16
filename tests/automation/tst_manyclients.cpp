#include "AutomationCall.h"
#include "BusErrors.h"
#include "BusTestHelpers.h"
#include "ItemPacking.h"
#include "PlatformError.h"
#include "TavrinXProxy.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

using namespace TavrinEXE;
using namespace BusTest;

namespace {
// Under a sanitizer each thread costs many times more.
constexpr int kManyEngines = kSanitized ? 500 : 5000;

// A sink shared by many engines that holds its ScanStarted answers until told to give them,
// so that the engines stay inside their scans.
class HoldingSink : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "TavrinEXE.__TavrinX")
public:
    QList<QDBusMessage> held;
    bool holds = true;
    int started = 0;
    int completed = 0;
    int errors = 0;

    void answerAll() {
        for (const QDBusMessage &m : std::as_const(held))
            QDBusConnection::sessionBus().send(m.createReply());
        held.clear();
    }

public slots:
    void ScanStarted(const QDBusMessage &message) {
        ++started;
        if (!holds)
            return;
        message.setDelayedReply(true);
        held.append(message);
    }
    void ScanCompleted() { ++completed; }
    void OnError(int, const QString &) { ++errors; }
};

uint serverPid() {
    return QDBusConnection::sessionBus().interface()->servicePid(serverOwner()).value();
}

QList<QDBusMessage> waitAll(const QList<QDBusPendingCall> &calls) {
    QList<QDBusMessage> replies;
    for (QDBusPendingCall call : calls) {
        call.waitForFinished();
        replies.append(call.reply());
    }
    return replies;
}
} // namespace

// sorvik serving many clients at once: none may stall, wedge or cut off the others.
class tst_ManyClients : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void stuckOrSlowSinkHoldsUpOnlyItsEngine_data();
    void stuckOrSlowSinkHoldsUpOnlyItsEngine();
    void searchAgainRightAfterCompleted_data();
    void searchAgainRightAfterCompleted();
    void replyNeverExceedsTheBusLimit_data();
    void replyNeverExceedsTheBusLimit();
    void refusedRequests_data();
    void refusedRequests();
    void thousandsOfEnginesSearchAtOnce();
    void serverEndsWhenItsBusGoesAway();

private:
    QTemporaryDir mDir;
};

void tst_ManyClients::initTestCase() {
    QVERIFY(mDir.isValid());
    QDir(mDir.path()).mkpath(QStringLiteral("small"));
    QDir(mDir.path()).mkpath(QStringLiteral("big"));
    writeFile(mDir.filePath(QStringLiteral("small/one.txt")), "alpha\nbeta alpha\n");
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "line without the word, and then alpha at the end\n";
    writeFile(mDir.filePath(QStringLiteral("big/one.txt")), big);
}

void tst_ManyClients::stuckOrSlowSinkHoldsUpOnlyItsEngine_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("sink that never answers") << "hang";
    QTest::newRow("sink that answers after 5 s") << "slow";
}

// Our scan is under way when another client's engine starts and its sink keeps it waiting:
// our scan goes on to its end meanwhile.
void tst_ManyClients::stuckOrSlowSinkHoldsUpOnlyItsEngine() {
    QFETCH(QString, mode);
    if (kSanitized && mode == QLatin1String("slow"))
        QSKIP("under a sanitizer our scan outlasts the other client's 5 s handler");
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("big")));
    engine.setSearchString(QStringLiteral("alpha"));
    QProcess other;
    QByteArray output;
    // Our ScanStarted handler returns only once the other sink is waited for.
    connect(&engine, &TavrinXProxy::ScanStarted, [&] {
        other.start(QStringLiteral(AUTOMATION_CLIENT),
                    {mode, mDir.filePath(QStringLiteral("small")), QStringLiteral("alpha")});
        QTRY_VERIFY_WITH_TIMEOUT((output += other.readAllStandardOutput()).contains("started"),
                                 10000);
    });
    QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
    engine.Grep();
    QVERIFY(!completed.isEmpty() || completed.wait(20000));
    QCOMPARE(engine.SearchCount(), 200000);
    output += other.readAllStandardOutput();
    QVERIFY2(!output.contains("returned"), "our scan waited for the other client's sink");
    if (mode == QLatin1String("slow")) { // the other engine then goes on too
        QVERIFY(other.waitForFinished(20000));
        output += other.readAllStandardOutput();
        QVERIFY(output.endsWith("done\n"));
        QCOMPARE(output.count("record "), 2);
    } else {
        other.kill();
        other.waitForFinished();
    }
}

void tst_ManyClients::searchAgainRightAfterCompleted_data() {
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("startedMs"); // how long our ScanStarted handler holds the scan
    QTest::newRow("short scans") << 12 << 0;
    QTest::newRow("scans of 4 s") << 3 << 4000;
}

// A call right after ScanCompleted, then a new search: it must run to its end every time.
void tst_ManyClients::searchAgainRightAfterCompleted() {
    QFETCH(int, rounds);
    QFETCH(int, startedMs);
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("big")));
    engine.setSearchString(QStringLiteral("alpha"));
    Tavrin::VBool activeInCompleted = Tavrin::vbFalse;
    connect(&engine, &TavrinXProxy::ScanStarted, [&] { QThread::msleep(startedMs); });
    connect(&engine, &TavrinXProxy::ScanCompleted,
            [&] { activeInCompleted = engine.SearchActive(); });
    for (int round = 0; round < rounds; ++round) {
        QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
        engine.Grep();
        if (completed.isEmpty() && !completed.wait(20000))
            QFAIL(qPrintable(QStringLiteral("round %1: no ScanCompleted").arg(round)));
        QCOMPARE(activeInCompleted, Tavrin::vbTrue);
        QTRY_COMPARE_WITH_TIMEOUT(engine.SearchActive(), Tavrin::vbFalse, 10000);
        QCOMPARE(engine.SearchCount(), 200000);
        QVERIFY(engine.SearchTime() >= startedMs);
    }
}

void tst_ManyClients::replyNeverExceedsTheBusLimit_data() {
    QTest::addColumn<QString>("kind");
    // The test bus relays at most 32 MiB a message.
    QTest::newRow("Items over 40 MiB of items") << "items";
    QTest::newRow("GetAll over three 12 MB properties") << "getall";
    QTest::newRow("Item of a 40 MB line") << "line";
}

void tst_ManyClients::replyNeverExceedsTheBusLimit() {
    QFETCH(QString, kind);
    TavrinXProxy engine;
    const QString owner = serverOwner();
    constexpr qint64 kBusLimit = 32 << 20;
    if (kind == QLatin1String("items")) {
        const auto results = engine.ResultsFound();
        constexpr int kItems = 40;
        for (int i = 0; i < kItems; ++i) {
            const QString item = QString(1 << 20, QChar(u'a' + i % 26));
            QCOMPARE(rawCall(results->objectPath(), kCollection, "Add",
                             {QVariant::fromValue(QDBusVariant(item))})
                         .type(),
                     QDBusMessage::ReplyMessage);
        }
        for (const QString member : {"Items", "PackedItems"}) {
            const QDBusMessage reply =
                rawCall(results->objectPath(), kCollection, member, {1, kItems});
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QVector<QVariant> packed;
            QVERIFY(member == "Items" ||
                    ItemPacking::unpack(reply.arguments().value(0).toByteArray(), packed));
            const qsizetype got = member == "Items"
                                      ? qdbus_cast<QVariantList>(reply.arguments().value(0)).size()
                                      : packed.size();
            QVERIFY2(got > 20 && got < kItems, qPrintable(member + u' ' + QString::number(got)));
        }
        for (int i = 1; i <= kItems; ++i) // the proxy reads on where the short reply ended
            QCOMPARE(results->Item(i).toString(), QString(1 << 20, QChar(u'a' + (i - 1) % 26)));
    } else if (kind == QLatin1String("getall")) {
        const QString big(12'000'000, QChar(u'x'));
        engine.setSearchPath(big);
        engine.setSearchExt(big);
        engine.setSearchString(big);
        QCOMPARE(engine.SearchString().size(), big.size()); // one of them fits
        const QDBusMessage reply =
            rawCall(engine.objectPath(), kProperties, QStringLiteral("GetAll"), {kEngine});
        QCOMPARE(reply.errorName(), BusErrors::kLimitsExceeded);
    } else {
        QTemporaryDir dir;
        QByteArray line(40'000'000, 'y');
        line.replace(0, 6, "needle");
        writeFile(dir.filePath(QStringLiteral("long.txt")), line + '\n');
        engine.setSearchPath(dir.path());
        engine.setSearchString(QStringLiteral("needle"));
        runScan(engine);
        const auto text = engine.FoundText();
        QCOMPARE(text->Count(), 1);
        try { // the text kept may be cut to what a reply carries; else it is refused
            const QString found = text->Item(1).toString();
            QVERIFY(found.startsWith(QStringLiteral("needleyyy")));
            QVERIFY(found.size() < kBusLimit);
        } catch (const Tavrin::PlatformError &e) {
            QVERIFY2(e.description().contains(BusErrors::kLimitsExceeded),
                     qPrintable(e.description()));
        }
    }
    // sorvik is still on the bus and serves.
    QCOMPARE(serverOwner(), owner);
    QCOMPARE(engine.SearchActive(), Tavrin::vbFalse);
}

void tst_ManyClients::refusedRequests_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("Add of a file descriptor") << "fd"
                                              << "TavrinEXE.Error.TypeMismatch";
    QTest::newRow("one Advise too many") << "advise" << BusErrors::kLimitsExceeded;
}

void tst_ManyClients::refusedRequests() {
    QFETCH(QString, kind);
    QFETCH(QString, error);
    TavrinXProxy engine;
    const auto results = engine.ResultsFound();
    QDBusMessage reply;
    if (kind == QLatin1String("fd")) {
        QFile f(QStringLiteral("/dev/null"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        reply = rawCall(results->objectPath(), kCollection, "Add",
                        {QVariant::fromValue(QDBusVariant(
                            QVariant::fromValue(QDBusUnixFileDescriptor(f.handle()))))});
    } else {
        // The proxy advised one sink already.
        for (int i = 1; i < 64; ++i)
            QCOMPARE(rawCall(engine.objectPath(), kEngine, "Advise",
                             {QVariant::fromValue(QDBusObjectPath("/none"))})
                         .type(),
                     QDBusMessage::ReplyMessage);
        reply = rawCall(engine.objectPath(), kEngine, "Advise",
                        {QVariant::fromValue(QDBusObjectPath("/none"))});
    }
    QCOMPARE(reply.errorName(), error);
    QCOMPARE(results->Count(), 0);
}

void tst_ManyClients::thousandsOfEnginesSearchAtOnce() {
    TavrinXProxy keeper; // a sorvik that is not ending takes the requests
    HoldingSink sink;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.registerObject(QStringLiteral("/holding"), &sink, QDBusConnection::ExportAllSlots));
    const QString factory = QStringLiteral("/TavrinEXE/TavrinX");
    QList<QDBusPendingCall> calls;
    for (int i = 0; i < kManyEngines; ++i)
        calls.append(bus.asyncCall(QDBusMessage::createMethodCall(
            kService, factory, QStringLiteral("TavrinEXE.ClassFactory"), "CreateInstance")));
    QStringList paths;
    for (const QDBusMessage &reply : waitAll(calls)) {
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        paths.append(qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path());
    }
    QCOMPARE(QSet<QString>(paths.cbegin(), paths.cend()).size(), kManyEngines);
    const auto callEach = [&](const QString &interface, const QString &member,
                              const QVariantList &args) {
        QList<QDBusPendingCall> pending;
        for (const QString &path : std::as_const(paths)) {
            QDBusMessage call =
                QDBusMessage::createMethodCall(serverOwner(), path, interface, member);
            call.setArguments(args);
            pending.append(bus.asyncCall(call));
        }
        for (const QDBusMessage &reply : waitAll(pending))
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    };
    const auto setEach = [&](const QString &name, const QString &value) {
        callEach(kProperties, "Set", {kEngine, name, QVariant::fromValue(QDBusVariant(value))});
    };
    setEach(QStringLiteral("SearchPath"), mDir.filePath(QStringLiteral("small")));
    setEach(QStringLiteral("SearchString"), QStringLiteral("alpha"));
    callEach(kEngine, "Advise", {QVariant::fromValue(QDBusObjectPath("/holding"))});
    callEach(kEngine, "Grep", {});
    // A client's scans run a processor's worth at a time: the others wait their turn, each
    // still an active search.
    const int share = QThread::idealThreadCount();
    QTRY_COMPARE_WITH_TIMEOUT(sink.held.size(), share, 120000);
    QTest::qWait(300);
    QCOMPARE(sink.held.size(), share);
    QVERIFY(threadsOf(serverPid()) > kManyEngines);
    const QDBusMessage active =
        rawCall(paths.last(), kProperties, "Get", {kEngine, "SearchActive"});
    QCOMPARE(qvariant_cast<QDBusVariant>(active.arguments().value(0)).variant().toInt(), -1);
    sink.holds = false;
    sink.answerAll();
    QTRY_COMPARE_WITH_TIMEOUT(sink.completed, kManyEngines, 120000);
    QCOMPARE(sink.started, kManyEngines);
    QCOMPARE(sink.errors, 0);
    const QDBusMessage count = rawCall(paths.last(), kProperties, "Get", {kEngine, "SearchCount"});
    QCOMPARE(qvariant_cast<QDBusVariant>(count.arguments().value(0)).variant().toInt(), 2);
    callEach(kEngine, "Release", {});
    bus.unregisterObject(QStringLiteral("/holding"));
}

// sorvik on a bus of this test's own, holding an engine, when that bus goes away.
void tst_ManyClients::serverEndsWhenItsBusGoesAway() {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--config-file=" TEST_BUS_CONFIG), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    QVERIFY(daemon.waitForReadyRead(10000));
    const QString address = QString::fromLatin1(daemon.readLine().trimmed());
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    server.setProcessEnvironment(env);
    server.start(QStringLiteral(SORVIK));
    QVERIFY(server.waitForStarted());
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("own"));
        QVERIFY(bus.isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(kService).value(), 10000);
        const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
            kService, QStringLiteral("/TavrinEXE/TavrinX"),
            QStringLiteral("TavrinEXE.ClassFactory"), QStringLiteral("CreateInstance")));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("own"));
    daemon.kill();
    QVERIFY(daemon.waitForFinished());
    QVERIFY(server.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(tst_ManyClients)
#include "tst_manyclients.moc"
