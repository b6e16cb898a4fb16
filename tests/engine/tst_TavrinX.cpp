#include "DoEvents.h"
#include "EngineRun.h"
#include "GetTickCount.h"
#include "PlatformError.h"

#include <QTemporaryDir>
#include <QtTest>

using TavrinEXE::TavrinX;

class tst_TavrinX : public QObject {
    Q_OBJECT
private slots:
    void init() { setTickCountSource({}); }
    void cleanup() { setTickCountSource({}); }

    void newEngineHoldsCreationValues();
    void grepRefusesInFixedOrder_data();
    void grepRefusesInFixedOrder();
    void secondGrepIsRefusedAndFirstSearchRuns();
    void searchExtIsStoredLowerCased();
    void booleanVariantsConvertOrLeaveValue_data();
    void booleanVariantsConvertOrLeaveValue();
    void handlerInsideScanCompletedSeesActiveEngine();
    void searchTimeHoldsStartThenDuration_data();
    void searchTimeHoldsStartThenDuration();
    void abortWhileArmedEndsWithoutCompletion();
    void abortWhileIdleDoesNotStopNextSearch();
    void collectionReferencesKeepEarlierFindings();
    void assignedCollectionReceivesFindings();
    void releasedEngineLivesUntilScanEnds();
    void tickDueWhileScanYieldsStartsNoSecondScan();
    void enginesInOneThreadSearchIndependently();

private:
    QTemporaryDir mDir;
    QString folderWithHits() {
        writeTree(mDir.path(), {{"a.txt", "hit\nmiss\nhit again\n"}, {"s/b.txt", "hit\n"}});
        return mDir.path();
    }
};

void tst_TavrinX::newEngineHoldsCreationValues() {
    auto e = TavrinX::create();
    QCOMPARE(e->SearchPath(), QString());
    QCOMPARE(e->SearchExt(), QStringLiteral("*.*"));
    QCOMPARE(e->SearchString(), QStringLiteral("DefaultSearchString"));
    QCOMPARE(e->CaseSensitive(), Tavrin::vbFalse);
    QCOMPARE(e->WholeWordOnly(), QVariant(false));
    QCOMPARE(e->LookInSubfolders(), QVariant(true));
    QCOMPARE(e->SearchCount(), 0);
    QCOMPARE(e->SearchTime(), 0);
    QCOMPARE(e->SearchActive(), Tavrin::vbFalse);
    QVERIFY(e->FoundFiles() && e->FoundFiles() == e->mclnFileNames());
    QVERIFY(e->ResultsFound() && e->ResultsFound() == e->mclnResults());
    QVERIFY(e->FoundFiles() != e->FoundLines());
    QCOMPARE(e->FoundText()->Count(), 0);
}

void tst_TavrinX::grepRefusesInFixedOrder_data() {
    QTest::addColumn<QString>("searchString");
    QTest::addColumn<QString>("searchPath"); // "@" stands for the test folder
    QTest::addColumn<QString>("searchExt");
    QTest::addColumn<QString>("expected"); // the one event of Grep, "" when it arms

    QTest::newRow("new engine: path") << "DefaultSearchString"
                                      << ""
                                      << "*.*"
                                      << "OnError -11 Invalid Search Path";
    QTest::newRow("string before path") << ""
                                        << ""
                                        << ""
                                        << "OnError -10 Invalid Search String";
    QTest::newRow("missing path") << "x"
                                  << "@/nothing"
                                  << ""
                                  << "OnError -11 Invalid Search Path";
    QTest::newRow("path before type") << "x"
                                      << ""
                                      << ""
                                      << "OnError -11 Invalid Search Path";
    QTest::newRow("empty type") << "x"
                                << "@"
                                << ""
                                << "OnError -12 Invalid Search File Type";
    QTest::newRow("folder") << "x"
                            << "@"
                            << "*.txt"
                            << "";
    QTest::newRow("file passes lookup") << "x"
                                        << "@/a.txt"
                                        << "*.*"
                                        << "";
    QTest::newRow("wildcard matching") << "x"
                                       << "@/?.t*"
                                       << "*.*"
                                       << "";
    QTest::newRow("wildcard not matching") << "x"
                                           << "@/*.zip"
                                           << "*.*"
                                           << "OnError -11 Invalid Search Path";
    // Relative paths name entries of the working folder here, which is not the caller's.
    QTest::newRow("relative: dot") << "x"
                                   << "."
                                   << "*.*"
                                   << "OnError -11 Invalid Search Path";
    QTest::newRow("relative: subfolder") << "x"
                                         << "s"
                                         << "*.*"
                                         << "OnError -11 Invalid Search Path";
    QTest::newRow("relative: wildcard") << "x"
                                        << "*.txt"
                                        << "*.*"
                                        << "OnError -11 Invalid Search Path";
}

