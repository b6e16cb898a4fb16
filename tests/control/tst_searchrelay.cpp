// Whole searches through the control and the real sorvik: refusals, the polling timer, the
// findings delivery in both modes, the status bar, aborts, engine errors and a server that dies;
// a replace and its undo, which take the same road.

#include "ControlFixture.h"
#include "DoEvents.h"
#include "GetTickCount.h"
#include "PlatformError.h"
#include "SearchRelay.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

class tst_SearchRelay : public QObject {
    Q_OBJECT
private slots:
    void durationText_data();
    void durationText();
    void searchWithoutFindingsCompletes();
    void grepDuringSearchIsRefusedAndKeepsTheStartTime();
    void abortThenGrepIsPendingUntilEngineIsIdle();
    void refusedSettingsLeaveOneRowAndNoScanStarted_data();
    void refusedSettingsLeaveOneRowAndNoScanStarted();
    void streamingDeliversBatchesOfAHundred();
    void nonStreamingDeliversEverythingAtTheEnd();
    void manyFindingsIntoAShownGridKeepEveryRowEventAndCell_data();
    void manyFindingsIntoAShownGridKeepEveryRowEventAndCell();
    void unreadableFileRowStaysBelowLaterFindings();
    void abortWhileIdleThenSearchRunsNormally();
    void abortBeforeScanStartsStillCompletes();
    void pathsAndLinesHoldingTabsStayWhole();
    void hostWritesToEventArgumentsChangeNothing();
    void durationIsRightAcrossATickWrap();
    void serverKilledDuringSearchIsReported();
    void hostLettingGoAnywhereLeavesNothingBehind_data();
    void hostLettingGoAnywhereLeavesNothingBehind();
    void replaceKeepsTheFindingsAndEndsWithItsCounts_data();
    void replaceKeepsTheFindingsAndEndsWithItsCounts();

private:
    // A file whose read fails even for root: the kernel refuses to read a process's memory at
    // address 0.
    static void linkUnreadable(ControlFixture &f, const QString &name) {
        QVERIFY(QFile::link("/proc/self/mem", f.tree() + "/" + name));
    }
    static QByteArray lines(int count, const QByteArray &text) {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += text + "\n";
        return out;
    }
};

void tst_SearchRelay::durationText_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("1234") << 1234 << "1.234 (Sec)";
    QTest::newRow("2000") << 2000 << "2 (Sec)";
    QTest::newRow("50") << 50 << "0.05 (Sec)";
    QTest::newRow("0") << 0 << "0 (Sec)";
    QTest::newRow("thousands, no grouping") << 1234500 << "1234.5 (Sec)";
}

void tst_SearchRelay::durationText() {
    QFETCH(int, ms);
    QFETCH(QString, text);
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German)}) {
        QLocale::setDefault(locale);
        QCOMPARE(SearchRelay::durationText(ms), QString(text).replace('.', locale.decimalPoint()));
    }
    QLocale::setDefault(QLocale::c());
}

void tst_SearchRelay::searchWithoutFindingsCompletes() {
    ControlFixture f;
    f.write("a.txt", "nothing to see\n");
    TavrinX *control = f.loadSearching("Relay", "absent");
    EventLog log(control);
    QSignalSpy completed(control, &TavrinX::ScanCompleted);
    QCOMPARE(control->Grep(), QVariant());
    QVERIFY(!completed.isEmpty() || completed.wait(10000)); // it may come while the call waits
    QCOMPARE(log.events, QStringList({"ScanStarted", "ScanCompleted"}));
    QCOMPARE(ControlFixture::panel(control, 1), QString("Hits Found:"));
    QCOMPARE(ControlFixture::panel(control, 2), QString("0"));
    QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Completed Successfully"));
    QVERIFY(ControlFixture::panel(control, 5).endsWith(" (Sec)"));
    QCOMPARE(ControlFixture::grid(control)->Rows(), 1);
    QVERIFY(control->SearchTime() >= 0 && control->SearchTime() < 10000);
    QCOMPARE(control->SearchActive(), Tavrin::vbFalse);
}

