#include "EngineObject.h"
#include "TavrinXProxy.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace TavrinEXE;

// An event handler may take as long as it likes; the engine waits for it.
class tst_SlowHandler : public QObject {
    Q_OBJECT
private slots:
    void engineWaitsForASlowHandler();
};

void tst_SlowHandler::engineWaitsForASlowHandler() {
    // The bus gives up on a reply after 25 s unless the call says otherwise.
    QVERIFY(EngineObject::kHandlerReplyTimeout > 25000);

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
        QThread::msleep(1500);
        countAfterHandler = engine.FoundFiles()->Count();
    });
    QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
    engine.Grep();
    QVERIFY(!completed.isEmpty() || completed.wait(20000)); // it may come while the call waits
    QCOMPARE(countAfterHandler, 0); // the scan had not gone on without the handler
    QCOMPARE(engine.SearchCount(), 1);
}

QTEST_GUILESS_MAIN(tst_SlowHandler)
#include "tst_slowhandler.moc"
