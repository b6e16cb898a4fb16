// The control object on a host form: settings files, property writes, the results grid, its
// layout, double-click relay, cell reads and export.

#include "ControlFixture.h"
#include "PlatformError.h"
#include "TavrinXProxy.h"
#include "Twips.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

// The control's OnError events as (code, message) pairs.
class ErrorLog : public QList<QVariantList> {
public:
    using Base = QList<QVariantList>;
    explicit ErrorLog(TavrinX *control) {
        QObject::connect(control, &TavrinX::OnError, control, [this](qint32 &code, QString &text) {
            append({code, text});
        });
    }
};

class tst_TavrinX : public QObject {
    Q_OBJECT
private slots:
    void laterLoadedInstanceOwnsTheSettingsFile();
    void newInstanceKeepsThePathAlreadySet();
    void optionsLoadIntoEngineAndStreamFlag();
    void flagWritesStoreTrueOnlyForMinusOne_data();
    void flagWritesStoreTrueOnlyForMinusOne();
    void textWritesReachEngineThenRecentList();
    void emptySearchPathStillRewritesItsSection();
    void searchOptionsReachEngineAndSettingsFile();
    void searchOptionsShapeTheFindings_data();
    void searchOptionsShapeTheFindings();
    void refusedOptionsReachHostThroughOnError_data();
    void refusedOptionsReachHostThroughOnError();
    void writeThatBreaksRunningSearchIsRefused();
    void freshGridHoldsHeaderRowOnly();
    void columnWidthsSurviveRecreationAndTermination();
    void terminationWithoutSearchWritesWidths();
    void doubleClickRelaysFindingRowsOnly();
    void getDataMatrixAtItsEdges();
    void exportWritesHeaderAndFindingsWithCrLf();
    void exportFailureRaisesErrorAndReturnsFalse();
    void layoutKeepsGridAboveStatusBar();
    void looksLikeAResultsGrid();

private:
    // Runs a search of the fixture's tree to its end, findings delivered at the end.
    static void searchToEnd(TavrinX *control, const QString &folder, const QString &text);
};

void tst_TavrinX::searchToEnd(TavrinX *control, const QString &folder, const QString &text) {
    control->setSearchPath(folder);
    control->setSearchString(text);
    QVERIFY(ControlFixture::grepToEnd(control));
}

void tst_TavrinX::laterLoadedInstanceOwnsTheSettingsFile() {
    ControlFixture f;
    TavrinX *a = f.load("A");
    TavrinX *b = f.load("B");
    a->setCaseSensitive(Tavrin::vbTrue);
    QCOMPARE(f.readSetting("B", "General", "CaseSensitive"), QString("TRUE"));
    QCOMPARE(f.readSetting("A", "General", "CaseSensitive"), QString("<none>"));
    b->setSearchString("needle");
    QCOMPARE(f.readSetting("B", "SearchFor", "SearchFor20"), QString("needle"));
    f.terminate(a);
    QCOMPARE(f.readSetting("B", "General", "Col1Width"), QString("2150"));
    QVERIFY(!QFile::exists(f.settingsFile("A")));
}

void tst_TavrinX::newInstanceKeepsThePathAlreadySet() {
    ControlFixture f;
    TavrinX *first = f.createNew();
    first->setStreamFindings(Tavrin::vbFalse);
    QCOMPARE(f.readSetting("Tavrin", "General", "StreamFindings"), QString("FALSE"));
    f.load("Named");
    TavrinX *later = f.createNew("Other");
    later->setStreamFindings(Tavrin::vbTrue);
    QCOMPARE(f.readSetting("Named", "General", "StreamFindings"), QString("TRUE"));
    QCOMPARE(f.readSetting("Tavrin", "General", "StreamFindings"), QString("FALSE"));
}

