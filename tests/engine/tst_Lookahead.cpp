#include "DoEvents.h"
#include "EngineRun.h"
#include "Lookahead.h"
#include "Scan.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <sys/stat.h>

using TavrinEXE::Lookahead;
using TavrinEXE::Scan;
using TavrinEXE::TavrinX;

// The helper that searches files ahead must not change anything a client sees: every scan
// below runs with and without it and must give the same findings and events, in the same
// order, whatever the helper's timing. A setting written at a yield is written when the
// findings first reach a count, which is the same point of the scan with and without the
// helper.
class tst_Lookahead : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void sameOutcomeWithAndWithoutHelper_data();
    void sameOutcomeWithAndWithoutHelper();
    void fileChangedAfterTheHelperSearchedIt_data();
    void fileChangedAfterTheHelperSearchedIt();

private:
    QTemporaryDir mDir; // "small" and "large": the same with files of many findings
};

void tst_Lookahead::initTestCase() {
    QMap<QString, QByteArray> files;
    for (int i = 0; i < 60; ++i) {
        QByteArray text;
        for (int line = 0; line < 40; ++line)
            text += (line % (i % 7 + 3) == 0 ? "a cat on line " : "a dog on line ") +
                    QByteArray::number(line) + (line % 5 ? "\n" : "\r\n");
        const QString folder = i % 3 ? QStringLiteral("sub%1/").arg(i % 4) : QString();
        files.insert(folder + QStringLiteral("f%1.%2").arg(i, 2, 10, QChar(u'0')).arg(i % 2 ? "c" : "h"),
                     text);
    }
    files.insert("sub3/binary.c", QByteArray("cat\0cat\n", 8));
    for (auto it = files.begin(); it != files.end(); ++it) {
        writeTree(mDir.path() + "/small", {{it.key(), it.value()}});
        writeTree(mDir.path() + "/large", {{it.key(), it.value()}});
    }
    // More findings than the helper holds: it searches such a file up to a line, the scan on.
    QByteArray many;
    const qint64 perFinding = 2 * 8 + 64; // as the helper counts a finding of "cat 1234"
    for (qint64 i = 0; i * perFinding < Lookahead::kFindingBytes + 200000; ++i)
        many += "cat " + QByteArray::number(1000 + i % 9000) + "\n";
    writeTree(mDir.path() + "/large", {{"sub1/many1.c", many}, {"sub2/many2.c", many}});
}

void tst_Lookahead::cleanup() {
    setDoEventsHook({});
    setDoEventsInterval(500);
    Scan::setLookahead(true);
}

void tst_Lookahead::sameOutcomeWithAndWithoutHelper_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<int>("atFindings"); // 0: nothing is written
    QTest::addColumn<std::function<void(TavrinX &)>>("write");
    const std::function<void(TavrinX &)> none;
    QTest::newRow("plain scan") << "small" << 0 << none;
    QTest::newRow("files of many findings") << "large" << 0 << none;
    QTest::newRow("string changed") << "small" << 30 << std::function<void(TavrinX &)>([](TavrinX &e) {
        e.setSearchString(QStringLiteral("dog"));
    });
    QTest::newRow("string changed inside a file of many findings")
        << "large" << 150000 << std::function<void(TavrinX &)>([](TavrinX &e) {
               e.setSearchString(QStringLiteral("cat 5"));
           });
    QTest::newRow("file types changed") << "small" << 30 << std::function<void(TavrinX &)>([](TavrinX &e) {
        e.setSearchExt(QStringLiteral("*.h"));
    });
    QTest::newRow("subfolders left out") << "small" << 30 << std::function<void(TavrinX &)>([](TavrinX &e) {
        e.setExcludeFolders(QStringLiteral("sub2"));
    });
    QTest::newRow("binary files skipped")
        << "small" << 30
        << std::function<void(TavrinX &)>([](TavrinX &e) { e.setSkipBinaryFiles(Tavrin::vbTrue); });
    QTest::newRow("aborted") << "small" << 45 << std::function<void(TavrinX &)>([](TavrinX &e) {
        e.Abort();
    });
    // By then the helper holds all the findings it may: it waits for the scan, and the abort
    // has to wake it.
    QTest::newRow("aborted while the helper waits")
        << "large" << 45 << std::function<void(TavrinX &)>([](TavrinX &e) {
               QThread::msleep(300);
               e.Abort();
           });
}

