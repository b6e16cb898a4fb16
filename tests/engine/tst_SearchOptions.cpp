#include "DoEvents.h"
#include "EngineRun.h"
#include "FileSearch.h"
#include "PlatformError.h"
#include "RegexMatcher.h"
#include "Scan.h"

#include <QTemporaryDir>
#include <QtTest>
#include <ctime>

using TavrinEXE::FileSearch;
using TavrinEXE::Scan;

// The options beyond the classic search: a regular expression, folders left out, binary files
// skipped, and the progress of a running scan.
class tst_SearchOptions : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void regexLineRules_data();
    void regexLineRules();
    void regexOnLongLineMatchesKeptText();
    void regexPrefilterTakesOnlyRequiredText_data();
    void regexPrefilterTakesOnlyRequiredText();
    void badOptionsAreRefusedAtGrep_data();
    void badOptionsAreRefusedAtGrep();
    void writeThatBreaksOptionsDuringScanIsRefused();
    void catastrophicPatternIsReportedNotHung();
    void excludedFoldersAreNotEntered_data();
    void excludedFoldersAreNotEntered();
    void longExcludeListKeepsTheWalkAnswering();
    void binaryFilesAreSkippedOnlyWhenAsked();
    void progressTellsFilesAndFolder();
};

void tst_SearchOptions::cleanup() {
    setDoEventsHook({});
    Scan::setBlockSize(FileSearch::kBlockSize);
}

void tst_SearchOptions::regexLineRules_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<int>("column"); // 0: no finding
    QTest::newRow("quantifier") << "fo+\\s" << QByteArray("xx foo bar") << true << false << 4;
    QTest::newRow("plain literal, ignoring case")
        << "ERR_ptr" << QByteArray("  err_PTR(x)") << false << false << 3;
    QTest::newRow("plain literal, exact")
        << "ERR_ptr" << QByteArray("  err_PTR(x)") << true << false << 0;
    QTest::newRow("Unicode folding")
        << "\\x{212A}iwi" << QByteArray("a KIWI") << false << false << 3;
    QTest::newRow("anchors, CR LF dropped") << "x$" << QByteArray("ab x") << true << false << 4;
    QTest::newRow("start of line") << "^\\s*#inc" << QByteArray("  #include") << true << false << 1;
    QTest::newRow("empty line") << "^$" << QByteArray("") << true << false << 1;
    QTest::newRow("column counts characters") << "b"
                                              << QByteArray("\xF0\x9F\x98\x80\xC3\xA9"
                                                            "b")
                                              << true << false << 3;
    QTest::newRow("invalid bytes as U+FFFD") << "a\\x{FFFD}b"
                                             << QByteArray("a\xFF"
                                                           "b")
                                             << true << false << 1;
    // Whole word takes the first match that stands alone, not only the first match.
    QTest::newRow("word: later match") << "foo" << QByteArray("foobar foo") << true << true << 8;
    QTest::newRow("word: none alone") << "fo+" << QByteArray("foobar_foo") << true << true << 0;
    QTest::newRow("word: longer alternative")
        << "ab|abc" << QByteArray("abc d") << true << true << 1;
    QTest::newRow("word: alternatives, later one alone")
        << "cat|dog" << QByteArray("cats dogs dog") << true << true << 11;
    // The word rule holds for the match as the pattern ends or places it.
    QTest::newRow("word: accepted early") << "x(*ACCEPT)" << QByteArray("xyz") << true << true << 0;
    QTest::newRow("word: accepted early, later alone")
        << "x(*ACCEPT)yz" << QByteArray("xyz x") << true << true << 5;
    QTest::newRow("word: start moved") << "a\\Kb" << QByteArray("ab ab") << true << true << 0;
    QTest::newRow("prefilter: text after a class")
        << "[0-9]+_lock\\(&" << QByteArray("a 12_LOCK(&x)") << false << false << 3;
    QTest::newRow("prefilter: needed text absent")
        << "ERR_PTR\\(-E" << QByteArray("ERR_PTR(E") << true << false << 0;
    QTest::newRow("word: quoted to the end")
        << "\\Qa(" << QByteArray("x a( y") << true << true << 3;
}