void tst_TavrinX::optionsLoadIntoEngineAndStreamFlag() {
    ControlFixture f;
    const QString file = f.settingsFile("Loaded");
    WritePrivateProfileStringA("General", "CaseSensitive", "false", file); // not "FALSE": true
    WritePrivateProfileStringA("General", "WholeWordOnly", "TRUE", file);
    WritePrivateProfileStringA("General", "StreamFindings", "FALSE", file);
    WritePrivateProfileStringA("SearchPath", "SearchPath20", "/somewhere", file);
    TavrinX *control = f.load("Loaded");
    QCOMPARE(control->CaseSensitive(), Tavrin::vbTrue);
    QCOMPARE(control->WholeWordOnly(), QVariant(true));
    QCOMPARE(control->LookInSubfolders(), QVariant(false));
    QCOMPARE(control->StreamFindings(), Tavrin::vbFalse);
    // The text settings are not restored: the engine starts with its own defaults.
    QCOMPARE(control->SearchPath(), QString());
    QCOMPARE(control->SearchExt(), QString("*.*"));
    QCOMPARE(control->SearchCount(), 0);
}

void tst_TavrinX::flagWritesStoreTrueOnlyForMinusOne_data() {
    QTest::addColumn<qint16>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("true") << qint16(-1) << "TRUE";
    QTest::newRow("false") << qint16(0) << "FALSE";
    QTest::newRow("one") << qint16(1) << "FALSE";
}

void tst_TavrinX::flagWritesStoreTrueOnlyForMinusOne() {
    QFETCH(qint16, value);
    QFETCH(QString, stored);
    ControlFixture f;
    TavrinX *control = f.load("Flags");
    control->setCaseSensitive(value);
    QCOMPARE(control->CaseSensitive(), value); // the engine takes the value unchanged
    QCOMPARE(f.readSetting("Flags", "General", "CaseSensitive"), stored);
    control->setWholeWordOnly(QVariant(int(value)));
    QCOMPARE(f.readSetting("Flags", "General", "WholeWordOnly"), stored);
    QCOMPARE(control->WholeWordOnly(), QVariant(value != 0));
    control->setStreamFindings(value);
    QCOMPARE(f.readSetting("Flags", "General", "StreamFindings"), stored);
}

void tst_TavrinX::textWritesReachEngineThenRecentList() {
    ControlFixture f;
    TavrinX *control = f.load("Texts");
    control->setSearchExt("*.TXT");
    QCOMPARE(control->SearchExt(), QString("*.txt"));
    QCOMPARE(f.readSetting("Texts", "FileExt", "FileExt20"), QString("*.TXT"));
    // A relative folder is taken from the host's working folder, for the engine and the list.
    f.write("other/x.txt", "");
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(f.tree()));
    control->setSearchPath("sub/../other");
    QDir::setCurrent(here);
    const QString other = QDir(f.tree()).canonicalPath() + "/other";
    QCOMPARE(control->SearchPath(), other);
    QCOMPARE(f.readSetting("Texts", "SearchPath", "SearchPath20"), other);
    // A write the engine refuses writes nothing to the settings file.
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError,
                             control->setLookInSubfolders(QVariant("maybe")));
    QCOMPARE(f.readSetting("Texts", "General", "LookInSubfolders"), QString("<none>"));
}

void tst_TavrinX::emptySearchPathStillRewritesItsSection() {
    ControlFixture f;
    TavrinX *control = f.load("Paths");
    control->setSearchPath("/first");
    WritePrivateProfileStringA("SearchPath", "SearchPath20", "edited", f.settingsFile("Paths"));
    control->setSearchPath("");
    QCOMPARE(control->SearchPath(), QString());
    QCOMPARE(f.readSetting("Paths", "SearchPath", "SearchPath20"), QString("/first"));
    QCOMPARE(f.readSetting("Paths", "SearchPath", "SearchPath19"), QString("<none>"));
}

