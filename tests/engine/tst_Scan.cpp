#include "DoEvents.h"
#include "EngineRun.h"
#include "FileSearch.h"
#include "Scan.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using TavrinEXE::FileSearch;
using TavrinEXE::Scan;
using TavrinEXE::TavrinX;

class tst_Scan : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void walkListsFilesBeforeSubfoldersInByteOrder_data();
    void walkListsFilesBeforeSubfoldersInByteOrder();
    void lineRulesGiveColumnOfFirstAcceptedOccurrence_data();
    void lineRulesGiveColumnOfFirstAcceptedOccurrence();
    void filterMatchesWildcardsAgainstName_data();
    void filterMatchesWildcardsAgainstName();
    void linesAreNumberedAsRead_data();
    void linesAreNumberedAsRead();
    void utf16TextIsSearchedAsText_data();
    void utf16TextIsSearchedAsText();
    void fileIsReadToItsSizeWhenOpened();
    void longLineIsFoundWhole();
    void lineWithoutLineEndIsSearchedInBoundedMemory();
    void findingTextIsCutAtCharacterBoundary_data();
    void findingTextIsCutAtCharacterBoundary();
    void folderNamedInInvalidUtf8IsSearched();
    void unreadableFileReportedOnceAmongReadable();
    void fileRemovedAfterListingReportedOnce();
    void lineNumberPastLimitEndsFileWithError();
    void folderThatCannotBeListedIsReportedAndWalkGoesOn_data();
    void folderThatCannotBeListedIsReportedAndWalkGoesOn();
    void specialFilesAndLinkedFoldersAreNotEntered();
    void deepFolderSwappedForALinkIsNotFollowed();
    void abortAtEachCheckPointStopsWithPrefix_data();
    void abortAtEachCheckPointStopsWithPrefix();
    void settingChangedDuringYieldAppliesToRestOfScan_data();
    void settingChangedDuringYieldAppliesToRestOfScan();
};

void tst_Scan::cleanup() {
    setDoEventsHook({});
    setDoEventsInterval(500);
    Scan::setLastLineNumber(std::numeric_limits<qint32>::max());
    Scan::setBlockSize(FileSearch::kBlockSize);
}

void tst_Scan::walkListsFilesBeforeSubfoldersInByteOrder_data() {
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("recursive") << true
                               << QStringList{"B.txt:1:1:hit",    "a.txt:1:1:hit", "b.txt:1:1:hit",
                                              "Z/z.txt:1:1:hit",  "a/y:1:1:hit",   "a/a/x:1:1:hit",
                                              "sub/x.txt:1:1:hit"};
    QTest::newRow("top only") << false
                              << QStringList{"B.txt:1:1:hit", "a.txt:1:1:hit", "b.txt:1:1:hit"};
}

void tst_Scan::walkListsFilesBeforeSubfoldersInByteOrder() {
    QFETCH(bool, subfolders);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"b.txt", "hit"},
                           {"a.txt", "hit"},
                           {"B.txt", "hit"},
                           {"sub/x.txt", "hit"},
                           {"a/y", "hit"},
                           {"a/a/x", "hit"},
                           {"Z/z.txt", "hit"}});
    EngineRun run;
    run.engine->setLookInSubfolders(subfolders);
    QCOMPARE(run.scan(dir.path() + "//", "hit"), expected);
    QCOMPARE(run.engine->FoundFiles()->Item(1).toString(), dir.path() + "/B.txt");
}