void tst_TavrinX::grepRefusesInFixedOrder() {
    QFETCH(QString, searchString);
    QFETCH(QString, searchPath);
    QFETCH(QString, searchExt);
    QFETCH(QString, expected);
    const QString root = folderWithHits();
    QVERIFY(QDir::setCurrent(root));
    EngineRun run;
    run.engine->setSearchString(searchString);
    run.engine->setSearchPath(searchPath.replace(u'@', root));
    run.engine->setSearchExt(searchExt);
    run.engine->Grep();
    if (expected.isEmpty()) {
        QVERIFY(run.events.isEmpty());
        QCOMPARE(run.engine->SearchActive(), Tavrin::vbTrue);
        QVERIFY(run.waitIdle());
    } else {
        QCOMPARE(run.events, QStringList{expected}); // raised before Grep returned
        QCOMPARE(run.engine->SearchActive(), Tavrin::vbFalse);
        QCOMPARE(run.engine->SearchTime(), 0);
    }
}

void tst_TavrinX::secondGrepIsRefusedAndFirstSearchRuns() {
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("hit");
    run.engine->Grep();
    run.engine->Grep();
    QCOMPARE(run.events,
             QStringList{"OnError -101 Search is in process, abort current search first."});
    QVERIFY(run.waitIdle());
    QCOMPARE(run.events.mid(1), (QStringList{"ScanStarted", "ScanCompleted"}));
    QCOMPARE(run.engine->SearchCount(), 3);
}

void tst_TavrinX::searchExtIsStoredLowerCased() {
    auto e = TavrinX::create();
    e->setSearchExt("*.TXT;*.Bas");
    QCOMPARE(e->SearchExt(), QStringLiteral("*.txt;*.bas"));
    e->setSearchPath("/Mixed/Case");
    QCOMPARE(e->SearchPath(), QStringLiteral("/Mixed/Case"));
}

void tst_TavrinX::booleanVariantsConvertOrLeaveValue_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<bool>("expected");
    QTest::newRow("bool") << QVariant(true) << true << true;
    QTest::newRow("text any case") << QVariant("fALSE") << true << false;
    QTest::newRow("number") << QVariant(7) << true << true;
    QTest::newRow("numeric text") << QVariant("0") << true << false;
    QTest::newRow("other text") << QVariant("maybe") << false << false;
}

void tst_TavrinX::booleanVariantsConvertOrLeaveValue() {
    QFETCH(QVariant, value);
    QFETCH(bool, converts);
    QFETCH(bool, expected);
    auto e = TavrinX::create();
    e->setWholeWordOnly(QVariant(false));
    e->setLookInSubfolders(QVariant(true));
    if (!converts) {
        QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, e->setWholeWordOnly(value));
        QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, e->setLookInSubfolders(value));
        QCOMPARE(e->WholeWordOnly(), QVariant(false));
        QCOMPARE(e->LookInSubfolders(), QVariant(true));
        return;
    }
    e->setWholeWordOnly(value);
    e->setLookInSubfolders(value);
    QCOMPARE(e->WholeWordOnly(), QVariant(expected));
    QCOMPARE(e->LookInSubfolders(), QVariant(expected));
    QCOMPARE(e->WholeWordOnly().typeId(), QMetaType::Bool);
}

void tst_TavrinX::handlerInsideScanCompletedSeesActiveEngine() {
    EngineRun run;
    TavrinX *e = run.engine.get();
    Tavrin::VBool activeInside = Tavrin::vbFalse;
    qint32 countInside = -1;
    connect(e, &TavrinX::ScanCompleted, e, [&] {
        activeInside = e->SearchActive();
        countInside = e->SearchCount();
        e->Grep(); // refused: the engine is idle only once this handler has returned
    });
    e->setSearchPath(folderWithHits());
    e->setSearchString("hit");
    e->Grep();
    QVERIFY(run.waitIdle());
    QCOMPARE(activeInside, Tavrin::vbTrue);
    QCOMPARE(countInside, 3);
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted",
                                      "OnError -101 Search is in process, abort current "
                                      "search first."}));
}

void tst_TavrinX::searchTimeHoldsStartThenDuration_data() {
    QTest::addColumn<qint32>("start");
    QTest::addColumn<qint32>("end");
    QTest::addColumn<qint32>("duration");
    QTest::newRow("plain") << 1000 << 1250 << 250;
    QTest::newRow("across sign boundary") << qint32(0x7FFFFFF0) << qint32(0x80000010) << 32;
    QTest::newRow("across wrap") << qint32(-5) << qint32(10) << 15;
}

