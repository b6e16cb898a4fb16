#include "BusTestHelpers.h"
#include "TavrinXProxy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {
// The bounds a request and an Abort are held to; a sanitizer slows every thread several times.
constexpr qint64 kReadMs = BusTest::kSanitized ? 200 : 50;
constexpr qint64 kAbortMs = BusTest::kSanitized ? 400 : 100;
} // namespace

using namespace TavrinEXE;
using namespace BusTest;

// Patterns whose matching takes long on some lines: the engine that matches them still answers
// within a few milliseconds, stops at once when aborted, and other clients never notice.
class tst_DeafPattern : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void engineAnswersWhileMatching_data();
    void engineAnswersWhileMatching();

private:
    QTemporaryDir mDir;
};

void tst_DeafPattern::initTestCase() {
    QVERIFY(mDir.isValid());
    QDir(mDir.path()).mkpath(QStringLiteral("other"));
    writeFile(mDir.filePath(QStringLiteral("other/one.txt")), "alpha\nbeta alpha\n");
}

void tst_DeafPattern::engineAnswersWhileMatching_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("deaf");
    QTest::addColumn<int>("copies");      // of the deaf file
    QTest::addColumn<int>("filesBefore"); // so that the helper searching ahead gets there first
    QTest::addColumn<bool>("toTheEnd");   // else aborted
    const QByteArray longLine(256 * 1024, 'a');
    QTest::newRow("lookahead on a 256 KiB line, to the end")
        << "(?=a*[XY])" << longLine << 1 << 0 << true;
    QTest::newRow("lookahead on 256 KiB lines, aborted")
        << "(?=a*[XY])" << longLine << 12 << 0 << false;
    QTest::newRow("lines just under the step limit")
        << "(a+)+$" << QByteArray("aaaaaaaaaaaaaaaaaaab\n").repeated(2000) << 1 << 0 << false;
    QTest::newRow("long lines reached by the helper")
        << "(?=a*[XY])" << longLine << 12 << 6 << false;
}

void tst_DeafPattern::engineAnswersWhileMatching() {
    QFETCH(QString, pattern);
    QFETCH(QByteArray, deaf);
    QFETCH(int, copies);
    QFETCH(int, filesBefore);
    QFETCH(bool, toTheEnd);
    const QString folder = mDir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QDir().mkpath(folder);
    for (int i = 0; i < filesBefore; ++i)
        writeFile(QStringLiteral("%1/0%2.txt").arg(folder).arg(i),
                  QByteArray("nothing to see here\n").repeated(20000));
    for (int i = 0; i < copies; ++i)
        writeFile(QStringLiteral("%1/5deaf%2.txt").arg(folder).arg(i, 2, 10, QChar(u'0')), deaf);
    writeFile(folder + QStringLiteral("/9after.txt"), "aX\na\n");

    TavrinXProxy engine;
    engine.setSearchPath(folder);
    engine.setSearchString(pattern);
    engine.setUseRegularExpression(Tavrin::vbTrue);
    QStringList errors;
    connect(&engine, &TavrinXProxy::OnError, [&](qint32 &code, QString &text) {
        errors << QStringLiteral("%1 %2").arg(code).arg(text);
    });
    QSignalSpy completed(&engine, &TavrinXProxy::ScanCompleted);
    engine.Grep();

    QProcess other;
    QElapsedTimer otherTime;
    otherTime.start();
    other.start(
        QStringLiteral(AUTOMATION_CLIENT),
        {QStringLiteral("scan"), mDir.filePath(QStringLiteral("other")), QStringLiteral("alpha")});

    // Property reads while the deaf file is searched. The machine may be busy with other work:
    // a few reads may be late, none by far (a deaf engine kept them waiting for seconds).
    QElapsedTimer watch;
    watch.start();
    QList<qint64> reads;
    while (watch.elapsed() < 1500 && completed.isEmpty()) {
        QElapsedTimer read;
        read.start();
        engine.FilesSearched();
        reads << read.elapsed();
        QTest::qWait(5);
    }
    QVERIFY2(reads.size() > 50, qPrintable(errors.join(u'\n')));
    std::sort(reads.begin(), reads.end());
    const qint64 p95 = reads.at(reads.size() * 95 / 100);
    QVERIFY2(p95 < kReadMs && reads.last() < 1000,
             qPrintable(QStringLiteral("reads: 95% within %1 ms, the slowest %2 ms")
                            .arg(p95)
                            .arg(reads.last())));

    if (toTheEnd) {
        // The line's matching passes its limits: an error for the file, and the scan goes on.
        QVERIFY(!completed.isEmpty() || completed.wait(20000));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.at(0).startsWith(QStringLiteral("-100 ") + folder + "/5deaf00.txt: "),
                 qPrintable(errors.at(0)));
        QCOMPARE(engine.SearchCount(), 1);
        QCOMPARE(engine.FoundFiles()->Item(1).toString(), folder + "/9after.txt");
    } else {
        QVERIFY(completed.isEmpty());
        QElapsedTimer abort;
        abort.start();
        engine.Abort();
        while (engine.SearchActive() != Tavrin::vbFalse && abort.elapsed() < 5000)
            QTest::qWait(2);
        QVERIFY2(
            abort.elapsed() < kAbortMs,
            qPrintable(QStringLiteral("the scan ended %1 ms after Abort").arg(abort.elapsed())));
    }

    // The other client's search ran meanwhile, as quickly as ever.
    const bool otherDone = other.state() == QProcess::NotRunning || other.waitForFinished(10000);
    const QByteArray output = other.readAllStandardOutput();
    QVERIFY2(otherDone, output.constData());
    QVERIFY2(output.endsWith("done\n") && output.count("record ") == 2, output.constData());
    QVERIFY2(otherTime.elapsed() < 5000, qPrintable(QString::number(otherTime.elapsed())));
}

QTEST_GUILESS_MAIN(tst_DeafPattern)
#include "tst_deafpattern.moc"