void tst_Scan::lineRulesGiveColumnOfFirstAcceptedOccurrence_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<int>("column");

    QTest::newRow("twice: first") << "a cat cat"
                                  << "cat" << -1 << false << 3;
    // With whole word, the first occurrence that stands alone.
    QTest::newRow("word: followed by letter") << "cats cat"
                                              << "cat" << -1 << true << 6;
    QTest::newRow("word: after a longer word") << "ssize_t x; size_t y;"
                                               << "size_t" << -1 << true << 12;
    QTest::newRow("word: none alone") << "cats scat"
                                      << "cat" << -1 << true << 0;
    QTest::newRow("word: overlapping occurrences") << "aaa aa"
                                                   << "aa" << -1 << true << 5;
    QTest::newRow("word: brackets") << "(cat)"
                                    << "cat" << -1 << true << 2;
    QTest::newRow("word: underscore") << "cat_1"
                                      << "cat" << -1 << true << 0;
    QTest::newRow("word: underscore, then alone") << "cat_1 cat"
                                                  << "cat" << -1 << true << 7;
    QTest::newRow("word: digit") << "cat9"
                                 << "cat" << -1 << true << 0;
    QTest::newRow("word: digit before") << "9cat"
                                        << "cat" << -1 << true << 0;
    QTest::newRow("word: whole line") << "cat"
                                      << "cat" << -1 << true << 1;
    QTest::newRow("word: accented after") << "caté"
                                          << "cat" << -1 << true << 1;
    QTest::newRow("word: backtick is delimiter") << "`cat@"
                                                 << "cat" << -1 << true << 2;
    QTest::newRow("word: at line end") << "a.cat"
                                       << "cat" << -1 << true << 3;
    QTest::newRow("column counts characters") << "éé😀cat"
                                              << "cat" << -1 << false << 4;
    QTest::newRow("ignore case") << "xFOO"
                                 << "Foo" << 0 << false << 2;
    QTest::newRow("exact case") << "FOO foo Foo"
                                << "Foo" << -1 << false << 9;
    QTest::newRow("case value 1 ignores case") << "FOO"
                                               << "Foo" << 1 << false << 1;
    QTest::newRow("ignore case: accented") << "xÉTÉ"
                                           << "été" << 0 << false << 2;
    QTest::newRow("ignore case: long s folds") << "ſun"
                                               << "SUN" << 0 << false << 1;
    QTest::newRow("ignore case: kelvin folds") << "\u212Aey"
                                               << "key" << 0 << false << 1;
    QTest::newRow("ignore case: kelvin needle") << "a kiwi"
                                                << "\u212A" << 0 << false << 3;
    QTest::newRow("ignore case: long s needle") << "xSsS"
                                                << "ſſſ" << 0 << false << 2;
    QTest::newRow("ignore case: folding needle, whole word") << "kiwis Kiwi"
                                                             << "\u212Aiwi" << 0 << true << 7;
    QTest::newRow("simple folding only") << "STRASSE"
                                         << "straße" << 0 << false << 0;
    QTest::newRow("exact: no fold") << "ſun"
                                    << "sun" << -1 << false << 0;
}

void tst_Scan::lineRulesGiveColumnOfFirstAcceptedOccurrence() {
    QFETCH(QString, line);
    QFETCH(QString, needle);
    QFETCH(int, caseSensitive);
    QFETCH(bool, wholeWord);
    QFETCH(int, column);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"f", "first line\n" + line.toUtf8() + "\r\n"}});
    EngineRun run;
    run.engine->setCaseSensitive(Tavrin::VBool(caseSensitive));
    run.engine->setWholeWordOnly(wholeWord);
    const QStringList found = run.scan(dir.path(), needle);
    if (column == 0)
        QCOMPARE(found, QStringList{});
    else
        QCOMPARE(found, QStringList{QStringLiteral("f:2:%1:%2").arg(column).arg(line)});
}

void tst_Scan::filterMatchesWildcardsAgainstName_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("searched");
    const QStringList all = {"C.H",   "Makefile", "a.bas", "a.txt",
                             "array", "b.hpp",    "x.c",   "ÉTÉ.TXT"};
    QTest::newRow("all") << "*.*" << all;
    QTest::newRow("star") << "*" << all;
    QTest::newRow("all among others") << "*.c;*.*" << all;
    QTest::newRow("extension is not a prefix") << "*.cpp" << QStringList{};
    QTest::newRow("no name without extension") << "*.h" << QStringList{"C.H"};
    QTest::newRow("list with semicolons") << "*.c;*.h" << QStringList{"C.H", "x.c"};
    QTest::newRow("list with commas") << "*.txt,*.bas" << QStringList{"a.bas", "a.txt", "ÉTÉ.TXT"};
    QTest::newRow("list with blanks")
        << " *.txt  *.bas " << QStringList{"a.bas", "a.txt", "ÉTÉ.TXT"};
    QTest::newRow("exact name") << "Makefile" << QStringList{"Makefile"};
    QTest::newRow("exact name, not ASCII") << "été.txt" << QStringList{"ÉTÉ.TXT"};
    QTest::newRow("set") << "[ab].txt" << QStringList{"a.txt"};
    QTest::newRow("one character") << "?.?" << QStringList{"C.H", "x.c"};
    QTest::newRow("star inside") << "a*y" << QStringList{"array"};
    QTest::newRow("separators only: nothing") << " ;, " << QStringList{};
}