void tst_TavrinX::searchOptionsReachEngineAndSettingsFile() {
    ControlFixture f;
    TavrinX *control = f.load("Options");
    control->setExcludeFolders(".git;node_modules");
    control->setSkipBinaryFiles(1); // any non-zero value: the engine and the file say true
    control->setUseRegularExpression(Tavrin::vbTrue);
    QCOMPARE(control->ExcludeFolders(), QString(".git;node_modules"));
    QCOMPARE(control->SkipBinaryFiles(), Tavrin::vbTrue);
    QCOMPARE(control->UseRegularExpression(), Tavrin::vbTrue);
    QCOMPARE(f.readSetting("Options", "General", "ExcludeFolders"), QString(".git;node_modules"));
    QCOMPARE(f.readSetting("Options", "General", "SkipBinaryFiles"), QString("TRUE"));
    QCOMPARE(f.readSetting("Options", "General", "UseRegularExpression"), QString("TRUE"));

    TavrinX *again = f.load("Options");
    QCOMPARE(again->ExcludeFolders(), QString(".git;node_modules"));
    QCOMPARE(again->SkipBinaryFiles(), Tavrin::vbTrue);
    QCOMPARE(again->UseRegularExpression(), Tavrin::vbTrue);
    again->setUseRegularExpression(Tavrin::vbFalse);
    again->setExcludeFolders("");
    QCOMPARE(f.readSetting("Options", "General", "UseRegularExpression"), QString("FALSE"));
    QCOMPARE(f.readSetting("Options", "General", "ExcludeFolders"), QString());
    QCOMPARE(f.load("Options")->UseRegularExpression(), Tavrin::vbFalse);
}

void tst_TavrinX::searchOptionsShapeTheFindings_data() {
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<Tavrin::VBool>("skipBinary");
    QTest::addColumn<Tavrin::VBool>("regex");
    QTest::addColumn<QVariant>("wholeWord");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("findings"); // file:line:column, sorted
    QTest::addColumn<qint32>("filesSearched");
    const QStringList all{"a.txt:1:5", "a.txt:2:1", "b.txt:1:1", "bin.dat:1:1", "m.txt:1:1"};
    QTest::newRow("no options") << "" << Tavrin::vbFalse << Tavrin::vbFalse << QVariant(false)
                                << "needle" << all << 4;
    QTest::newRow("excluded folders, blanks and an empty entry")
        << " node_modules ;; build*" << Tavrin::vbFalse << Tavrin::vbFalse << QVariant(false)
        << "needle" << QStringList{"a.txt:1:5", "a.txt:2:1", "bin.dat:1:1"} << 2;
    QTest::newRow("binary file skipped")
        << "" << Tavrin::vbTrue << Tavrin::vbFalse << QVariant(false) << "needle"
        << QStringList{"a.txt:1:5", "a.txt:2:1", "b.txt:1:1", "m.txt:1:1"} << 4;
    QTest::newRow("pattern: column of its first match")
        << "" << Tavrin::vbFalse << Tavrin::vbTrue << QVariant(false) << "e{2}dle\\b"
        << QStringList{"a.txt:1:6", "b.txt:1:2", "bin.dat:1:2", "m.txt:1:2"} << 4;
    QTest::newRow("pattern as a whole word, all options")
        << "node_modules" << Tavrin::vbTrue << Tavrin::vbTrue << QVariant(true) << "NEED(LE|ful)"
        << QStringList{"a.txt:1:5", "b.txt:1:1"} << 3;
}

void tst_TavrinX::searchOptionsShapeTheFindings() {
    QFETCH(QString, exclude);
    QFETCH(Tavrin::VBool, skipBinary);
    QFETCH(Tavrin::VBool, regex);
    QFETCH(QVariant, wholeWord);
    QFETCH(QString, text);
    QFETCH(QStringList, findings);
    QFETCH(qint32, filesSearched);
    ControlFixture f;
    f.write("src/a.txt", "foo needle\nneedle2 x\n");
    f.write("node_modules/pkg/m.txt", "needle in module\n");
    f.write("build-x/b.txt", "needle built\n");
    f.write("bin.dat", QByteArray("needle\0binary\n", 14));
    TavrinX *control = f.load("Shape");
    control->setLookInSubfolders(true);
    control->setWholeWordOnly(wholeWord);
    // Options left untouched are never sent nor written.
    if (!exclude.isEmpty())
        control->setExcludeFolders(exclude);
    if (skipBinary)
        control->setSkipBinaryFiles(skipBinary);
    if (regex)
        control->setUseRegularExpression(regex);
    searchToEnd(control, f.tree(), text);
    if (exclude.isEmpty())
        QCOMPARE(f.readSetting("Shape", "General", "ExcludeFolders"), QString("<none>"));
    if (!regex)
        QCOMPARE(f.readSetting("Shape", "General", "UseRegularExpression"), QString("<none>"));

    QStringList found;
    for (qint32 row = 1; row <= control->SearchCount(); ++row) {
        QStringList cells;
        for (qint32 column = 0; column < 3; ++column)
            cells << control->GetDataMatrix(row, column);
        cells[0] = QFileInfo(cells[0]).fileName();
        found << cells.join(':');
    }
    found.sort();
    QCOMPARE(found, findings);
    QCOMPARE(control->FilesSearched(), filesSearched);
    QCOMPARE(control->CurrentFolder(), QString()); // idle again
}