void tst_SearchRelay::grepDuringSearchIsRefusedAndKeepsTheStartTime() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    EventLog log(control);
    qint32 fake = 1000;
    setTickCountSource([&fake] { return fake; });
    const auto realClock = qScopeGuard([] { setTickCountSource({}); });
    qint32 timeAtRefusal = 0;
    // The engine waits for this handler: its search is still running while the handler runs.
    connect(control, &TavrinX::ScanStarted, this, [&] {
        QCOMPARE(control->SearchActive(), Tavrin::vbTrue);
        fake += 400;
        control->Grep();
        timeAtRefusal = control->SearchTime();
        fake += 100;
    });
    control->Grep();
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("ScanCompleted"), 10000);
    QCOMPARE(log.events.mid(0, 2),
             QStringList({"ScanStarted",
                          "OnError -101 Search is in process, abort current search first."}));
    QCOMPARE(timeAtRefusal, 1000); // still the reading taken by the running search's Grep
    QCOMPARE(control->SearchTime(), 500);
    QCOMPARE(control->SearchCount(), 1);
    QCOMPARE(ControlFixture::grid(control)->Rows(), 2);
}

void tst_SearchRelay::abortThenGrepIsPendingUntilEngineIsIdle() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    EventLog log(control);
    bool once = true;
    connect(control, &TavrinX::ScanStarted, this, [&] {
        if (!once)
            return;
        once = false;
        control->Abort();
        QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Aborted"));
        QVERIFY(ControlFixture::panel(control, 5).endsWith(" (Sec)"));
        control->Grep();
    });
    control->Grep();
    QTRY_COMPARE_WITH_TIMEOUT(control->SearchActive(), Tavrin::vbFalse, 10000);
    QCOMPARE(log.events,
             QStringList(
                 {"ScanStarted", "OnError -102 Search abort is still pending, please try again."}));
    // Once the engine is idle a Grep is accepted and the flag is cleared.
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(control->SearchCount(), 1);
}

void tst_SearchRelay::refusedSettingsLeaveOneRowAndNoScanStarted_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<QString>("message");
    QTest::newRow("no folder") << ""
                               << "needle" << false << "-11 Invalid Search Path";
    QTest::newRow("missing folder") << "missing"
                                    << "needle" << false << "-11 Invalid Search Path";
    QTest::newRow("bad pattern") << "."
                                 << "TODO(x" << true << "-13 Invalid Regular Expression";
}

void tst_SearchRelay::refusedSettingsLeaveOneRowAndNoScanStarted() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(bool, regex);
    QFETCH(QString, message);
    ControlFixture f;
    f.write("a.txt", "needle\nneedle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(ControlFixture::panel(control, 2), QString("2"));

    EventLog log(control);
    control->setSearchPath(path.isEmpty() ? path : QDir(f.tree()).filePath(path));
    control->setSearchString(text);
    control->setUseRegularExpression(Tavrin::toVBool(regex));
    control->Grep();
    // Reported before Grep returned.
    QCOMPARE(log.events.size(), 1);
    QVERIFY2(log.events.at(0).startsWith("OnError " + message), qPrintable(log.events.at(0)));
    auto *grid = ControlFixture::grid(control);
    QCOMPARE(grid->Rows(), 2);
    QCOMPARE(grid->TextMatrix(1, 0), log.events.at(0).section(' ', 2));
    QCOMPARE(grid->TextMatrix(1, 1), QString());
    QCOMPARE(control->SearchCount(), 0);
    // The panels no longer speak of the earlier search, whose findings have gone.
    QCOMPARE(ControlFixture::panel(control, 2), QString());
    QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Refused"));
    QCOMPARE(ControlFixture::panel(control, 5), QString());
    QTest::qWait(100);
    QCOMPARE(log.events.size(), 1);
}