void tst_Scan::filterMatchesWildcardsAgainstName() {
    QFETCH(QString, filter);
    QFETCH(QStringList, searched);
    QTemporaryDir dir;
    QMap<QString, QByteArray> files;
    for (const char *name :
         {"C.H", "Makefile", "a.bas", "a.txt", "array", "b.hpp", "x.c", "ÉTÉ.TXT"})
        files.insert(QString::fromUtf8(name), "hit");
    writeTree(dir.path(), files);
    EngineRun run;
    QStringList found;
    for (const QString &f : run.scan(dir.path(), "hit", filter))
        found << f.section(u':', 0, 0);
    QCOMPARE(found, searched);
}

void tst_Scan::linesAreNumberedAsRead_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("crlf and empty lines")
        << QByteArray("x\r\n\r\nhit\n\nhit") << QStringList{"f:3:1:hit", "f:5:1:hit"};
    QTest::newRow("final line end adds no line") << QByteArray("hit\n") << QStringList{"f:1:1:hit"};
    QTest::newRow("lone cr stays in line")
        << QByteArray("a\rhit\r") << QStringList{"f:1:3:a\rhit\r"};
    QTest::newRow("nul bytes") << QByteArray("\0\0hit\n", 6)
                               << QStringList{QStringLiteral("f:1:3:") + QChar(0) + QChar(0) +
                                              "hit"};
    QTest::newRow("invalid utf-8")
        << QByteArray("\xff\xc3hit\n\xe2\x82") << QStringList{"f:1:3:\uFFFD\uFFFDhit"};
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x01\x02\n\x00\x80hit\x00\n",
                                          13)
                            << QStringList{QStringLiteral("f:2:3:") + QChar(0) + QChar(0xFFFD) +
                                           "hit" + QChar(0)};
}

void tst_Scan::linesAreNumberedAsRead() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"f", content}});
    EngineRun run;
    QCOMPARE(run.scan(dir.path(), "hit"), expected);
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
}

void tst_Scan::utf16TextIsSearchedAsText_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("skipBinary");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("little endian")
        << utf16("x hit\nhit", false) << false << false << QStringList{"f:1:3:x hit", "f:2:1:hit"};
    QTest::newRow("big endian") << utf16("x hit\nhit", true) << false << false
                                << QStringList{"f:1:3:x hit", "f:2:1:hit"};
    QTest::newRow("crlf") << utf16("a\r\nb hit\r\n", false) << false << false
                          << QStringList{"f:2:3:b hit"};
    QTest::newRow("pair before the match counts one")
        << utf16("😀é HIT", true) << false << false << QStringList{"f:1:4:😀é HIT"};
    QTest::newRow("whole word, ignoring case")
        << utf16("HITs Hit_ hIt", false) << true << false << QStringList{"f:1:11:HITs Hit_ hIt"};
    QTest::newRow("odd byte count")
        << utf16("hit", false) + 'A' << false << false << QStringList{"f:1:1:hit\uFFFD"};
    QTest::newRow("lone surrogates") << utf16(QString(QChar(0xDC00)) + "hit" + QChar(0xD800), false)
                                     << false << false << QStringList{"f:1:2:\uFFFDhit\uFFFD"};
    QTest::newRow("text though it holds NUL bytes")
        << utf16("hit", false) << false << true << QStringList{"f:1:1:hit"};
    QTest::newRow("no mark: bytes as they are")
        << QByteArray("h\0i\0t\0", 6) << false << false << QStringList{};
    QTest::newRow("utf-8 mark skipped")
        << QByteArray("\xEF\xBB\xBFhit") << false << false << QStringList{"f:1:1:hit"};
}