void tst_SearchOptions::regexLineRules() {
    QFETCH(QString, pattern);
    QFETCH(QByteArray, line);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, wholeWord);
    QFETCH(int, column);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"f", "first\n" + line + "\r\nlast\n"}});
    EngineRun run;
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    run.engine->setCaseSensitive(Tavrin::toVBool(caseSensitive));
    run.engine->setWholeWordOnly(wholeWord);
    const QStringList found = run.scan(dir.path(), pattern);
    QCOMPARE(run.events.filter("OnError"), QStringList{});
    if (column == 0)
        QCOMPARE(found, QStringList{});
    else
        QCOMPARE(found,
                 QStringList{QStringLiteral("f:2:%1:%2").arg(column).arg(QString::fromUtf8(line))});
}

void tst_SearchOptions::regexOnLongLineMatchesKeptText() {
    // A line longer than the buffer is matched on the text a finding keeps (its first MiB).
    Scan::setBlockSize(64);
    QTemporaryDir dir;
    QByteArray line(300, 'x');
    line.replace(250, 5, "ab123");
    QByteArray far(FileSearch::kTextLimit + 100, 'y');
    far.replace(far.size() - 10, 5, "ab123");
    writeTree(dir.path(), {{"a", "0\n" + line + "\n" + far + "\nab9\n"}});
    EngineRun run;
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    run.scan(dir.path(), "ab\\d+");
    QCOMPARE(run.engine->SearchCount(), 2);
    QCOMPARE(run.engine->FoundLines()->Item(1).toInt(), 2);
    QCOMPARE(run.engine->FoundColumns()->Item(1).toInt(), 251);
    QCOMPARE(run.engine->FoundLines()->Item(2).toInt(), 4);
}

void tst_SearchOptions::regexPrefilterTakesOnlyRequiredText_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("literals"); // looked for first: every match holds one
    QTest::newRow("escaped punctuation") << "ERR_PTR\\(-E[A-Z]+\\)" << QStringList{"ERR_PTR(-E"};
    QTest::newRow("quantified letter dropped") << "colou?r" << QStringList{"colo"};
    QTest::newRow("counted repeat") << "x{2}yz" << QStringList{"yz"};
    QTest::newRow("class escapes") << "\\d+foo\\.bar\\b" << QStringList{"foo.bar"};
    QTest::newRow("classes skipped") << "[)(]ab[[:alpha:]]+xyz[]q]" << QStringList{"xyz"};
    QTest::newRow("optional group skipped") << "(a(b)c)?de" << QStringList{"de"};
    QTest::newRow("non-ASCII ends a run") << "ab\u00e9cd" << QStringList{"ab"};
    QTest::newRow("alternatives") << "kmalloc|kzalloc" << QStringList{"kmalloc", "kzalloc"};
    QTest::newRow("alternatives in a group that must match")
        << "\\b(?:kmalloc|kzalloc)\\(" << QStringList{"kmalloc", "kzalloc"};
    QTest::newRow("longer run than the group's") << "(ab|cd)+_lock" << QStringList{"_lock"};
    QTest::newRow("nested") << "x(?:a(bcd|efg)|hij)|klm" << QStringList{"bcd", "efg", "hij", "klm"};
    QTest::newRow("alternative without text") << "abcd|x*" << QStringList{};
    QTest::newRow("empty alternative") << "(abc|)def|g" << QStringList{"def", "g"};
    QTest::newRow("group that may repeat none") << "(abc|def)*|x" << QStringList{};
    QTest::newRow("inline option") << "(?i)abcd" << QStringList{};
    QTest::newRow("hex escape") << "\\x{41}BCD" << QStringList{};
    QTest::newRow("back reference") << "(a)\\1bcd" << QStringList{};
    QTest::newRow("quoting") << "\\Q.*\\Eabcd" << QStringList{};
    QTest::newRow("verb") << "(*ACCEPT)ab|cd" << QStringList{};
}

void tst_SearchOptions::regexPrefilterTakesOnlyRequiredText() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, literals);
    QCOMPARE(RegexMatcher::requiredLiterals(pattern), literals);
}