void tst_SearchRelay::streamingDeliversBatchesOfAHundred() {
    // The engine waits in its OnError for the unreadable file, all 250 findings made. Only then
    // is streaming turned on: the control's timer delivers them meanwhile, a batch a tick. When
    // the event comes while a tick itself waits on the engine, no tick runs until the handler
    // returns (a timer does not fire inside its own slot): that search is made again.
    for (int attempt = 1;; ++attempt) {
        ControlFixture f;
        f.write("a.txt", lines(250, "a needle"));
        linkUnreadable(f, "b.txt");
        TavrinX *control = f.loadSearching("Relay", "needle");
        control->setStreamFindings(Tavrin::vbFalse);
        QList<int> indexes;
        QStringList panelAtBatchStart;
        QList<int> sizesSeen;
        bool ticked = true;
        connect(control, &TavrinX::OnFileFound, this,
                [&](qint32 &index, QString &, qint32 &line, qint32 &, QString &) {
                    QCOMPARE(line, index);
                    if (index % 25 == 1 && index > 1)
                        panelAtBatchStart << ControlFixture::panel(control, 2);
                    indexes << index;
                });
        connect(control, &TavrinX::OnError, this, [&](qint32 &, QString &) {
            QElapsedTimer waited;
            waited.start();
            control->setStreamFindings(Tavrin::vbTrue);
            while (indexes.size() < 250 && waited.elapsed() < 5000) {
                QTest::qWait(1);
                if (indexes.isEmpty() && waited.elapsed() > 2000) {
                    ticked = false;
                    break;
                }
                if (sizesSeen.isEmpty() || sizesSeen.last() != indexes.size())
                    sizesSeen << indexes.size();
            }
        });
        QVERIFY(ControlFixture::grepToEnd(control));
        if (!ticked && attempt < 3)
            continue;
        sizesSeen.removeAll(0);
        QCOMPARE(sizesSeen, QList<int>({100, 200, 250}));
        QCOMPARE(panelAtBatchStart.mid(0, 4), QStringList({"25", "50", "75", "100"}));
        QCOMPARE(indexes.size(), 250);
        for (int i = 0; i < indexes.size(); ++i)
            QCOMPARE(indexes.at(i), i + 1);
        QCOMPARE(ControlFixture::panel(control, 2), QString("250"));
        QCOMPARE(control->SearchCount(), 250);
        QCOMPARE(ControlFixture::grid(control)->Rows(), 252); // header, findings, the error row
        return;
    }
}

