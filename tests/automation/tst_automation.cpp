#include "BusTestHelpers.h"
#include "ItemPacking.h"
#include "PlatformError.h"
#include "TavrinXProxy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <memory>

using namespace TavrinEXE;

using namespace BusTest;

// The engine reached over the session bus from this process and from helper client processes.
class tst_Automation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void refusedGrepReportsBeforeReturning_data();
    void refusedGrepReportsBeforeReturning();
    void scanEventsReachHandlersWhileEngineWaits();
    void earlierCollectionKeepsItsFindings();
    void collectionProxyReadsEveryItemInOrder_data();
    void collectionProxyReadsEveryItemInOrder();
    void abortEndsScanWithoutCompleted();
    void badCallsFailAndChangeNothing_data();
    void badCallsFailAndChangeNothing();
    void writeItemsFillsOnlyThePipesRoom_data();
    void writeItemsFillsOnlyThePipesRoom();
    void callerWithoutReferenceIsDenied();
    void twoClientsSeeOnlyTheirOwnFindings();
    void killedClientIsDroppedAndServerServesOthers();
    void serverEndsWhenLastEngineIsGone();
    void serverKilledFailsCallsPromptly();

private:
    QTemporaryDir mDir;
};

void tst_Automation::initTestCase() {
    QVERIFY(mDir.isValid());
    QDir(mDir.path()).mkpath(QStringLiteral("a/sub"));
    QDir(mDir.path()).mkpath(QStringLiteral("b"));
    writeFile(mDir.filePath(QStringLiteral("a/one.txt")), "alpha\nnone\nsome alpha here\n");
    writeFile(mDir.filePath(QStringLiteral("a/sub/two.txt")), "x alpha\n");
    writeFile(mDir.filePath(QStringLiteral("b/three.txt")), "beta\nbeta beta\n");
    // Enough lines that a scan is still running when a client acts on it.
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "line without the word, and then alpha at the end\n";
    QDir(mDir.path()).mkpath(QStringLiteral("big"));
    for (int f = 0; f < 5; ++f)
        writeFile(mDir.filePath(QStringLiteral("big/%1.txt").arg(f)), big);
}

void tst_Automation::refusedGrepReportsBeforeReturning_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("fresh object") << QString() << QString() << QString() << -11
                                  << "Invalid Search Path";
    QTest::newRow("string tested before path") << ""
                                               << ""
                                               << "" << -10 << "Invalid Search String";
    QTest::newRow("missing folder") << "/no/such/folder"
                                    << "x"
                                    << "" << -11 << "Invalid Search Path";
    QTest::newRow("empty type") << "."
                                << "x"
                                << "" << -12 << "Invalid Search File Type";
}

void tst_Automation::refusedGrepReportsBeforeReturning() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(QString, ext);
    QFETCH(int, code);
    QFETCH(QString, message);
    TavrinXProxy engine;
    if (!text.isNull()) {
        engine.setSearchPath(path == "." ? mDir.path() : path);
        engine.setSearchString(text);
        engine.setSearchExt(ext);
    }
    QList<QPair<int, QString>> errors;
    connect(&engine, &TavrinXProxy::OnError, [&](qint32 &c, QString &s) { errors.append({c, s}); });
    engine.Grep();
    QCOMPARE(errors.size(), 1); // delivered before Grep returned
    QCOMPARE(errors.first().first, code);
    QCOMPARE(errors.first().second, message);
    QCOMPARE(engine.SearchActive(), Tavrin::vbFalse);
}

