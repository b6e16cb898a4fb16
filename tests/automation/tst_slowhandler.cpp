#include "TavrinXProxy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace TavrinEXE;

// An event handler may take longer than the bus's default reply time; the engine waits.
class tst_SlowHandler : public QObject {
    Q_OBJECT
private slots:
    void engineWaitsForAHandlerBeyondDefaultTimeout();
};

void tst_SlowHandler::engineWaitsForAHandlerBeyondDefaultTimeout() {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("one.txt")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("needle\n");
    f.close();
    TavrinXProxy engine;
    engine.setSearchPath(dir.path());
    engine.setSearchString(QStringLiteral("needle"));
    int countAfterHandler = -1;
    connect(&engine, &TavrinXProxy::ScanStarted, [&] {
        QThread::sleep(26); // past the 25 s default reply timeout
        countAfterHandler = engine.FoundFiles()->Count();
    });
    QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
    engine.Grep();
    QVERIFY(!completed.isEmpty() || completed.wait(60000)); // it may come while the call waits
    QCOMPARE(countAfterHandler, 0); // the scan had not gone on without the handler
    QCOMPARE(engine.SearchCount(), 1);
}

QTEST_GUILESS_MAIN(tst_SlowHandler)
#include "tst_slowhandler.moc"