void tst_SearchRelay::nonStreamingDeliversEverythingAtTheEnd() {
    ControlFixture f;
    f.write("a.txt", lines(30, "needle"));
    linkUnreadable(f, "b.txt");
    f.write("c.txt", "needle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    control->setStreamFindings(Tavrin::vbFalse);
    EventLog log(control);
    connect(control, &TavrinX::OnError, this, [&](qint32 &, QString &) { QTest::qWait(200); });
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(log.events.size(), 1 + 1 + 31 + 1);
    QCOMPARE(log.events.at(0), QString("ScanStarted"));
    QVERIFY(log.events.at(1).startsWith("OnError -100 "));
    QCOMPARE(log.events.at(2), QString("OnFileFound 1 a.txt:1:1:needle"));
    QCOMPARE(log.events.at(32), QString("OnFileFound 31 c.txt:1:1:needle"));
    QCOMPARE(log.events.last(), QString("ScanCompleted"));
}

void tst_SearchRelay::manyFindingsIntoAShownGridKeepEveryRowEventAndCell_data() {
    QTest::addColumn<bool>("stream");
    QTest::newRow("streamed") << true;
    QTest::newRow("at the end") << false;
}

void tst_SearchRelay::manyFindingsIntoAShownGridKeepEveryRowEventAndCell() {
    // A shown grid repaints on its own schedule while findings pour in; none of that may drop,
    // repeat or reorder a row, an event or a count, nor shorten what the cells hold.
    QFETCH(bool, stream);
    ControlFixture f;
    constexpr int kFiles = 4;
    constexpr int kPerFile = 1500;
    const QString folder = QStringLiteral("a folder whose name is long enough to be elided/sub");
    QStringList paths;
    for (int n = 0; n < kFiles; ++n) {
        QByteArray text;
        for (int i = 1; i <= kPerFile; ++i)
            text += QByteArray(i % 7, ' ') + "needle " + QByteArray::number(n * kPerFile + i) +
                    "\tafter a tab\n";
        paths << f.write(folder + QStringLiteral("/file%1.txt").arg(n), text);
    }
    TavrinX *control = f.loadSearching("Relay", "needle");
    control->setLookInSubfolders(true);
    control->setStreamFindings(stream ? Tavrin::vbTrue : Tavrin::vbFalse);
    control->resize(600, 300);
    f.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form()));

    QStringList events;
    QStringList wrongCount;
    connect(control, &TavrinX::OnFileFound, this,
            [&](qint32 &index, QString &file, qint32 &line, qint32 &column, QString &found) {
                events << QStringLiteral("%1 %2:%3:%4:%5")
                              .arg(index)
                              .arg(file)
                              .arg(line)
                              .arg(column)
                              .arg(found);
                // Panel 2 shows the count of the last yield: at most 24 behind.
                const int shown = ControlFixture::panel(control, 2).toInt();
                if (shown > index - 1 || shown < (index - 1) / 25 * 25)
                    wrongCount << QStringLiteral("%1 at %2").arg(shown).arg(index);
            });
    QVERIFY(ControlFixture::grepToEnd(control));

    constexpr int kFindings = kFiles * kPerFile;
    QCOMPARE(wrongCount, QStringList());
    QCOMPARE(events.size(), kFindings);
    QCOMPARE(control->SearchCount(), kFindings);
    QCOMPARE(ControlFixture::panel(control, 2), QString::number(kFindings));
    auto *grid = ControlFixture::grid(control);
    QCOMPARE(grid->Rows(), kFindings + 1);
    for (int i = 1; i <= kFindings; ++i) {
        const int n = (i - 1) / kPerFile;
        const int line = (i - 1) % kPerFile + 1;
        const QString found =
            QString(line % 7, ' ') + QStringLiteral("needle %1\tafter a tab").arg(i);
        const QStringList cells{paths.at(n), QString::number(line), QString::number(line % 7 + 1),
                                found};
        QCOMPARE(events.at(i - 1), QStringLiteral("%1 %2").arg(i).arg(cells.join(':')));
        for (int c = 0; c < 4; ++c) {
            qint32 row = i, column = c;
            QCOMPARE(control->GetDataMatrix(row, column), cells.at(c));
        }
    }
    // The view elides the paths; the cells, the tooltip and the export keep them whole.
    QVERIFY(grid->columnWidth(0) < grid->fontMetrics().horizontalAdvance(paths.first()));
    QCOMPARE(grid->model()->index(0, 0).data(Qt::ToolTipRole).toString(), paths.first());
    QString exportFile = f.tree() + QStringLiteral("/export.tsv");
    QCOMPARE(control->SaveDataToTabFile(exportFile), Tavrin::vbTrue);
    QFile exported(exportFile);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = exported.readAll().split('\n');
    QCOMPARE(lines.size(), kFindings + 2); // the header, the findings, nothing after the last CR LF
    QCOMPARE(lines.at(kFindings),
             (paths.last() + QStringLiteral("\t%1\t%2\t").arg(kPerFile).arg(kPerFile % 7 + 1) +
              QString(kPerFile % 7, ' ') +
              QStringLiteral("needle %1\tafter a tab\r").arg(kFindings))
                 .toUtf8());
}

void tst_SearchRelay::unreadableFileRowStaysBelowLaterFindings() {
    ControlFixture f;
    f.write("a.txt", "needle 1\nneedle 2\n");
    linkUnreadable(f, "b.txt");
    f.write("c.txt", "needle 3\nneedle 4\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    QVERIFY(ControlFixture::grepToEnd(control));
    auto *grid = ControlFixture::grid(control);
    QCOMPARE(grid->Rows(), 6);
    for (int row = 1; row <= 4; ++row)
        QCOMPARE(grid->TextMatrix(row, 3), QString("needle %1").arg(row));
    QVERIFY(grid->TextMatrix(5, 0).startsWith(f.tree() + "/b.txt: "));
}

void tst_SearchRelay::abortWhileIdleThenSearchRunsNormally() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.load("Relay");
    EventLog log(control);
    QCOMPARE(control->Abort(), QVariant());
    QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Aborted"));
    QVERIFY(log.events.isEmpty());
    control->setSearchPath(f.tree());
    control->setSearchString("needle");
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(control->SearchCount(), 1);
    QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Completed Successfully"));
}