void tst_Scan::utf16TextIsSearchedAsText() {
    QFETCH(QByteArray, content);
    QFETCH(bool, wholeWord);
    QFETCH(bool, skipBinary);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"f", content}});
    EngineRun run;
    run.engine->setWholeWordOnly(wholeWord);
    run.engine->setSkipBinaryFiles(Tavrin::toVBool(skipBinary));
    QCOMPARE(run.scan(dir.path(), "hit"), expected);
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
}

// A log that a writer keeps appending to is read up to the size it had when it was opened; a
// file of /proc, which gives its size as 0, to its end.
void tst_Scan::fileIsReadToItsSizeWhenOpened() {
    Scan::setBlockSize(64);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"log", "hit\n" + QByteArray(1000, 'x') + "\nhit\n"}});
    QFile log(dir.filePath("log"));
    QVERIFY(log.open(QIODevice::Append));
    int appended = 0;
    EngineRun run;
    setDoEventsHook([&] {
        // From the first finding on, the file is open; bounded, should it be followed all the same.
        if (run.engine->FoundFiles()->Count() > 0 && appended < 1000) {
            log.write(QByteArray(100, 'x') + "\nhit\n");
            log.flush();
            ++appended;
        }
    });
    QCOMPARE(run.scan(dir.path(), "hit"), (QStringList{"log:1:1:hit", "log:3:1:hit"}));
    QVERIFY(appended > 2);

    QTemporaryDir proc;
    QVERIFY(QFile::link("/proc/self/status", proc.filePath("status")));
    QCOMPARE(run.scan(proc.path(), "Name:").size(), 1);
}

void tst_Scan::longLineIsFoundWhole() {
    QTemporaryDir dir;
    QByteArray longLine(16 * 1024 * 1024, 'x');
    longLine.replace(longLine.size() - 10, 3, "hit");
    writeTree(dir.path(), {{"a", "first\n" + longLine + "\nhit"}, {"b", longLine}});
    EngineRun run;
    run.scan(dir.path(), "HIT");
    QCOMPARE(run.engine->SearchCount(), 3);
    QCOMPARE(run.engine->FoundLines()->Item(1).toInt(), 2);
    QCOMPARE(run.engine->FoundColumns()->Item(1).toInt(), longLine.size() - 9);
    QCOMPARE(run.engine->FoundText()->Item(1).toString(), // cut at 1 MiB of UTF-8
             QString::fromLatin1(longLine.left(FileSearch::kTextLimit)));
    QCOMPARE(run.engine->FoundLines()->Item(2).toInt(), 3);
    QCOMPARE(run.engine->FoundFiles()->Item(3).toString(), dir.path() + "/b");
    QCOMPARE(run.engine->FoundColumns()->Item(3).toInt(), longLine.size() - 9);
}

void tst_Scan::lineWithoutLineEndIsSearchedInBoundedMemory() {
    // 256 MiB without a line end, sparse, "hit" near its end: the line is searched in blocks,
    // with yields inside it, and its finding keeps the first MiB of its text.
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("sparse"));
    const qint64 size = 256LL * 1024 * 1024;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QVERIFY(::ftruncate(fd, size) == 0);
    QVERIFY(::pwrite(fd, "hit", 3, size - 100) == 3);
    ::close(fd);
    setDoEventsInterval(0);
    int yields = 0;
    setDoEventsHook([&] { ++yields; });
    EngineRun run;
    QCOMPARE(run.scan(dir.path(), "HIT").size(), 1);
    QCOMPARE(run.engine->FoundColumns()->Item(1).toInt(), int(size - 99));
    QCOMPARE(run.engine->FoundText()->Item(1).toString(), QString(1024 * 1024, QChar(0)));
    QVERIFY(yields > int(size / FileSearch::kBlockSize)); // at least one per block read
#if !defined(__SANITIZE_ADDRESS__) // its shadow memory and quarantine inflate the peak
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    QVERIFY2(usage.ru_maxrss < 128 * 1024, qPrintable(QString::number(usage.ru_maxrss))); // KiB
#endif
}

