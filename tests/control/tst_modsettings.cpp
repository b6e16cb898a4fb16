#include "PrivateProfile.h"
#include "SettingsFolder.h"
#include "modSettings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <thread>

namespace {

// Records the option calls LoadSettings makes, in order.
struct FakeEngine {
    QStringList calls;
    void setCaseSensitive(Tavrin::VBool v) { calls << QString("CaseSensitive=%1").arg(v); }
    void setWholeWordOnly(const QVariant &v) { record("WholeWordOnly", v); }
    void setLookInSubfolders(const QVariant &v) { record("LookInSubfolders", v); }
    void setExcludeFolders(const QString &v) { calls << "ExcludeFolders=" + v; }
    void setSkipBinaryFiles(Tavrin::VBool v) { calls << QString("SkipBinaryFiles=%1").arg(v); }
    void setUseRegularExpression(Tavrin::VBool v) {
        calls << QString("UseRegularExpression=%1").arg(v);
    }
    void record(const char *name, const QVariant &v) {
        calls << QString("%1=%2:%3").arg(name, v.typeName(), v.toString());
    }
};

struct Loaded {
    FakeEngine engine;
    std::array<qint32, 4> widths{};
    Tavrin::VBool stream = 1; // neither true nor false until loaded
    Tavrin::VBool regex = 1;
    KeyedCollection paths, exts, searches;
};

Loaded load() {
    Loaded l;
    LoadSettings(l.engine, l.widths, l.stream, l.regex, l.paths, l.exts, l.searches);
    return l;
}

QStringList entries(const KeyedCollection &list) {
    return QStringList(list.begin(), list.end());
}

QString readKey(const QString &section, const QString &key) {
    return GetPrivateProfileStringA(section, key, "<none>", 500, SettingsFilePath());
}

void writeFile(const QByteArray &text) {
    QFile f(SettingsFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class TestModSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void noFileGivesDefaultsAndCreatesNothing();
    void flagIsFalseOnlyForExactFALSE_data();
    void flagIsFalseOnlyForExactFALSE();
    void unusableWidthGivesDefault_data();
    void unusableWidthGivesDefault();
    void writtenOptionsAndWidthsLoadBack();
    void searchOptionsReachEngineOnlyAwayFromDefaults_data();
    void searchOptionsReachEngineOnlyAwayFromDefaults();

    void savedListFillsTheHighestKeys();
    void reusedValueMovesToNewestWithItsSpelling();
    void onlyTwentyNewestReachTheFile();
    void loadSkipsSentinelEmptyGapsAndDuplicates_data();
    void loadSkipsSentinelEmptyGapsAndDuplicates();

    void settingsFileIsPerThreadAndNamedAfterInstance();

private:
    std::unique_ptr<QTemporaryDir> mDir;
};

void TestModSettings::init() {
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    const QString folder = mDir->filePath("tavrin");
    SettingsFolder::setLookup([folder] { return folder; });
    setSettingsFilePath(DefaultSettingsFile());
}

void TestModSettings::cleanup() {
    SettingsFolder::setLookup({});
    setSettingsFilePath(QString());
}

void TestModSettings::noFileGivesDefaultsAndCreatesNothing() {
    const Loaded l = load();
    QCOMPARE(l.widths, (std::array<qint32, 4>{2150, 630, 450, 1750}));
    QCOMPARE(l.engine.calls, (QStringList{"CaseSensitive=0", "WholeWordOnly=bool:false",
                                          "LookInSubfolders=bool:false"}));
    QCOMPARE(l.stream, Tavrin::vbTrue);
    QCOMPARE(l.paths.Count() + l.exts.Count() + l.searches.Count(), 0);
    QVERIFY(!QFileInfo::exists(mDir->filePath("tavrin")));
}

void TestModSettings::flagIsFalseOnlyForExactFALSE_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("FALSE") << QByteArray("FALSE") << false;
    QTest::newRow("FALSE, NUL, junk") << QByteArray("FALSE\0junk", 10) << false;
    QTest::newRow("TRUE") << QByteArray("TRUE") << true;
    QTest::newRow("lower-case false") << QByteArray("false") << true;
    QTest::newRow("digit 0") << QByteArray("0") << true;
    QTest::newRow("empty") << QByteArray("") << true;
}

void TestModSettings::flagIsFalseOnlyForExactFALSE() {
    QFETCH(QByteArray, value);
    QFETCH(bool, expected);
    QDir().mkpath(mDir->filePath("tavrin"));
    writeFile("[General]\nCaseSensitive=" + value + "\nWholeWordOnly=" + value +
              "\nLookInSubfolders=" + value + "\nStreamFindings=" + value + "\n");

    const Loaded l = load();
    const QString b = expected ? "true" : "false";
    QCOMPARE(l.engine.calls,
             (QStringList{QString("CaseSensitive=%1").arg(Tavrin::toVBool(expected)),
                          "WholeWordOnly=bool:" + b, "LookInSubfolders=bool:" + b}));
    QCOMPARE(l.stream, Tavrin::toVBool(expected));
}

void TestModSettings::unusableWidthGivesDefault_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("whole number") << QByteArray("3000") << 3000;
    QTest::newRow("blanks around") << QByteArray("  700 ") << 700;
    QTest::newRow("fraction") << QByteArray("12.5") << 2150;
    QTest::newRow("text") << QByteArray("wide") << 2150;
    QTest::newRow("empty") << QByteArray("") << 2150;
    QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << 2150;
    QTest::newRow("negative") << QByteArray("-40") << 2150;
    QTest::newRow("zero: a hidden column") << QByteArray("0") << 0;
    QTest::newRow("widest usable") << QByteArray("1440000") << 1440000;
    QTest::newRow("wider than any screen") << QByteArray("2000000000") << 2150;
}