void tst_TavrinX::refusedOptionsReachHostThroughOnError_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("unbalanced parenthesis")
        << "ab(c"
        << "" << -13
        << "Invalid Regular Expression: missing closing parenthesis at "
           "character 5";
    QTest::newRow("folder path in the list")
        << "x"
        << "ok;x/y" << -14 << "Invalid Exclude Folders: \"x/y\" is not a folder name";
}

void tst_TavrinX::refusedOptionsReachHostThroughOnError() {
    QFETCH(QString, pattern);
    QFETCH(QString, exclude);
    QFETCH(qint32, code);
    QFETCH(QString, message);
    ControlFixture f;
    f.write("a.txt", "abc\n");
    TavrinX *control = f.load("Refused");
    control->setUseRegularExpression(Tavrin::vbTrue);
    control->setExcludeFolders(exclude);
    control->setSearchPath(f.tree());
    control->setSearchString(pattern);
    ErrorLog errors(control);
    QSignalSpy started(control, &TavrinX::ScanStarted);
    control->Grep();
    QCOMPARE(static_cast<const ErrorLog::Base &>(errors), (ErrorLog::Base{{code, message}}));
    QCOMPARE(control->SearchActive(), Tavrin::vbFalse);
    QTest::qWait(50);
    QCOMPARE(started.count(), 0);
}

void tst_TavrinX::writeThatBreaksRunningSearchIsRefused() {
    ControlFixture f;
    f.write("a.txt", "a(b\n");
    TavrinX *control = f.load("Running");
    QStringList refusals;
    connect(control, &TavrinX::ScanStarted, this, [&] {
        // The engine serves this write while it waits for the event: the scan has begun.
        for (const auto &write : std::initializer_list<std::function<void()>>{
                 [&] { control->setUseRegularExpression(Tavrin::vbTrue); },
                 [&] { control->setExcludeFolders("a/b"); }}) {
            try {
                write();
            } catch (const Tavrin::PlatformError &e) {
                refusals << QString::number(e.number());
            }
        }
    });
    searchToEnd(control, f.tree(), "a(b");
    QCOMPARE(refusals, (QStringList{"380", "380"}));
    QCOMPARE(control->SearchCount(), 1); // the literal search went on as it was
    QCOMPARE(control->UseRegularExpression(), Tavrin::vbFalse);
    QCOMPARE(control->ExcludeFolders(), QString());
    QCOMPARE(f.readSetting("Running", "General", "UseRegularExpression"), QString("<none>"));
    QCOMPARE(f.readSetting("Running", "General", "ExcludeFolders"), QString("<none>"));
    // Nothing of the refused write stays behind: the next search is literal again.
    QVERIFY(ControlFixture::grepToEnd(control));
    QCOMPARE(control->SearchCount(), 1);
}

void tst_TavrinX::freshGridHoldsHeaderRowOnly() {
    ControlFixture f;
    TavrinX *control = f.load("Grid");
    auto *grid = ControlFixture::grid(control);
    QVERIFY(grid);
    QCOMPARE(grid->Rows(), 1);
    QCOMPARE(grid->Cols(), 4);
    const QStringList headers{"File", "Line", "Col", "Item Found"};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(grid->TextMatrix(0, c), headers.at(c));
    const QList<int> widths{2150, 630, 450, 1750};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(grid->ColWidth(c), widths.at(c));
    QCOMPARE(control->findChildren<Tavrin::ResultsTableView *>("fgFiles").size(), 1);
}