void tst_SearchOptions::badOptionsAreRefusedAtGrep_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<QString>("error");
    QTest::newRow("unclosed group") << "ab(c" << false << ""
                                    << "-13 Invalid Regular Expression: missing closing "
                                       "parenthesis at character 5";
    QTest::newRow("position in characters") << "\xC3\xA9\xF0\x9F\x98\x80[" << false << ""
                                            << "-13 Invalid Regular Expression: missing "
                                               "terminating ] for character class at character 4";
    QTest::newRow("comment swallows the word rule") << "(?x)a #c" << true << ""
                                                    << "-13 Invalid Regular Expression: it cannot "
                                                       "be searched as a whole word (missing "
                                                       "closing parenthesis)";
    QTest::newRow("huge pattern") << QString(70000, 'a') << false << ""
                                  << "-13 Invalid Regular Expression: pattern longer than 65536 "
                                     "characters";
    QTest::newRow("compiled form too large")
        << "[ab]" + QString(12000, 'a') << false << ""
        << "-13 Invalid Regular Expression: regular expression is too large at character 12005";
    QTest::newRow("path in list") << "ok" << false << " .git ; src/build "
                                  << "-14 Invalid Exclude Folders: \"src/build\" is not a folder "
                                     "name";
}

void tst_SearchOptions::badOptionsAreRefusedAtGrep() {
    QFETCH(QString, pattern);
    QFETCH(bool, wholeWord);
    QFETCH(QString, exclude);
    QFETCH(QString, error);
    QTemporaryDir dir;
    EngineRun run;
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    run.engine->setWholeWordOnly(wholeWord);
    run.engine->setExcludeFolders(exclude);
    QCOMPARE(run.scan(dir.path(), pattern, QString()), QStringList{});
    QCOMPARE(run.events, QStringList{"OnError -12 Invalid Search File Type"}); // tested first
    run.events.clear();
    QCOMPARE(run.scan(dir.path(), pattern), QStringList{});
    QCOMPARE(run.events, QStringList{"OnError " + error});
}

void tst_SearchOptions::writeThatBreaksOptionsDuringScanIsRefused() {
    QTemporaryDir dir;
    writeTree(dir.path(), {{"a", "a(b\n"}});
    EngineRun run;
    run.engine->setSearchPath(dir.path());
    run.engine->setSearchString("a\\(");
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    run.engine->Grep(); // armed: the scan starts at the next tick
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, run.engine->setSearchString("a("));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, run.engine->setExcludeFolders("a/b"));
    run.engine->setSearchString("\\(b"); // a sound pattern is taken
    QVERIFY(run.waitIdle());
    QCOMPARE(run.engine->SearchString(), QString("\\(b"));
    QCOMPARE(run.engine->ExcludeFolders(), QString());
    QCOMPARE(run.findings(dir.path()), QStringList{"a:1:2:a(b"});
    // Idle, any value is kept; Grep refuses it.
    run.engine->setSearchString("a(");
    QCOMPARE(run.engine->SearchString(), QString("a("));
}

void tst_SearchOptions::catastrophicPatternIsReportedNotHung() {
    QTemporaryDir dir;
    const QByteArray evil = QByteArray(40, 'a') + "!\n";
    writeTree(dir.path(), {{"1", "aa\n" + evil + evil}, {"2", "aa\n"}});
    EngineRun run;
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    QCOMPARE(run.scan(dir.path(), "^(a+)+$"), (QStringList{"1:1:1:aa", "2:1:1:aa"}));
    QCOMPARE(run.events.size(), 3);
    QVERIFY2(run.events.at(1).startsWith("OnError -100 " + dir.path() +
                                         "/1: The regular "
                                         "expression cannot be "
                                         "matched"),
             qPrintable(run.events.at(1)));
    QCOMPARE(run.events.last(), QString("ScanCompleted"));
}

void tst_SearchOptions::excludedFoldersAreNotEntered_data() {
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<QStringList>("found");
    const QStringList all{
        "top",   ".git/x",     "build/x",           "build-rel/x", "node_modules/x",
        "src/f", "src/.git/y", "src/node_modules/y"};
    QTest::newRow("default") << "" << all;
    QTest::newRow("only separators") << " ; ;; " << all;
    QTest::newRow("names and a glob") << ".git;node_modules;build*" << QStringList{"top", "src/f"};
    QTest::newRow("glob with brackets")
        << "[bn]*" << QStringList{"top", ".git/x", "src/f", "src/.git/y"};
    QTest::newRow("no glob matches a file") << "top;f" << all;
    QTest::newRow("escaped name, glob twice")
        << "b\\uild;build*;build*" << QStringList{"top",   ".git/x",     "node_modules/x",
                                                  "src/f", "src/.git/y", "src/node_modules/y"};
}