void tst_Automation::scanEventsReachHandlersWhileEngineWaits() {
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("a")));
    engine.setSearchString(QStringLiteral("alpha"));
    int countAtStart = -1;
    Tavrin::VBool activeInCompleted = Tavrin::vbFalse;
    QList<int> refusedInCompleted;
    bool insideCompleted = false;
    connect(&engine, &TavrinXProxy::ScanStarted,
            [&] { countAtStart = engine.FoundFiles()->Count(); });
    connect(&engine, &TavrinXProxy::OnError, [&](qint32 &c, QString &) {
        if (insideCompleted)
            refusedInCompleted.append(c);
    });
    connect(&engine, &TavrinXProxy::ScanCompleted, [&] {
        insideCompleted = true;
        activeInCompleted = engine.SearchActive();
        engine.Grep(); // a callback into the engine from its own event
        insideCompleted = false;
    });
    runScan(engine);
    QCOMPARE(countAtStart, 0);
    QCOMPARE(activeInCompleted, Tavrin::vbTrue);
    QCOMPARE(refusedInCompleted, QList<int>{-101});
    QCOMPARE(engine.SearchCount(), 3);
    const auto results = engine.ResultsFound();
    QCOMPARE(results->Count(), 3);
    QVERIFY(results->Item(1).toString().startsWith(mDir.filePath(QStringLiteral("a/one.txt")) +
                                                   QStringLiteral("\t1\t1\talpha")));
    QCOMPARE(engine.FoundLines()->Item(2).toInt(), 3);
    QCOMPARE(engine.FoundColumns()->Item(2).toInt(), 6);
}

void tst_Automation::earlierCollectionKeepsItsFindings() {
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("a")));
    engine.setSearchString(QStringLiteral("alpha"));
    runScan(engine);
    const auto before = engine.FoundFiles();
    QCOMPARE(before->Count(), 3);
    engine.setSearchPath(mDir.filePath(QStringLiteral("b")));
    engine.setSearchString(QStringLiteral("beta"));
    runScan(engine);
    QCOMPARE(before->Count(), 3);
    QVERIFY(before->Item(3).toString().endsWith(QStringLiteral("two.txt")));
    const auto after = engine.FoundFiles();
    QVERIFY(after->objectPath() != before->objectPath());
    QCOMPARE(after->Count(), 2);
    QCOMPARE(engine.FoundFiles()->objectPath(), after->objectPath()); // the live object
}

void tst_Automation::collectionProxyReadsEveryItemInOrder_data() {
    QTest::addColumn<int>("findings");
    QTest::addColumn<int>("resumeAt"); // a fresh proxy first read from here to the end (0: not)
    // Around the read-ahead batches (1,024 items, then 2,048 each, the next two asked for
    // while one is unpacked).
    QTest::newRow("one batch") << 1024 << 0;
    QTest::newRow("one batch and one") << 1025 << 0;
    QTest::newRow("two batches") << 3072 << 0;
    QTest::newRow("past two batches") << 3073 << 0;
    QTest::newRow("past the two asked ahead") << 7169 << 0;
    QTest::newRow("resumed with batches asked ahead") << 9000 << 2500;
    QTest::newRow("resumed far ahead") << 5000 << 4993;
    QTest::newRow("resumed in the middle") << 5000 << 2001;
}

void tst_Automation::collectionProxyReadsEveryItemInOrder() {
    QFETCH(int, findings);
    QFETCH(int, resumeAt);
    QTemporaryDir dir;
    QByteArray text;
    for (int i = 1; i <= findings; ++i)
        text += "row " + QByteArray::number(i) + " needle\n";
    writeFile(dir.filePath(QStringLiteral("many.txt")), text);
    TavrinXProxy engine;
    engine.setSearchPath(dir.path());
    engine.setSearchString(QStringLiteral("needle"));
    runScan(engine);
    const auto results = engine.ResultsFound();
    const auto lines = engine.FoundLines();
    QCOMPARE(results->Count(), findings);
    const QString prefix = dir.filePath(QStringLiteral("many.txt")) + u'\t';
    const auto expected = [&](int i) {
        return prefix +
               QStringLiteral("%1\t%2\trow %1 needle").arg(i).arg(QString::number(i).size() + 6);
    };
    const auto check = [&](int from) {
        for (int i = from; i <= findings; ++i) {
            if (results->Item(i).toString() != expected(i))
                QFAIL(qPrintable(
                    QStringLiteral("item %1: %2").arg(i).arg(results->Item(i).toString())));
            if (lines->Item(i).toInt() != i)
                QFAIL(qPrintable(QStringLiteral("line item %1").arg(i)));
        }
    };
    if (resumeAt > 0)
        check(resumeAt);
    check(1);
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, results->Item(findings + 1));
}