void tst_Scan::findingTextIsCutAtCharacterBoundary_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<qsizetype>("kept"); // UTF-16 units
    const qsizetype limit = FileSearch::kTextLimit;
    QTest::newRow("short") << QString("hit") << qsizetype(3);
    QTest::newRow("ascii at limit") << QString(limit, u'a') << limit;
    QTest::newRow("ascii over limit") << QString(limit + 1, u'a') << limit;
    QTest::newRow("two-byte characters") << QString(limit, u'é') << limit / 2;
    QTest::newRow("odd start before two-byte") << "a" + QString(limit, u'é') << limit / 2;
    QTest::newRow("three-byte characters") << QString(limit, QChar(0xFFFD)) << limit / 3;
    QTest::newRow("pairs kept whole")
        << QString::fromUtf8("x" + QByteArray(limit, 'y')).left(limit - 2) +
               QString::fromUtf8("\xf0\x9f\x98\x80")
        << limit - 2;
    QTest::newRow("four-byte characters")
        << QString::fromUtf8(QByteArray("\xf0\x9f\x98\x80").repeated(limit / 2)) << limit / 2;
}

void tst_Scan::findingTextIsCutAtCharacterBoundary() {
    QFETCH(QString, line);
    QFETCH(qsizetype, kept);
    const QString cut = FileSearch::cutText(line);
    QCOMPARE(cut.size(), kept);
    QCOMPARE(cut, line.left(kept));
    QVERIFY(cut.toUtf8().size() <= FileSearch::kTextLimit);
}

void tst_Scan::folderNamedInInvalidUtf8IsSearched() {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    QVERIFY(::mkdir(root + "/a\xff", 0755) == 0);
    QVERIFY(::mkdir(root + "/a\xff/b\xc3", 0755) == 0);
    for (const QByteArray &name : {root + "/a\xff/f\xfe", root + "/a\xff/b\xc3/g"}) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QVERIFY(::write(fd, "hit\n", 4) == 4);
        ::close(fd);
    }
    EngineRun run;
    QCOMPARE(run.scan(dir.path(), "hit"),
             (QStringList{"a\uFFFD/f\uFFFD:1:1:hit", "a\uFFFD/b\uFFFD/g:1:1:hit"}));
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
}

// Runs body with the file-access rights of an ordinary user when the tests run as root.
template <typename F> void asOrdinaryUser(F body) {
    const bool root = ::geteuid() == 0;
    if (root)
        QVERIFY(::seteuid(65534) == 0);
    body();
    if (root)
        QVERIFY(::seteuid(0) == 0);
}

void tst_Scan::unreadableFileReportedOnceAmongReadable() {
    QTemporaryDir dir;
    ::chmod(dir.path().toLocal8Bit(), 0755);
    writeTree(dir.path(), {{"a.txt", "hit 1\n"}, {"b.txt", "hit 2\n"}, {"c.txt", "x\nhit 3\n"}});
    ::chmod((dir.path() + "/b.txt").toLocal8Bit(), 0);
    EngineRun run;
    QStringList found;
    asOrdinaryUser([&] { found = run.scan(dir.path(), "hit"); });
    QCOMPARE(found, (QStringList{"a.txt:1:1:hit 1", "c.txt:2:1:hit 3"}));
    QCOMPARE(run.events,
             (QStringList{"ScanStarted", "OnError -100 " + dir.path() + "/b.txt: Permission denied",
                          "ScanCompleted"}));
}

void tst_Scan::fileRemovedAfterListingReportedOnce() {
    QTemporaryDir dir;
    writeTree(dir.path(), {{"a", "hit\n2\n"}, {"b", "hit\n"}, {"c", "hit\n"}});
    Scan::setLastLineNumber(1); // "a" fails on its second line
    EngineRun run;
    connect(run.engine.get(), &TavrinX::OnError, run.engine.get(),
            [&](qint32 &, QString &) { QFile::remove(dir.path() + "/b"); });
    QCOMPARE(run.scan(dir.path(), "hit"), (QStringList{"a:1:1:hit", "c:1:1:hit"}));
    QCOMPARE(run.events,
             (QStringList{"ScanStarted", "OnError -100 " + dir.path() + "/a: Overflow",
                          "OnError -100 " + dir.path() + "/b: No such file or directory",
                          "ScanCompleted"}));
}