namespace {
// The calling thread's processor time: what the walk spends between yields, however loaded the
// machine is.
qint64 threadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
} // namespace

// A folder's name is tested against every glob of the list: a long list still lets the walk
// yield every few milliseconds.
void tst_SearchOptions::longExcludeListKeepsTheWalkAnswering() {
    QTemporaryDir dir;
    const QString name = QString(200, u'a') + QStringLiteral("keep");
    writeTree(dir.path(), {{"top", "hit\n"}, {name + "/x", "hit\n"}});
    QStringList globs;
    for (int i = 0; i < 100000; ++i)
        globs << QStringLiteral("*a*a*z%1").arg(i);
    EngineRun run;
    run.engine->setExcludeFolders(globs.join(u';'));
    qint64 lastYield = -1;
    qint64 longest = 0;
    setDoEventsHook([&] {
        const qint64 now = threadMs();
        if (lastYield >= 0)
            longest = std::max(longest, now - lastYield);
        lastYield = now;
    });
    QCOMPARE(run.scan(dir.path(), "hit"), (QStringList{"top:1:1:hit", name + "/x:1:1:hit"}));
    QVERIFY2(longest < 50, qPrintable(QStringLiteral("no yield for %1 ms").arg(longest)));
}

void tst_SearchOptions::excludedFoldersAreNotEntered() {
    QFETCH(QString, exclude);
    QFETCH(QStringList, found);
    QTemporaryDir dir;
    writeTree(dir.path(), {{"top", "hit\n"},
                           {".git/x", "hit\n"},
                           {"build/x", "hit\n"},
                           {"build-rel/x", "hit\n"},
                           {"node_modules/x", "hit\n"},
                           {"src/f", "hit\n"},
                           {"src/.git/y", "hit\n"},
                           {"src/node_modules/y", "hit\n"}});
    EngineRun run;
    run.engine->setExcludeFolders(exclude);
    QStringList paths;
    for (const QString &finding : run.scan(dir.path(), "hit"))
        paths << finding.section(u':', 0, 0);
    QCOMPARE(paths, found);
    QCOMPARE(run.engine->FilesSearched(), found.size());
}

void tst_SearchOptions::binaryFilesAreSkippedOnlyWhenAsked() {
    QTemporaryDir dir;
    QByteArray lateNul = "hit\n" + QByteArray(FileSearch::kBlockSize, 'x');
    lateNul += '\0';
    writeTree(dir.path(),
              {{"bin", QByteArray("hit\0x\n", 6)}, {"late", lateNul}, {"text", "hit\n"}});
    EngineRun run;
    QCOMPARE(run.scan(dir.path(), "hit").size(), 3);
    run.engine->setSkipBinaryFiles(Tavrin::vbTrue);
    QStringList paths;
    for (const QString &finding : run.scan(dir.path(), "hit"))
        paths << finding.section(u':', 0, 0);
    QCOMPARE(paths, (QStringList{"late", "text"})); // only the first block is looked at
    QCOMPARE(run.events.filter("OnError"), QStringList{});
}

void tst_SearchOptions::progressTellsFilesAndFolder() {
    QTemporaryDir dir;
    writeTree(dir.path(), {{"a.txt", "x\n"}, {"b.log", "x\n"}, {"sub/c.txt", "x\n"}});
    EngineRun run;
    QStringList seen; // folder and count at each yield
    setDoEventsHook([&] {
        const QString folder = QDir(dir.path()).relativeFilePath(run.engine->CurrentFolder());
        const QString entry = QStringLiteral("%1 %2").arg(folder).arg(run.engine->FilesSearched());
        if (seen.isEmpty() || seen.last() != entry)
            seen << entry;
    });
    run.scan(dir.path(), "x", "*.txt");
    setDoEventsHook({});
    QCOMPARE(seen, (QStringList{". 0", ". 1", "sub 1", "sub 2"}));
    QCOMPARE(run.engine->FilesSearched(), 2);
    QCOMPARE(run.engine->CurrentFolder(), QString());
}

QTEST_GUILESS_MAIN(tst_SearchOptions)
#include "tst_SearchOptions.moc"