void tst_SearchRelay::abortBeforeScanStartsStillCompletes() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    EventLog log(control);
    const qint32 before = GetTickCount();
    control->Grep();
    control->Abort(); // the engine arms a 1 ms timer: the Abort usually comes before the scan
    log.events << "Abort returned";
    QTRY_COMPARE_WITH_TIMEOUT(control->SearchActive(), Tavrin::vbFalse, 10000);
    QTest::qWait(100);
    if (log.events.last() == "Abort returned") {
        // The scan had begun before the Abort reached the engine and its ScanStarted came while
        // the Abort call waited: the Abort has the last word on the status bar.
        QCOMPARE(log.events.first(), QString("ScanStarted"));
        QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Aborted"));
        return;
    }
    // ScanStarted came after the Abort returned (the engine's thread may raise it before the
    // Abort reaches it, and its call may still be read after the Abort's reply): polling starts
    // again and the search completes.
    QCOMPARE(log.events.last(), QString("ScanCompleted"));
    QCOMPARE(log.events.count(), 3);
    QVERIFY(log.events.indexOf("ScanStarted") < log.events.indexOf("ScanCompleted"));
    QCOMPARE(ControlFixture::panel(control, 3), QString("Scan Completed Successfully"));
    // The duration runs from the Grep, not from the time the Abort showed.
    QVERIFY(control->SearchTime() <= TickSpan(before, GetTickCount()));
    QVERIFY(control->SearchTime() >= 0);
}

void tst_SearchRelay::pathsAndLinesHoldingTabsStayWhole() {
    ControlFixture f;
    const QString tabbed = f.write("tab\tfolder/a.txt", "key\tneedle\t\tvalue\t\n");
    const QString plain = f.write("b.txt", "\tneedle 42\t7\t\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    control->setLookInSubfolders(true);
    QStringList found, texts; // in delivery order: the rows as exported, the fourth cells
    connect(control, &TavrinX::OnFileFound, this,
            [&](qint32 &, QString &file, qint32 &line, qint32 &column, QString &text) {
                found << QStringLiteral("%1\t%2\t%3\t%4").arg(file).arg(line).arg(column).arg(text);
                texts << text;
            });
    QVERIFY(ControlFixture::grepToEnd(control));
    QStringList expected{tabbed + "\t1\t5\tkey\tneedle\t\tvalue\t",
                         plain + "\t1\t2\t\tneedle 42\t7\t"};
    QStringList sorted = found;
    sorted.sort();
    expected.sort();
    QCOMPARE(sorted, expected);
    for (qint32 row = 1; row <= 2; ++row) {
        qint32 r = row, column = 3;
        QCOMPARE(control->GetDataMatrix(r, column), texts.at(row - 1));
    }
    QTemporaryDir out;
    QString file = out.filePath("export.txt");
    QCOMPARE(control->SaveDataToTabFile(file), Tavrin::vbTrue);
    QFile exported(file);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(exported.readAll()),
             "File\tLine\tCol\tItem Found\r\n" + found.join("\r\n") + "\r\n");
}

void tst_SearchRelay::hostWritesToEventArgumentsChangeNothing() {
    ControlFixture f;
    f.write("a.txt", lines(60, "needle"));
    TavrinX *control = f.loadSearching("Relay", "needle");
    QList<int> lineNumbers;
    connect(control, &TavrinX::OnFileFound, this,
            [&](qint32 &index, QString &file, qint32 &line, qint32 &column, QString &text) {
                lineNumbers << line;
                index = 1000;
                line = -5;
                column = 0;
                file.clear();
                text = "changed";
            });
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(lineNumbers.size(), 60);
    for (int i = 0; i < 60; ++i)
        QCOMPARE(lineNumbers.at(i), i + 1);
    QCOMPARE(control->SearchCount(), 60);
    qint32 row = 60, column = 3;
    QCOMPARE(control->GetDataMatrix(row, column), QString("needle"));
}

void tst_SearchRelay::durationIsRightAcrossATickWrap() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    // The control's clock stands just below the largest signed value and then passes it.
    qint32 fake = std::numeric_limits<qint32>::max() - 100;
    setTickCountSource([&fake] { return fake; });
    // The counter wraps as a 32-bit register does (signed overflow would be undefined).
    connect(control, &TavrinX::ScanStarted, this,
            [&] { fake = static_cast<qint32>(static_cast<quint32>(fake) + 400); });
    QSignalSpy completed(control, &TavrinX::ScanCompleted);
    control->Grep();
    const bool done = !completed.isEmpty() || completed.wait(10000);
    setTickCountSource({});
    QVERIFY(done);
    QCOMPARE(control->SearchTime(), 400);
    QCOMPARE(ControlFixture::panel(control, 5), QString("0.4 (Sec)"));
}