void tst_Scan::lineNumberPastLimitEndsFileWithError() {
    QTemporaryDir dir;
    writeTree(dir.path(), {{"exact", "1\n2\nhit\n"}, {"over", "hit\n2\nhit\n4\nhit\n"}});
    for (qsizetype block : {qsizetype(2), qsizetype(256 * 1024)}) {
        Scan::setBlockSize(block);
        Scan::setLastLineNumber(3);
        EngineRun run;
        QCOMPARE(run.scan(dir.path(), "hit"),
                 (QStringList{"exact:3:1:hit", "over:1:1:hit", "over:3:1:hit"}));
        QCOMPARE(run.events.at(1), "OnError -100 " + dir.path() + "/over: Overflow");
        QCOMPARE(run.events.size(), 3);
    }
}

void tst_Scan::folderThatCannotBeListedIsReportedAndWalkGoesOn_data() {
    QTest::addColumn<QString>("searchPath");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file") << "@/a.txt"
                            << "@/a.txt: Not a directory";
    QTest::newRow("wildcards") << "@/a*"
                               << "@/a*: No such file or directory";
    QTest::newRow("no access") << "@/locked"
                               << "@/locked: Permission denied";
}

void tst_Scan::folderThatCannotBeListedIsReportedAndWalkGoesOn() {
    QFETCH(QString, searchPath);
    QFETCH(QString, message);
    QTemporaryDir dir;
    ::chmod(dir.path().toLocal8Bit(), 0755);
    writeTree(dir.path(), {{"a.txt", "hit"}, {"locked/x", "hit"}});
    ::chmod((dir.path() + "/locked").toLocal8Bit(), 0);
    EngineRun run;
    asOrdinaryUser([&] { run.scan(searchPath.replace(u'@', dir.path()), "hit"); });
    QCOMPARE(run.events,
             (QStringList{"ScanStarted", "OnError -100 " + message.replace(u'@', dir.path()),
                          "ScanCompleted"}));
    ::chmod((dir.path() + "/locked").toLocal8Bit(), 0755);

    // Below a readable folder, the locked one is reported and the others are searched.
    EngineRun below;
    writeTree(dir.path(), {{"z/y", "hit"}});
    ::chmod((dir.path() + "/locked").toLocal8Bit(), 0);
    QStringList found;
    asOrdinaryUser([&] { found = below.scan(dir.path(), "hit"); });
    ::chmod((dir.path() + "/locked").toLocal8Bit(), 0755);
    QCOMPARE(found, (QStringList{"a.txt:1:1:hit", "z/y:1:1:hit"}));
    QCOMPARE(below.events.size(), 3);
}

void tst_Scan::specialFilesAndLinkedFoldersAreNotEntered() {
    QTemporaryDir dir;
    writeTree(dir.path(), {{"real/f", "hit"}});
    QVERIFY(::mkfifo((dir.path() + "/pipe").toLocal8Bit(), 0644) == 0);
    QVERIFY(QFile::link(dir.path(), dir.path() + "/real/loop"));
    QVERIFY(QFile::link(dir.path() + "/real/f", dir.path() + "/linked-file"));
    EngineRun run;
    QCOMPARE(run.scan(dir.path(), "hit"), (QStringList{"linked-file:1:1:hit", "real/f:1:1:hit"}));
    QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
}