void tst_TavrinX::columnWidthsSurviveRecreationAndTermination() {
    ControlFixture f;
    f.write("a.txt", "needle\n");
    TavrinX *control = f.load("Widths");
    ControlFixture::grid(control)->setColWidth(0, 3000);
    ControlFixture::grid(control)->setColWidth(3, 900);
    // Shown wide, the last column stretches over the room left; its stored width does not.
    control->resize(1600, 400);
    f.form()->show();
    searchToEnd(control, f.tree(), "needle");
    auto *grid = ControlFixture::grid(control);
    QCOMPARE(grid->Rows(), 2);
    QVERIFY(grid->columnWidth(3) > 3 * grid->columnWidth(0));
    QCOMPARE(grid->ColWidth(0), 3000);
    QCOMPARE(grid->ColWidth(3), 900);
    f.terminate(control);
    QCOMPARE(f.readSetting("Widths", "General", "Col1Width"), QString("3000"));
    QCOMPARE(f.readSetting("Widths", "General", "Col2Width"), QString("630"));
    QCOMPARE(f.readSetting("Widths", "General", "Col4Width"), QString("900"));
    // The next load starts with the stored widths.
    TavrinX *again = f.load("Widths");
    QCOMPARE(ControlFixture::grid(again)->ColWidth(0), 3000);
}

void tst_TavrinX::terminationWithoutSearchWritesWidths() {
    ControlFixture f;
    WritePrivateProfileStringA("General", "Col3Width", "not a number", f.settingsFile("Idle"));
    WritePrivateProfileStringA("General", "Col1Width", "-40", f.settingsFile("Idle"));
    TavrinX *control = f.load("Idle"); // a width the grid refuses does not stop the load
    f.terminate(control);
    QCOMPARE(f.readSetting("Idle", "General", "Col1Width"), QString("2150"));
    QCOMPARE(f.readSetting("Idle", "General", "Col3Width"), QString("450"));
    QCOMPARE(f.readSetting("Idle", "General", "Col4Width"), QString("1750"));
}

void tst_TavrinX::doubleClickRelaysFindingRowsOnly() {
    ControlFixture f;
    f.write("a.txt", "one\nthe needle here\n");
    TavrinX *control = f.load("Clicks");
    searchToEnd(control, f.tree(), "needle");
    auto *grid = ControlFixture::grid(control);
    grid->AddItem("an error row"); // what an engine error leaves below the findings
    QList<QVariantList> clicks;
    connect(control, &TavrinX::DblClick, this,
            [&](QString &file, qint32 &line, qint32 &column, QString &found) {
                clicks.append({file, line, column, found});
            });

    grid->setRow(0);
    emit grid->DblClick();
    QCOMPARE(clicks.count(), 0);

    grid->setRow(1);
    emit grid->DblClick();
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toString(), QFileInfo(f.tree() + "/a.txt").absoluteFilePath());
    QCOMPARE(clicks.at(0).at(1).toInt(), 2);
    QCOMPARE(clicks.at(0).at(2).toInt(), 5);
    QCOMPARE(clicks.at(0).at(3).toString(), QString("the needle here"));

    grid->setRow(2); // cells 1 and 2 are not numbers: they come as 0
    emit grid->DblClick();
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(clicks.at(1).at(0).toString(), QString("an error row"));
    QCOMPARE(clicks.at(1).at(1).toInt(), 0);

    // Enter opens a finding as a double-click does; on the error row it does nothing.
    QVERIFY(!grid->isMessageRow(1));
    QVERIFY(grid->isMessageRow(2));
    grid->setRow(1);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(clicks.count(), 3);
    grid->setRow(2);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(clicks.count(), 3);
}