void tst_SearchRelay::serverKilledDuringSearchIsReported() {
    // The engine waits in its OnError: let the finding reach the grid (streaming from then on,
    // so no delivery was under way when the event came), then kill the server. An event that
    // came while a tick waited on the engine sees no tick: that search is made again.
    for (int attempt = 1;; ++attempt) {
        ControlFixture f;
        f.write("a.txt", "needle\n");
        linkUnreadable(f, "b.txt");
        TavrinX *control = f.loadSearching("Relay", "needle");
        EventLog log(control);
        const auto bus = QDBusConnection::sessionBus().interface();
        const uint pid = bus->servicePid(QStringLiteral("TavrinEXE.TavrinX")).value();
        QVERIFY(pid > 0);
        int found = 0;
        bool killed = false;
        connect(control, &TavrinX::OnFileFound, this,
                [&](qint32 &, QString &, qint32 &, qint32 &, QString &) { ++found; });
        control->setStreamFindings(Tavrin::vbFalse);
        connect(control, &TavrinX::OnError, this, [&](qint32 &code, QString &) {
            if (code != -100)
                return;
            control->setStreamFindings(Tavrin::vbTrue);
            QElapsedTimer waited;
            waited.start();
            while (found < 1 && waited.elapsed() < 2000)
                QTest::qWait(1);
            if (found == 1 || attempt == 3) {
                QCOMPARE(found, 1);
                ::kill(pid_t(pid), SIGKILL);
                killed = true;
            }
        });
        QSignalSpy completed(control, &TavrinX::ScanCompleted);
        control->Grep();
        QTRY_VERIFY_WITH_TIMEOUT(
            !completed.isEmpty() ||
                (!log.events.isEmpty() && log.events.last().startsWith("OnError -105")),
            10000);
        if (!killed)
            continue; // the search ended normally: no tick came during the handler
        QVERIFY(!log.events.contains("ScanCompleted"));
        QCOMPARE(ControlFixture::grid(control)->TextMatrix(1, 3), QString("needle"));
        // The next Grep fails clearly with the platform error, and the host lives on.
        QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, control->Grep());
        return;
    }
}

// A control that notes its termination among the events a test records.
class WatchedControl : public TavrinX {
public:
    using TavrinX::TavrinX;
    QStringList *log = nullptr;

protected:
    void Terminate() override {
        if (log)
            *log << "Terminate";
        TavrinX::Terminate();
    }
};

void tst_SearchRelay::hostLettingGoAnywhereLeavesNothingBehind_data() {
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("how");
    // The control's four events, and its yields: a tick's delivery of streamed findings, the
    // delivery at the end, the one before ScanCompleted, the one of Abort.
    for (const char *place : {"ScanStarted", "OnFileFound", "OnError", "ScanCompleted", "tick",
                              "delivery", "completion", "Abort"}) {
        for (const char *how : {"terminated", "form closed by a queued call", "deleted"})
            QTest::addRow("%s, %s", place, how) << place << how;
    }
}

void tst_SearchRelay::hostLettingGoAnywhereLeavesNothingBehind() {
    QFETCH(QString, place);
    QFETCH(QString, how);
    ControlFixture f;
    f.write("a.txt", lines(300, "needle"));
    linkUnreadable(f, "b.txt");
    f.form()->show();
    QPointer<WatchedControl> control = f.load<WatchedControl>("Relay");
    control->setSearchPath(f.tree());
    control->setSearchString("needle");
    control->setStreamFindings(place == "tick" ? Tavrin::vbTrue : Tavrin::vbFalse);
    EventLog log(control);
    control->log = &log.events;
    const auto bus = QDBusConnection::sessionBus().interface();
    const QString server = bus->serviceOwner(QStringLiteral("TavrinEXE.TavrinX")).value();
    QVERIFY(!server.isEmpty());

    bool letGo = false;
    const auto at = [&](const char *here) {
        if (letGo || !control || place != QLatin1String(here))
            return;
        letGo = true;
        if (how == "terminated")
            f.terminate(control);
        else if (how == "deleted")
            delete control;
        else
            QMetaObject::invokeMethod(f.form(), &QWidget::close, Qt::QueuedConnection);
    };
    connect(control, &TavrinX::ScanStarted, this, [&] {
        at("ScanStarted");
        if (place == "Abort" && control)
            control->Abort();
    });
    connect(control, &TavrinX::OnFileFound, this,
            [&](qint32 &index, QString &, qint32 &, qint32 &, QString &) {
                if (index == 30)
                    at("OnFileFound");
            });
    connect(control, &TavrinX::OnError, this, [&](qint32 &, QString &) { at("OnError"); });
    connect(control, &TavrinX::ScanCompleted, this, [&] { at("ScanCompleted"); });
    setDoEventsInterval(0);
    setDoEventsHook([&] {
        if (!control)
            return;
        const QString state = ControlFixture::panel(control, 3);
        if (state == "Scan In Progress") {
            at("tick");
            at("delivery");
        } else if (state == "Scan Completed Successfully")
            at("completion");
        else if (state == "Scan Aborted")
            at("Abort");
    });
    const auto restore = qScopeGuard([] {
        setDoEventsHook({});
        setDoEventsInterval(500);
    });

    control->Grep();
    QTRY_VERIFY_WITH_TIMEOUT(!control, 10000);
    QVERIFY(letGo);
    if (how == "deleted") {
        QVERIFY(!log.events.contains("Terminate"));
    } else {
        QCOMPARE(log.events.count("Terminate"), 1);
        QCOMPARE(log.events.last(), QString("Terminate")); // no event after it
    }
    // The engine was released: its server, which served no one else, ends.
    QTRY_VERIFY_WITH_TIMEOUT(!bus->isServiceRegistered(server).value(), 10000);
}