// Below the depth where folders give their descriptors back, a folder above swapped for a link
// while the walk is below it does not lead the walk out of the tree.
void tst_Scan::deepFolderSwappedForALinkIsNotFollowed() {
    QTemporaryDir dir, outside;
    QString above; // the start folder's subfolders above the first that gives its descriptor back
    for (int depth = 1; depth < Scan::kOpenDepth; ++depth)
        above += QStringLiteral("d%1/").arg(depth);
    const QString deep = QStringLiteral("d%1/").arg(Scan::kOpenDepth);
    writeTree(dir.path(),
              {{above + deep + "a", "cat\n"}, {above + deep + "sub/f", "cat inside\n"}});
    writeTree(outside.path(), {{deep + "sub/f", "cat outside\n"}});
    setDoEventsInterval(0);
    EngineRun run;
    bool swapped = false;
    setDoEventsHook([&] {
        if (swapped || run.engine->FoundFiles()->Count() < 1)
            return;
        swapped = true; // the walk is in the deep folder: swap the one above it
        const QString last = dir.path() + u'/' + above.chopped(1);
        QVERIFY(QFile::rename(last, last + "-old"));
        QVERIFY(QFile::link(outside.path(), last));
    });
    QCOMPARE(run.scan(dir.path(), "cat"),
             (QStringList{above + deep + "a:1:1:cat", above + deep + "sub/f:1:1:cat inside"}));
}

void tst_Scan::abortAtEachCheckPointStopsWithPrefix_data() {
    QTest::addColumn<qsizetype>("blockSize");
    QTest::newRow("whole blocks") << qsizetype(256 * 1024);
    QTest::newRow("lines longer than the buffer") << qsizetype(2);
}

void tst_Scan::abortAtEachCheckPointStopsWithPrefix() {
    QFETCH(qsizetype, blockSize);
    Scan::setBlockSize(blockSize);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"a", "hit\nx\nhit and more than a buffer\n"},
                           {"b", "hit\n"},
                           {"s/c", "hit\nhit\n"},
                           {"s/t/d", "a long last line with a hit"}});
    setDoEventsInterval(0);
    int yields = 0;
    setDoEventsHook([&] { ++yields; });
    EngineRun full;
    const QStringList all = full.scan(dir.path(), "hit");
    QCOMPARE(all.size(), 6);
    const int total = yields;
    QVERIFY(total >= 10); // one per file and per found line at least

    for (int stopAt = 1; stopAt <= total; ++stopAt) {
        EngineRun run;
        int seen = 0;
        setDoEventsHook([&] {
            if (++seen == stopAt)
                run.engine->Abort();
        });
        const QStringList found = run.scan(dir.path(), "hit");
        QVERIFY2(all.mid(0, found.size()) == found, qPrintable(QString::number(stopAt)));
        if (seen < stopAt) { // the helper searched more this time: fewer yields, no abort
            QCOMPARE(found, all);
            QCOMPARE(run.events, (QStringList{"ScanStarted", "ScanCompleted"}));
            continue;
        }
        QVERIFY(seen <= stopAt + 1); // at most the yield before the next file
        QCOMPARE(run.events, QStringList{"ScanStarted"});
        QCOMPARE(run.engine->SearchCount(), found.size());
    }
}

void tst_Scan::settingChangedDuringYieldAppliesToRestOfScan_data() {
    QTest::addColumn<qsizetype>("blockSize");
    QTest::newRow("whole blocks") << qsizetype(256 * 1024);
    QTest::newRow("tiny blocks") << qsizetype(3);
}

void tst_Scan::settingChangedDuringYieldAppliesToRestOfScan() {
    QFETCH(qsizetype, blockSize);
    Scan::setBlockSize(blockSize);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"a", "foo\nbar\nBAR\nfoo\n"}, {"b", "foo bar\nBAR\n"}});
    setDoEventsInterval(0);
    EngineRun run;
    setDoEventsHook([&] {
        const auto found = run.engine->FoundFiles()->Count();
        if (found == 1 && run.engine->SearchString() == "foo") {
            run.engine->setSearchString("bar");
            run.engine->setCaseSensitive(Tavrin::vbTrue);
        } else if (found == 2 && run.engine->WholeWordOnly() == QVariant(false)) {
            run.engine->setCaseSensitive(Tavrin::vbFalse);
            run.engine->setWholeWordOnly(true);
        }
    });
    QCOMPARE(run.scan(dir.path(), "foo"),
             (QStringList{"a:1:1:foo", "a:2:1:bar", "a:3:1:BAR", "b:1:5:foo bar", "b:2:1:BAR"}));
}

QTEST_GUILESS_MAIN(tst_Scan)
#include "tst_Scan.moc"