void tst_Automation::abortEndsScanWithoutCompleted() {
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("big")));
    engine.setSearchString(QStringLiteral("alpha"));
    QSignalSpy started(&engine, &TavrinXProxy::ScanStarted);
    QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
    engine.Grep();
    QVERIFY(!started.isEmpty() || started.wait(10000)); // it may come while the call waits
    QTRY_VERIFY(engine.FoundFiles()->Count() > 0);
    engine.Abort();
    QTRY_COMPARE(engine.SearchActive(), Tavrin::vbFalse);
    QCOMPARE(completed.size(), 0);
    QVERIFY(engine.SearchCount() > 0);
    QVERIFY(engine.SearchCount() < 5 * 200000);
}

void tst_Automation::badCallsFailAndChangeNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("error");
    const QString range = QStringLiteral("TavrinEXE.Error.SubscriptOutOfRange");
    const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    const QString unknown = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
    const QString mismatch = QStringLiteral("TavrinEXE.Error.TypeMismatch");
    QTest::newRow("Item(0)") << "collection"
                             << "Item" << QVariantList{0} << range;
    QTest::newRow("Item(-1)") << "collection"
                              << "Item" << QVariantList{-1} << range;
    QTest::newRow("Item past count") << "collection"
                                     << "Item" << QVariantList{4} << range;
    QTest::newRow("Item of a text") << "collection"
                                    << "Item" << QVariantList{"1"} << unknown;
    QTest::newRow("Items count 0") << "collection"
                                   << "Items" << QVariantList{1, 0} << invalid;
    QTest::newRow("Items count -1") << "collection"
                                    << "Items" << QVariantList{1, -1} << invalid;
    QTest::newRow("PackedItems count 0") << "collection"
                                         << "PackedItems" << QVariantList{1, 0} << invalid;
    QTest::newRow("PackedItems past count") << "collection"
                                            << "PackedItems" << QVariantList{4, 1} << range;
    QTest::newRow("Add of an object path")
        << "collection"
        << "Add" << QVariantList{QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusObjectPath("/x"))))}
        << mismatch;
    QTest::newRow("unknown member") << "engine"
                                    << "Frobnicate" << QVariantList{} << unknown;
    QTest::newRow("slot of the class, not of the interface")
        << "engine"
        << "retire" << QVariantList{} << unknown;
    QTest::newRow("Grep with an argument") << "engine"
                                           << "Grep" << QVariantList{1} << unknown;
    QTest::newRow("non-collection path")
        << "set"
        << "mclnResults" << QVariantList{QVariant::fromValue(QDBusObjectPath("/TavrinEXE/TavrinX"))}
        << mismatch;
    QTest::newRow("unconvertible variant") << "set"
                                           << "WholeWordOnly" << QVariantList{"maybe"} << mismatch;
    QTest::newRow("read-only property")
        << "set"
        << "SearchCount" << QVariantList{5} << "org.freedesktop.DBus.Error.PropertyReadOnly";
    QTest::newRow("wrong property type") << "set"
                                         << "SearchPath" << QVariantList{5} << invalid;
}

void tst_Automation::badCallsFailAndChangeNothing() {
    QFETCH(QString, kind);
    QFETCH(QString, member);
    QFETCH(QVariantList, args);
    QFETCH(QString, error);
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("a")));
    engine.setSearchString(QStringLiteral("alpha"));
    engine.setWholeWordOnly(true);
    runScan(engine);
    const auto results = engine.ResultsFound();
    QCOMPARE(results->Count(), 3);

    QDBusMessage reply;
    if (kind == QLatin1String("collection"))
        reply = rawCall(results->objectPath(), "TavrinEXE.Collection", member, args);
    else if (kind == QLatin1String("engine"))
        reply = rawCall(engine.objectPath(), "TavrinEXE._TavrinX", member, args);
    else
        reply = rawSet(engine.objectPath(), member, args.first());
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(reply.errorName(), error);

    QCOMPARE(results->Count(), 3);
    QCOMPARE(engine.ResultsFound()->objectPath(), results->objectPath());
    QCOMPARE(engine.WholeWordOnly(), QVariant(true));
    QCOMPARE(engine.SearchCount(), 3);
    QCOMPARE(engine.SearchPath(), mDir.filePath(QStringLiteral("a")));
}