void TestModSettings::unusableWidthGivesDefault() {
    QFETCH(QByteArray, value);
    QFETCH(qint32, expected);
    QDir().mkpath(mDir->filePath("tavrin"));
    writeFile("[General]\nCol1Width=" + value + "\nCol4Width=5\n");
    const Loaded l = load();
    QCOMPARE(l.widths, (std::array<qint32, 4>{expected, 630, 450, 5}));
}

void TestModSettings::writtenOptionsAndWidthsLoadBack() {
    SaveColumnWidths(std::array<qint32, 4>{100, 200, 300, 400});
    WriteFlagSetting("CaseSensitive", true);
    WriteFlagSetting("WholeWordOnly", true);
    WriteFlagSetting("LookInSubfolders", false);
    WriteFlagSetting("StreamFindings", false);
    QCOMPARE(readKey("General", "Col3Width"), QString("300"));
    QCOMPARE(readKey("General", "WholeWordOnly"), QString("TRUE"));

    const Loaded l = load();
    QCOMPARE(l.widths, (std::array<qint32, 4>{100, 200, 300, 400}));
    QCOMPARE(l.engine.calls, (QStringList{"CaseSensitive=-1", "WholeWordOnly=bool:true",
                                          "LookInSubfolders=bool:false"}));
    QCOMPARE(l.stream, Tavrin::vbFalse);
}

void TestModSettings::searchOptionsReachEngineOnlyAwayFromDefaults_data() {
    QTest::addColumn<QByteArray>("general");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<Tavrin::VBool>("regex");
    const QStringList classic{"CaseSensitive=0", "WholeWordOnly=bool:false",
                              "LookInSubfolders=bool:false"};
    QTest::newRow("file from before the options")
        << QByteArray("CaseSensitive=FALSE\n") << classic << Tavrin::vbFalse;
    QTest::newRow("written at their defaults")
        << QByteArray("ExcludeFolders=\nSkipBinaryFiles=FALSE\nUseRegularExpression=FALSE\n")
        << classic << Tavrin::vbFalse;
    QTest::newRow("all set")
        << QByteArray("ExcludeFolders=.git;node_modules;build*\nSkipBinaryFiles=TRUE\n"
                      "UseRegularExpression=TRUE\n")
        << classic + QStringList{"ExcludeFolders=.git;node_modules;build*", "SkipBinaryFiles=-1",
                                 "UseRegularExpression=-1"}
        << Tavrin::vbTrue;
    QTest::newRow("a flag is false only for exact FALSE")
        << QByteArray("SkipBinaryFiles=false\nUseRegularExpression=0\n")
        << classic + QStringList{"SkipBinaryFiles=-1", "UseRegularExpression=-1"} << Tavrin::vbTrue;
}

void TestModSettings::searchOptionsReachEngineOnlyAwayFromDefaults() {
    QFETCH(QByteArray, general);
    QFETCH(QStringList, calls);
    QFETCH(Tavrin::VBool, regex);
    QDir().mkpath(mDir->filePath("tavrin"));
    writeFile("[General]\n" + general);
    const Loaded l = load();
    QCOMPARE(l.engine.calls, calls);
    QCOMPARE(l.regex, regex);
    // What the control writes loads back as it was written.
    WriteGeneralSetting(ExcludeFoldersKey, "vendor;.*");
    WriteFlagSetting(UseRegularExpressionKey, false);
    QCOMPARE(load().engine.calls.filter("UseRegularExpression"), QStringList());
    QCOMPARE(load().engine.calls.filter("ExcludeFolders"), QStringList{"ExcludeFolders=vendor;.*"});
}