void tst_TavrinX::searchTimeHoldsStartThenDuration() {
    QFETCH(qint32, start);
    QFETCH(qint32, end);
    QFETCH(qint32, duration);
    qint32 now = start;
    setTickCountSource([&] { return now; });
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    connect(run.engine.get(), &TavrinX::ScanStarted, run.engine.get(), [&] {
        QCOMPARE(run.engine->SearchTime(), start); // still the start reading while scanning
        now = end;
    });
    run.engine->Grep();
    QCOMPARE(run.engine->SearchTime(), start);
    QVERIFY(run.waitIdle());
    QCOMPARE(run.engine->SearchTime(), duration);
}

void tst_TavrinX::abortWhileArmedEndsWithoutCompletion() {
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("hit");
    run.engine->Grep();
    run.engine->Abort();
    QCOMPARE(run.engine->SearchActive(), Tavrin::vbTrue);
    QVERIFY(run.waitIdle());
    QCOMPARE(run.events, QStringList{"ScanStarted"});
    QCOMPARE(run.engine->SearchCount(), 0);
    QCOMPARE(run.engine->FoundFiles()->Count(), 0);
}

void tst_TavrinX::abortWhileIdleDoesNotStopNextSearch() {
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("hit");
    run.engine->Abort();
    run.engine->Grep();
    QVERIFY(run.waitIdle());
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
    QCOMPARE(run.engine->SearchCount(), 3);
}

void tst_TavrinX::collectionReferencesKeepEarlierFindings() {
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("hit");
    run.engine->Grep();
    QVERIFY(run.waitIdle());
    const auto earlier = run.engine->FoundFiles();
    const auto earlierRecords = run.engine->ResultsFound();
    run.engine->setSearchString("again");
    run.engine->Grep();
    QVERIFY(run.waitIdle());
    QCOMPARE(earlier->Count(), 3);
    QCOMPARE(run.engine->FoundFiles()->Count(), 1);
    QVERIFY(run.engine->FoundFiles() != earlier);
    QCOMPARE(earlierRecords->Item(2).toString(),
             mDir.path() + QStringLiteral("/a.txt\t3\t1\thit again"));
    QCOMPARE(run.engine->ResultsFound()->Item(1).toString(),
             mDir.path() + QStringLiteral("/a.txt\t3\t5\thit again"));
}

void tst_TavrinX::assignedCollectionReceivesFindings() {
    EngineRun run;
    auto mine = std::make_shared<Collection>();
    mine->Add(QStringLiteral("kept"));
    connect(run.engine.get(), &TavrinX::ScanStarted, run.engine.get(),
            [&] { run.engine->setMclnItemsFound(mine); });
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("again");
    run.engine->Grep();
    QVERIFY(run.waitIdle());
    QCOMPARE(run.engine->FoundText(), mine);
    QCOMPARE(mine->Count(), 2);
    QCOMPARE(mine->Item(2).toString(), QStringLiteral("hit again"));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, run.engine->setMclnLines(nullptr));
}

void tst_TavrinX::releasedEngineLivesUntilScanEnds() {
    auto engine = TavrinX::create();
    std::weak_ptr<TavrinX> watch = engine;
    bool completed = false;
    connect(engine.get(), &TavrinX::ScanStarted, engine.get(), [&] { engine.reset(); });
    connect(engine.get(), &TavrinX::ScanCompleted, engine.get(), [&] {
        completed = true;
        QVERIFY(!watch.expired());
    });
    engine->setSearchPath(folderWithHits());
    engine->Grep();
    QTRY_VERIFY(completed);
    QTRY_VERIFY(watch.expired());
}

void tst_TavrinX::tickDueWhileScanYieldsStartsNoSecondScan() {
    EngineRun run;
    run.engine->setSearchPath(folderWithHits());
    run.engine->setSearchString("hit");
    setDoEventsInterval(0);
    setDoEventsHook([] { QTest::qSleep(2); }); // the 1 ms timer is due at every yield
    run.engine->Grep();
    const bool idle = run.waitIdle();
    setDoEventsHook({});
    setDoEventsInterval(500);
    QVERIFY(idle);
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
    QCOMPARE(run.engine->SearchCount(), 3);
}

void tst_TavrinX::enginesInOneThreadSearchIndependently() {
    const QString root = folderWithHits();
    EngineRun first, second;
    first.engine->setSearchPath(root);
    first.engine->setSearchString("again");
    second.engine->setSearchPath(root + "/s");
    second.engine->setSearchString("hit");
    first.engine->Grep();
    second.engine->Grep();
    QVERIFY(first.waitIdle() && second.waitIdle());
    QCOMPARE(first.findings(root), QStringList{"a.txt:3:5:hit again"});
    QCOMPARE(second.findings(root), QStringList{"s/b.txt:1:1:hit"});
    QCOMPARE(first.events, (QStringList{"ScanStarted", "ScanCompleted"}));
    QCOMPARE(second.events, (QStringList{"ScanStarted", "ScanCompleted"}));
}

QTEST_GUILESS_MAIN(tst_TavrinX)
#include "tst_TavrinX.moc"
