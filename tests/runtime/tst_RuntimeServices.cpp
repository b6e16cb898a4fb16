#include "Dir.h"
#include "DoEvents.h"
#include "GetTickCount.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class tst_RuntimeServices : public QObject {
    Q_OBJECT
private slots:
    void tickSpanIsTrueAcrossWrap_data();
    void tickSpanIsTrueAcrossWrap();
    void tickCountIsMonotonic();
    void dirFindsEntriesAndWildcardMatches_data();
    void dirFindsEntriesAndWildcardMatches();
    void doEventsServesPendingEventsOncePerInterval();
};

void tst_RuntimeServices::tickSpanIsTrueAcrossWrap_data() {
    QTest::addColumn<qint32>("start");
    QTest::addColumn<qint32>("end");
    QTest::addColumn<qint32>("span");
    QTest::newRow("same") << 5 << 5 << 0;
    QTest::newRow("forward") << -100 << 100 << 200;
    QTest::newRow("sign boundary") << qint32(0x7FFFFFFF) << qint32(0x80000000) << 1;
    QTest::newRow("unsigned wrap") << qint32(0xFFFFFFFF) << 0 << 1;
    QTest::newRow("more than 2^31 ms") << 0 << qint32(0x80000005) << qint32(0x7FFFFFFF);
}

void tst_RuntimeServices::tickSpanIsTrueAcrossWrap() {
    QFETCH(qint32, start);
    QFETCH(qint32, end);
    QFETCH(qint32, span);
    QCOMPARE(TickSpan(start, end), span);
}

void tst_RuntimeServices::tickCountIsMonotonic() {
    const qint32 a = GetTickCount();
    QTest::qSleep(20);
    const qint32 span = TickSpan(a, GetTickCount());
    QVERIFY(span >= 19 && span < 5000);
    setTickCountSource([] { return qint32(-3); });
    QCOMPARE(GetTickCount(), -3);
    setTickCountSource({});
}

void tst_RuntimeServices::dirFindsEntriesAndWildcardMatches_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<QString>("found");
    QTest::newRow("file") << "@/a.txt" << vbDirectory << "a.txt";
    QTest::newRow("folder") << "@/sub" << vbDirectory << "sub";
    QTest::newRow("folder without attribute") << "@/sub" << vbNormal << "";
    QTest::newRow("folder with slash") << "@/sub/" << vbDirectory << "@/sub/";
    QTest::newRow("missing") << "@/nope" << vbDirectory << "";
    QTest::newRow("below a file") << "@/a.txt/x" << vbDirectory << "";
    QTest::newRow("star") << "@/*.txt" << vbDirectory << "a.txt";
    QTest::newRow("question mark on folder") << "@/su?" << vbDirectory << "sub";
    QTest::newRow("no match") << "@/*.zip" << vbDirectory << "";
    QTest::newRow("dot files need a dot") << "@/*rc" << vbDirectory << "";
    QTest::newRow("dot file") << "@/.*rc" << vbDirectory << ".bashrc";
    QTest::newRow("bracket is literal") << "@/[ab]*" << vbDirectory << "";
    QTest::newRow("empty") << "" << vbDirectory << "";
}

void tst_RuntimeServices::dirFindsEntriesAndWildcardMatches() {
    QFETCH(QString, path);
    QFETCH(int, attributes);
    QFETCH(QString, found);
    QTemporaryDir dir;
    QFile(dir.filePath("a.txt")).open(QIODevice::WriteOnly);
    QFile(dir.filePath(".bashrc")).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QCOMPARE(Dir(path.replace(u'@', dir.path()), attributes), found.replace(u'@', dir.path()));
}

void tst_RuntimeServices::doEventsServesPendingEventsOncePerInterval() {
    int served = 0;
    const auto post = [&] {
        QMetaObject::invokeMethod(
            this, [&] { ++served; }, Qt::QueuedConnection);
    };
    setDoEventsInterval(0);
    post();
    DoEvents();
    QCOMPARE(served, 1);

    setDoEventsInterval(60 * 1000 * 1000); // a minute: the next yields only read the clock
    DoEvents();
    post();
    int hooked = 0;
    setDoEventsHook([&] { ++hooked; });
    for (int i = 0; i < 1000; ++i)
        DoEvents();
    QCOMPARE(served, 1);
    QCOMPARE(hooked, 1000);
    setDoEventsInterval(0);
    DoEvents();
    QCOMPARE(served, 2);
    setDoEventsHook({});
    setDoEventsInterval(500);
}

QTEST_GUILESS_MAIN(tst_RuntimeServices)
#include "tst_RuntimeServices.moc"