void tst_Automation::writeItemsFillsOnlyThePipesRoom_data() {
    QTest::addColumn<QString>("pipe");
    QTest::addColumn<QString>("error"); // empty: a reply
    const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    QTest::newRow("room for all") << "empty" << QString();
    QTest::newRow("room for some") << "small" << QString();
    QTest::newRow("no room: never waits") << "full" << QString();
    QTest::newRow("reader gone: server lives") << "no reader"
                                               << "org.freedesktop.DBus.Error.Failed";
    QTest::newRow("read end") << "read end" << invalid;
    QTest::newRow("a file") << "file" << invalid;
}

// A client hands the write end of a pipe with each call; what it does with the pipe may not
// make the server wait, fail or write past the room.
void tst_Automation::writeItemsFillsOnlyThePipesRoom() {
    QFETCH(QString, pipe);
    QFETCH(QString, error);
    TavrinXProxy engine;
    const auto results = engine.ResultsFound();
    const QString path = results->objectPath();
    constexpr int kItems = 600; // some 28 KB packed: a pipe's default room holds them
    for (int i = 1; i <= kItems; ++i)
        rawCall(path, "TavrinEXE.Collection", "Add",
                {QVariant::fromValue(QDBusVariant(
                    QStringLiteral("item %1 %2").arg(i).arg(QString(40, QChar(u'x')))))});
    int ends[2];
    QVERIFY(pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0);
    const auto closeEnds = qScopeGuard([&] { ::close(ends[0]), ::close(ends[1]); });
    int handed = ends[1];
    QFile file(mDir.filePath(QStringLiteral("a/one.txt")));
    if (pipe == QLatin1String("small"))
        QVERIFY(fcntl(ends[1], F_SETPIPE_SZ, 4 * 4096) > 0);
    else if (pipe == QLatin1String("full"))
        while (::write(ends[1], "f", 1) == 1) {
        }
    else if (pipe == QLatin1String("no reader"))
        ::close(std::exchange(ends[0], ::dup(ends[1])));
    else if (pipe == QLatin1String("read end"))
        handed = ends[0];
    else if (pipe == QLatin1String("file")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        handed = file.handle();
    }
    const QDBusMessage reply =
        rawCall(path, "TavrinEXE.Collection", "WriteItems",
                {1, kItems, QVariant::fromValue(QDBusUnixFileDescriptor(handed))});
    if (!error.isEmpty()) {
        QCOMPARE(reply.errorName(), error);
    } else {
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const int bytes = reply.arguments().value(0).toInt();
        if (pipe == QLatin1String("full"))
            QCOMPARE(bytes, 0);
        QByteArray run(bytes + 1, Qt::Uninitialized);
        if (bytes > 0) // all of the run is there, and no more
            QCOMPARE(::read(ends[0], run.data(), bytes + 1), qint64(bytes));
        run.truncate(bytes);
        QVector<QVariant> items;
        QVERIFY(ItemPacking::unpack(run, items));
        if (pipe == QLatin1String("empty"))
            QCOMPARE(items.size(), kItems);
        else if (pipe == QLatin1String("small"))
            QVERIFY2(items.size() > 0 && bytes <= 2 * 4096, qPrintable(QString::number(bytes)));
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items.at(i), results->Item(i + 1));
    }
    QCOMPARE(results->Count(), kItems); // and the server still answers
}