QTEST_MAIN(tst_SearchRelay)
#include "tst_searchrelay.moc"

void tst_SearchRelay::replaceKeepsTheFindingsAndEndsWithItsCounts_data() {
    QTest::addColumn<QStringList>("calls");  // "search", "replace", "undo", "abort at start"
    QTest::addColumn<QStringList>("events"); // of the last call
    QTest::addColumn<QString>("state");      // status panel 3 afterwards
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("replace") << QStringList{"search", "replace"}
                             << QStringList{"ScanStarted", "ScanCompleted", "ReplaceCompleted 2 1"}
                             << "Replace Completed" << QByteArray("new x\nnew\n");
    QTest::newRow("undo") << QStringList{"search", "replace", "undo"}
                          << QStringList{"ScanStarted", "ScanCompleted", "ReplaceCompleted 2 1"}
                          << "Replace Completed" << QByteArray("needle x\nneedle\n");
    QTest::newRow("aborted before its first file")
        << QStringList{"search", "abort at start", "replace"}
        << QStringList{"ScanStarted", "ReplaceCompleted 0 0"} << "Replace Aborted"
        << QByteArray("needle x\nneedle\n");
    QTest::newRow("refused: no search")
        << QStringList{"replace"}
        << QStringList{"OnError -106 There is no completed search to replace in."} << ""
        << QByteArray("needle x\nneedle\n");
}

void tst_SearchRelay::replaceKeepsTheFindingsAndEndsWithItsCounts() {
    QFETCH(QStringList, calls);
    QFETCH(QStringList, events);
    QFETCH(QString, state);
    QFETCH(QByteArray, file);
    ControlFixture f;
    const QString path = f.write("a.txt", "needle x\nneedle\n");
    TavrinX *control = f.loadSearching("Relay", "needle");
    control->setReplaceWith("new");
    EventLog log(control);
    for (const QString &call : calls) {
        log.events.clear();
        if (call == "search") {
            QVERIFY(ControlFixture::grepToEnd(control));
        } else if (call == "abort at start") {
            connect(control, &TavrinX::ScanStarted, control, [control] { control->Abort(); });
        } else {
            QSignalSpy ended(control, &TavrinX::ReplaceCompleted);
            QCOMPARE(call == "undo" ? control->UndoReplace() : control->Replace(), QVariant());
            if (!log.events.value(0).startsWith("OnError"))
                QVERIFY(!ended.isEmpty() || ended.wait(10000));
        }
    }
    QCOMPARE(log.events, events);
    QCOMPARE(ControlFixture::panel(control, 3), state);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), file);
    // The grid shows the findings as they were found, whatever became of the file.
    if (calls.first() == "search") {
        QCOMPARE(control->SearchCount(), 2);
        QCOMPARE(ControlFixture::panel(control, 2), QString("2"));
        QCOMPARE(ControlFixture::grid(control)->TextMatrix(1, 3), QString("needle x"));
    }
}