void TestModSettings::savedListFillsTheHighestKeys() {
    KeyedCollection list;
    for (const char *folder : {"/a", "/b", "/c"}) {
        AddRecentValue(list, folder);
        SaveRecentList("SearchPath", list);
    }
    QCOMPARE(readKey("SearchPath", "SearchPath17"), QString("<none>"));
    QCOMPARE(readKey("SearchPath", "SearchPath18"), QString("/a"));
    QCOMPARE(readKey("SearchPath", "SearchPath20"), QString("/c"));

    AddRecentValue(list, "/a");
    AddRecentValue(list, ""); // changes nothing
    SaveRecentList("SearchPath", list);
    QCOMPARE(entries(list), (QStringList{"/b", "/c", "/a"}));
    QCOMPARE(readKey("SearchPath", "SearchPath18"), QString("/b"));
    QCOMPARE(readKey("SearchPath", "SearchPath19"), QString("/c"));
    QCOMPARE(readKey("SearchPath", "SearchPath20"), QString("/a"));
    QCOMPARE(entries(load().paths), (QStringList{"/b", "/c", "/a"}));

    // A shorter list later deletes nothing: the keys below it keep their values.
    KeyedCollection fresh;
    AddRecentValue(fresh, "/z");
    SaveRecentList("SearchPath", fresh);
    QCOMPARE(entries(load().paths), (QStringList{"/b", "/c", "/z"}));
}

void TestModSettings::reusedValueMovesToNewestWithItsSpelling() {
    KeyedCollection list;
    for (const char *s : {"Needle", "hay", "NEEDLE"})
        AddRecentValue(list, s);
    SaveRecentList("SearchFor", list);
    QCOMPARE(entries(list), (QStringList{"hay", "NEEDLE"}));
    QCOMPARE(entries(load().searches), (QStringList{"hay", "NEEDLE"}));
}

void TestModSettings::onlyTwentyNewestReachTheFile() {
    KeyedCollection list;
    QStringList all;
    for (int i = 1; i <= 25; ++i) {
        all << QString("*.e%1").arg(i);
        AddRecentValue(list, all.last());
        SaveRecentList("FileExt", list);
    }
    QCOMPARE(list.Count(), 25);
    QCOMPARE(readKey("FileExt", "FileExt1"), QString("*.e6"));
    QCOMPARE(readKey("FileExt", "FileExt20"), QString("*.e25"));
    QCOMPARE(readKey("FileExt", "FileExt21"), QString("<none>"));
    QCOMPARE(entries(load().exts), all.mid(5));
}

void TestModSettings::loadSkipsSentinelEmptyGapsAndDuplicates_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("gaps") << QByteArray("SearchFor9=nine\nSearchFor5=five\n")
                          << QStringList{"five", "nine"};
    QTest::newRow("sentinel and empty")
        << QByteArray("SearchFor1=+-!#\nSearchFor2=\nSearchFor3=x\n") << QStringList{"x"};
    QTest::newRow("duplicate: the later key's spelling, at its place")
        << QByteArray("SearchFor3=abc\nSearchFor4=mid\nSearchFor7=ABC\n")
        << QStringList{"mid", "ABC"};
    QTest::newRow("keys outside 1..20 and padded numbers ignored")
        << QByteArray("SearchFor0=a\nSearchFor21=b\nSearchFor05=c\nSearchFor20=d\n")
        << QStringList{"d"};
}

void TestModSettings::loadSkipsSentinelEmptyGapsAndDuplicates() {
    QFETCH(QByteArray, section);
    QFETCH(QStringList, expected);
    QDir().mkpath(mDir->filePath("tavrin"));
    writeFile("[SearchFor]\n" + section);
    KeyedCollection list;
    AddRecentValue(list, "stale"); // loading replaces what the list held
    LoadRecentList("SearchFor", list);
    QCOMPARE(entries(list), expected);
}

void TestModSettings::settingsFileIsPerThreadAndNamedAfterInstance() {
    const QString folder = mDir->filePath("tavrin");
    QCOMPARE(DefaultSettingsFile(), folder + "/Tavrin.INI");
    QCOMPARE(InstanceSettingsFile("TavrinX1"), folder + "/TavrinX1.INI");
    QCOMPARE(InstanceSettingsFile("../../x"), folder + "/.._.._x.INI");

    setSettingsFilePath(InstanceSettingsFile("A"));
    QString seenByOtherThread = "unset";
    std::thread([&] { seenByOtherThread = SettingsFilePath(); }).join();
    QCOMPARE(seenByOtherThread, QString());
    QCOMPARE(SettingsFilePath(), folder + "/A.INI");

    WriteFlagSetting("CaseSensitive", true);
    QVERIFY(QFileInfo::exists(folder + "/A.INI"));
    QVERIFY(!QFileInfo::exists(folder + "/Tavrin.INI"));
}

QTEST_GUILESS_MAIN(TestModSettings)
#include "tst_modsettings.moc"