void tst_TavrinX::getDataMatrixAtItsEdges() {
    ControlFixture f;
    f.write("a.txt", "needle one\nneedle two\n");
    TavrinX *control = f.load("Matrix");
    searchToEnd(control, f.tree(), "needle");
    QCOMPARE(control->SearchCount(), 2);
    ErrorLog errors(control);
    auto read = [control](qint32 row, qint32 column) {
        return control->GetDataMatrix(row, column);
    };

    QCOMPARE(read(0, 0), QString("File"));
    QCOMPARE(read(0, 3), QString("Item Found"));
    QCOMPARE(read(2, 3), QString("needle two"));
    QCOMPARE(errors.count(), 0);

    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, read(1, 4));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), -103);
    QCOMPARE(errors.at(0).at(1).toString(), QString("The parameters sent are not valid."));

    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, read(3, 0)); // past the findings, no error row
    QCOMPARE(errors.count(), 2);
    ControlFixture::grid(control)->AddItem("engine message");
    QCOMPARE(read(3, 0), QString("engine message"));
    QCOMPARE(errors.count(), 3);

    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, read(-1, 0));
    QCOMPARE(errors.count(), 3);
}

void tst_TavrinX::exportWritesHeaderAndFindingsWithCrLf() {
    ControlFixture f;
    TavrinX *control = f.load("Export");
    QTemporaryDir out;
    QString first = out.filePath("empty.txt");
    QCOMPARE(control->SaveDataToTabFile(first), Tavrin::vbTrue);
    QFile empty(first);
    QVERIFY(empty.open(QIODevice::ReadOnly));
    QCOMPARE(empty.readAll(), QByteArray("File\tLine\tCol\tItem Found\r\n"));

    const QString path = f.write("a.txt", "x needle\n\xc3\xa9 needle\n");
    searchToEnd(control, f.tree(), "needle");
    ControlFixture::grid(control)->AddItem("an error row"); // never exported
    QString second = out.filePath("two.txt");
    QCOMPARE(control->SaveDataToTabFile(second), Tavrin::vbTrue);
    QFile full(second);
    QVERIFY(full.open(QIODevice::ReadOnly));
    const QByteArray p = path.toUtf8();
    QCOMPARE(full.readAll(), "File\tLine\tCol\tItem Found\r\n" + p + "\t1\t3\tx needle\r\n" + p +
                                 "\t2\t3\t\xc3\xa9 needle\r\n");
    QVERIFY(QFile::exists(first)); // a second save leaves the first file whole
    QCOMPARE(QFileInfo(first).size(), 26);
}

void tst_TavrinX::exportFailureRaisesErrorAndReturnsFalse() {
    ControlFixture f;
    TavrinX *control = f.load("Export");
    ErrorLog errors(control);
    QString missing = f.tree() + "/no/such/folder/out.txt";
    QCOMPARE(control->SaveDataToTabFile(missing), Tavrin::vbFalse);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), -104);
    QCOMPARE(errors.at(0).at(1).toString(), QString("Unable to save to file"));
    QCOMPARE(missing, f.tree() + "/no/such/folder/out.txt");
}

void tst_TavrinX::layoutKeepsGridAboveStatusBar() {
    ControlFixture f;
    TavrinX *control = f.load("Layout");
    auto *grid = ControlFixture::grid(control);
    auto *bar = control->findChild<Tavrin::StatusBar *>("sbStatus");
    f.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form()));
    control->resize(600, 400);
    QCOMPARE(grid->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(grid->width(), 600);
    QCOMPARE(grid->height() + bar->height(), 400);
    QCOMPARE(bar->geometry().bottom(), 399);
    const int height = grid->height();
    control->resize(300, bar->height() - 2);
    QCOMPARE(grid->height(), height);
    QCOMPARE(grid->width(), 300);
}

void tst_TavrinX::looksLikeAResultsGrid() {
    ControlFixture f;
    f.write("src/main.cpp", "int main() {\n    // needle: start here\n    return 0;\n}\n");
    f.write("src/util.cpp", "void needle();\nvoid other();\nvoid needle2();\n");
    TavrinX *control = f.load("Shot");
    control->setLookInSubfolders(true);
    searchToEnd(control, f.tree(), "needle");
    QCOMPARE(control->SearchCount(), 3);
    QCOMPARE(ControlFixture::grid(control)->model()->rowCount(), 3); // shown, not only stored
    QCOMPARE(control->size(),
             QSize(Twips::toPixelsX(control, 6195), Twips::toPixelsY(control, 3465)));
    const QString shot = QDir::temp().filePath("tavrinx-control.png");
    QVERIFY(control->grab().save(shot));
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_MAIN(tst_TavrinX)
#include "tst_tavrinx.moc"