void tst_Automation::callerWithoutReferenceIsDenied() {
    TavrinXProxy engine;
    QDBusConnection other =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
    QVERIFY(other.isConnected());
    QDBusMessage call = QDBusMessage::createMethodCall(serverOwner(), engine.objectPath(),
                                                       "TavrinEXE._TavrinX", "Abort");
    QDBusMessage reply = other.call(call);
    QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
    QDBusMessage intro = QDBusMessage::createMethodCall(
        serverOwner(), engine.objectPath(), "org.freedesktop.DBus.Introspectable", "Introspect");
    reply = other.call(intro);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QVERIFY(reply.arguments().value(0).toString().contains("0x68030000"));
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

void tst_Automation::twoClientsSeeOnlyTheirOwnFindings() {
    QProcess helper;
    helper.start(QStringLiteral(AUTOMATION_CLIENT),
                 {QStringLiteral("scan"), mDir.filePath(QStringLiteral("b")), "beta"});
    QVERIFY(helper.waitForStarted());
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("a")));
    engine.setSearchString(QStringLiteral("alpha"));
    QSignalSpy started(&engine, &TavrinXProxy::ScanStarted);
    runScan(engine);
    QCOMPARE(started.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(helper.state(), QProcess::NotRunning, 15000);
    const QStringList lines =
        QString::fromLocal8Bit(helper.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.count(QStringLiteral("started")), 1);
    QCOMPARE(lines.last(), QStringLiteral("done"));
    QCOMPARE(lines.filter(QStringLiteral("record ")).size(), 2);
    QCOMPARE(lines.filter(QStringLiteral("alpha")).size(), 0);
    QCOMPARE(engine.ResultsFound()->Count(), 3);
}

void tst_Automation::killedClientIsDroppedAndServerServesOthers() {
    TavrinXProxy mine;
    QProcess helper;
    helper.start(QStringLiteral(AUTOMATION_CLIENT),
                 {QStringLiteral("hang"), mDir.filePath(QStringLiteral("a")), "alpha"});
    QVERIFY(helper.waitForStarted());
    // The engine now waits for the helper's ScanStarted handler, which never returns.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += helper.readAllStandardOutput()).contains("started"), 10000);
    const QByteArray path = output.mid(5, output.indexOf('\n') - 5);
    QVERIFY(path.startsWith("/TavrinEXE/TavrinX/"));
    helper.kill();
    QVERIFY(helper.waitForFinished());
    // Its references went with its connection: the object is no longer served.
    QTRY_COMPARE_WITH_TIMEOUT(
        rawCall(QString::fromLatin1(path), "org.freedesktop.DBus.Introspectable", "Introspect", {})
            .errorName(),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"), 10000);
    // The other engine's scan goes on to its end, then the object is gone.
    mine.setSearchPath(mDir.filePath(QStringLiteral("a")));
    mine.setSearchString(QStringLiteral("alpha"));
    runScan(mine);
    QCOMPARE(mine.SearchCount(), 3);
}

void tst_Automation::serverEndsWhenLastEngineIsGone() {
    QString owner;
    {
        TavrinXProxy engine;
        owner = serverOwner();
        QVERIFY(!owner.isEmpty());
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDBusConnection::sessionBus().interface()->isServiceRegistered(owner).value(), 5000);
}

void tst_Automation::serverKilledFailsCallsPromptly() {
    TavrinXProxy engine;
    engine.setSearchPath(mDir.filePath(QStringLiteral("big")));
    engine.setSearchString(QStringLiteral("alpha"));
    const auto results = engine.ResultsFound();
    const uint pid = QDBusConnection::sessionBus().interface()->servicePid(serverOwner()).value();
    QVERIFY(pid > 0);
    QSignalSpy started(&engine, &TavrinXProxy::ScanStarted);
    engine.Grep();
    QVERIFY(!started.isEmpty() || started.wait(10000)); // it may come while the call waits
    QVERIFY(::kill(pid, SIGKILL) == 0);
    QElapsedTimer timer;
    timer.start();
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            engine.SearchActive();
            QFAIL("a call on a dead server succeeded");
        } catch (const Tavrin::PlatformError &e) {
            QCOMPARE(e.number(), int(Tavrin::PlatformError::ServerUnavailable));
        }
    }
    try {
        results->Count();
        QFAIL("a collection call on a dead server succeeded");
    } catch (const Tavrin::PlatformError &e) {
        QCOMPARE(e.number(), int(Tavrin::PlatformError::ServerUnavailable));
    }
    QVERIFY(timer.elapsed() < 5000);
}

QTEST_GUILESS_MAIN(tst_Automation)
#include "tst_automation.moc"