void tst_Lookahead::sameOutcomeWithAndWithoutHelper() {
    QFETCH(QString, tree);
    QFETCH(int, atFindings);
    QFETCH(std::function<void(TavrinX &)>, write);
    setDoEventsInterval(0);
    const auto scan = [&](bool lookahead) {
        Scan::setLookahead(lookahead);
        EngineRun run;
        bool written = false;
        setDoEventsHook([&] {
            if (write && !written && run.engine->FoundFiles()->Count() >= atFindings) {
                written = true;
                write(*run.engine);
            }
        });
        QStringList out = run.scan(mDir.path() + u'/' + tree, QStringLiteral("cat"));
        setDoEventsHook({});
        return out << run.events << QString::number(run.engine->FilesSearched());
    };
    const QStringList alone = scan(false);
    QVERIFY(alone.size() > 40);
    for (int round = 0; round < 3; ++round) // the helper's timing differs from run to run
        QCOMPARE(scan(true), alone);
}

using Change = std::function<void(const QString &)>; // given the root of the tree

void tst_Lookahead::fileChangedAfterTheHelperSearchedIt_data() {
    QTest::addColumn<Change>("change");
    QTest::newRow("truncated") << Change(
        [](const QString &root) { QVERIFY(QFile::resize(root + "/t.txt", 0)); });
    QTest::newRow("deleted") << Change(
        [](const QString &root) { QVERIFY(QFile::remove(root + "/t.txt")); });
    QTest::newRow("replaced by a FIFO") << Change([](const QString &root) {
        QVERIFY(QFile::remove(root + "/t.txt"));
        QCOMPARE(::mkfifo(QFile::encodeName(root + "/t.txt").constData(), 0600), 0);
    });
    QTest::newRow("rewritten, same size") << Change([](const QString &root) {
        writeTree(root, {{"t.txt", "dog 1\ncat 2\n"}});
    });
    QTest::newRow("folder swapped for a link out of the tree") << Change([](const QString &root) {
        QVERIFY(QFile::rename(root + "/sub", root + "/sub-old"));
        QVERIFY(QFile::link(QFileInfo(root + "/../outside").absoluteFilePath(), root + "/sub"));
    });
}

// While the client holds the scan at a yield, files and folders the helper has already searched
// change: at their turn they are searched as they are then, as by the scan alone.
void tst_Lookahead::fileChangedAfterTheHelperSearchedIt() {
    QFETCH(Change, change);
    setDoEventsInterval(0);
    const QString root = mDir.path() + "/changed";
    writeTree(mDir.path() + "/outside", {{"t2.txt", "cat outside\n"}});
    const auto scan = [&](bool lookahead) {
        QDir(root).removeRecursively();
        // t.txt and sub/t2.txt lie beyond the files the helper leaves to the scan.
        writeTree(root, {{"a.txt", "cat 0\n"},
                         {"b1.txt", "-\n"},
                         {"b2.txt", "-\n"},
                         {"b3.txt", "-\n"},
                         {"b4.txt", "-\n"},
                         {"t.txt", "cat 1\ncat 2\n"},
                         {"sub/t2.txt", "cat 3\n"}});
        Scan::setLookahead(lookahead);
        EngineRun run;
        bool changed = false;
        setDoEventsHook([&] {
            if (changed || run.engine->FoundFiles()->Count() < 1)
                return;
            changed = true;
            if (lookahead)
                QThread::msleep(200); // the helper searches on meanwhile
            change(root);
        });
        QStringList out = run.scan(root, QStringLiteral("cat"));
        setDoEventsHook({});
        return out << run.events;
    };
    const QStringList alone = scan(false);
    QVERIFY(alone.size() >= 3);
    QCOMPARE(scan(true), alone);
}

QTEST_GUILESS_MAIN(tst_Lookahead)
#include "tst_Lookahead.moc"
