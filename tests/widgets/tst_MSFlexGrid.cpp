#include "MSFlexGrid.h"
#include "PlatformError.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

using MSFlexGridLib::MSFlexGrid;

namespace {
// A grid laid out as the results grid: header row only, four columns, none fixed.
void makeResultsGrid(MSFlexGrid &grid) {
    grid.setRows(1);
    grid.setCols(4);
    grid.setFixedCols(0);
    grid.setTextMatrix(0, 0, QStringLiteral("File"));
    grid.setTextMatrix(0, 3, QStringLiteral("Item Found"));
}

QStringList rowTexts(const MSFlexGrid &grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid.Cols(); ++c)
        cells << grid.TextMatrix(row, c);
    return cells;
}

int platformErrorNumber(const std::function<void()> &call) {
    try {
        call();
    } catch (const PlatformError &error) {
        return error.number();
    }
    return 0;
}
} // namespace

class tst_MSFlexGrid : public QObject {
    Q_OBJECT
private slots:
    void modelStaysConsistentThroughEdits();
    void addItemSplitsTabbedTextIntoCells_data();
    void addItemSplitsTabbedTextIntoCells();
    void addItemAtIndexShiftsLaterRows();
    void cellsOutsideTheGridFailWithSubscriptOutOfRange_data();
    void cellsOutsideTheGridFailWithSubscriptOutOfRange();
    void rowsShrinksAndGrowsWithEmptyRows();
    void narrowedColumnsDoNotComeBack();
    void cellTextSurvivesRewritesOfNeighbours();
    void colWidthRoundTripsInTwips_data();
    void colWidthRoundTripsInTwips();
    void userResizingFollowsTheSetting();
    void headerRowShowsAsColumnHeader();
    void doubleClickReportsTheRowClicked();
    void doubleClickOnHeaderReportsRowZero();
    void rowsAddedInABurstReachTheViewTogether();
};

void tst_MSFlexGrid::modelStaysConsistentThroughEdits() {
    MSFlexGrid grid;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a\t1\t2\tx"));
    grid.AddItem(QStringLiteral("b\t3\t4\ty"));
    grid.Refresh();
    grid.AddItem(QStringLiteral("c\t5\t6\tz"), 1); // a run not adjacent to the last one
    grid.AddItem(QStringLiteral("err"));           // and another at the end
    grid.setTextMatrix(2, 3, QStringLiteral("changed"));
    grid.Refresh();
    QCOMPARE(grid.model()->rowCount(), 4);
    QCOMPARE(grid.model()->index(1, 3).data().toString(), QStringLiteral("changed"));
    grid.setCols(2);
    grid.setCols(5);
    grid.setRows(3);
    grid.setRows(6);
    QCOMPARE(grid.model()->rowCount(), 5);
    QCOMPARE(grid.model()->columnCount(), 5);
}

void tst_MSFlexGrid::addItemSplitsTabbedTextIntoCells_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("four fields") << "/d/a.txt\t12\t3\tfound it"
                                 << QStringList{"/d/a.txt", "12", "3", "found it"};
    QTest::newRow("line text holding tabs keeps only its first field")
        << "/d/a.txt\t1\t1\tbefore\tafter\tmore" << QStringList{"/d/a.txt", "1", "1", "before"};
    QTest::newRow("missing fields are empty")
        << "message only" << QStringList{"message only", "", "", ""};
    QTest::newRow("empty fields stay empty") << "\t\t7\t" << QStringList{"", "", "7", ""};
    QTest::newRow("empty text") << "" << QStringList{"", "", "", ""};
    QTest::newRow("non-ASCII and long cells")
        << QString("Ünïcödé ✓\t2\t3\t" + QString(300, u'é'))
        << QStringList{"Ünïcödé ✓", "2", "3", QString(300, u'é')};
}

void tst_MSFlexGrid::addItemSplitsTabbedTextIntoCells() {
    QFETCH(QString, text);
    QFETCH(QStringList, cells);
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(text);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(rowTexts(grid, 1), cells);
    QCOMPARE(grid.TextMatrix(0, 0), QStringLiteral("File"));
}

void tst_MSFlexGrid::addItemAtIndexShiftsLaterRows() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("Unreadable file")); // an error row at the end
    grid.AddItem(QStringLiteral("f1\t1\t1\tone"), 1);
    grid.AddItem(QStringLiteral("f2\t2\t1\ttwo"), 2);
    grid.AddItem(QStringLiteral("f0\t0\t1\tzero"), 1);
    QCOMPARE(grid.Rows(), 5);
    QCOMPARE(grid.TextMatrix(1, 0), QStringLiteral("f0"));
    QCOMPARE(grid.TextMatrix(2, 0), QStringLiteral("f1"));
    QCOMPARE(grid.TextMatrix(3, 3), QStringLiteral("two"));
    QCOMPARE(grid.TextMatrix(4, 0), QStringLiteral("Unreadable file"));
    grid.AddItem(QStringLiteral("last"), grid.Rows()); // the index one past the end appends
    QCOMPARE(grid.TextMatrix(5, 0), QStringLiteral("last"));
}

void tst_MSFlexGrid::cellsOutsideTheGridFailWithSubscriptOutOfRange_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row past the end") << 3 << 0;
    QTest::newRow("negative row") << -1 << 0;
    QTest::newRow("column past the end") << 1 << 4;
    QTest::newRow("negative column") << 0 << -1;
}

void tst_MSFlexGrid::cellsOutsideTheGridFailWithSubscriptOutOfRange() {
    QFETCH(int, row);
    QFETCH(int, column);
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a"));
    grid.AddItem(QStringLiteral("b"));
    QCOMPARE(platformErrorNumber([&] { grid.TextMatrix(row, column); }), 9);
    QCOMPARE(platformErrorNumber([&] { grid.setTextMatrix(row, column, "x"); }), 9);
    try {
        grid.TextMatrix(row, column);
    } catch (const PlatformError &error) {
        QCOMPARE(error.description(), QStringLiteral("Subscript out of range"));
    }
    QCOMPARE(platformErrorNumber([&] { grid.AddItem("x", 0); }), 9); // the header row stays
    QCOMPARE(platformErrorNumber([&] { grid.AddItem("x", grid.Rows() + 1); }), 9);
    QCOMPARE(platformErrorNumber([&] { grid.ColWidth(4); }), 9);
    QCOMPARE(grid.Rows(), 3);
}

void tst_MSFlexGrid::rowsShrinksAndGrowsWithEmptyRows() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    for (int i = 1; i <= 5; ++i)
        grid.AddItem(QString("r%1\t%1").arg(i));
    grid.setRows(3);
    QCOMPARE(grid.Rows(), 3);
    QCOMPARE(grid.TextMatrix(2, 0), QStringLiteral("r2"));
    QCOMPARE(platformErrorNumber([&] { grid.TextMatrix(3, 0); }), 9);
    grid.setRows(5);
    QCOMPARE(rowTexts(grid, 4), (QStringList{"", "", "", ""}));
    grid.setRows(1);
    QCOMPARE(grid.Rows(), 1);
    QCOMPARE(grid.TextMatrix(0, 0), QStringLiteral("File"));
    QVERIFY(platformErrorNumber([&] { grid.setRows(0); }) != 0);
    QCOMPARE(grid.Rows(), 1);
}

void tst_MSFlexGrid::narrowedColumnsDoNotComeBack() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a\tb\tc\td"));
    grid.setCols(2);
    QCOMPARE(rowTexts(grid, 1), (QStringList{"a", "b"}));
    grid.setCols(4);
    QCOMPARE(rowTexts(grid, 1), (QStringList{"a", "b", "", ""}));
    QCOMPARE(grid.TextMatrix(0, 3), QString());
}

void tst_MSFlexGrid::cellTextSurvivesRewritesOfNeighbours() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a"));
    grid.setTextMatrix(1, 3, QString(200, u'z'));     // past the stored cells, length over 127
    grid.setTextMatrix(1, 1, QStringLiteral("b\tb")); // a tab inside a cell stays in it
    grid.setTextMatrix(1, 0, QString());
    QCOMPARE(rowTexts(grid, 1), (QStringList{"", "b\tb", "", QString(200, u'z')}));
}

void tst_MSFlexGrid::colWidthRoundTripsInTwips_data() {
    QTest::addColumn<int>("twips");
    QTest::newRow("designed File width, not a pixel multiple") << 2150;
    QTest::newRow("designed Col width") << 450;
    QTest::newRow("zero") << 0;
}

void tst_MSFlexGrid::colWidthRoundTripsInTwips() {
    QFETCH(int, twips);
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.setColWidth(2, twips);
    QCOMPARE(grid.ColWidth(2), twips);
    QCOMPARE(grid.columnWidth(2), qRound(twips * grid.logicalDpiX() / 1440.0));

    // A width changed on screen (a user's drag) is read back from the screen.
    grid.setColumnWidth(2, 100);
    QCOMPARE(grid.ColWidth(2), qRound(100 * 1440.0 / grid.logicalDpiX()));
}

void tst_MSFlexGrid::userResizingFollowsTheSetting() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.setAllowUserResizing(true);
    QCOMPARE(grid.horizontalHeader()->sectionResizeMode(3), QHeaderView::Interactive);
    grid.setAllowUserResizing(false);
    QCOMPARE(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

void tst_MSFlexGrid::headerRowShowsAsColumnHeader() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    QSignalSpy changed(grid.model(), &QAbstractItemModel::headerDataChanged);
    grid.setTextMatrix(0, 1, QStringLiteral("Line"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Line"));
    QCOMPARE(grid.model()->rowCount(), 0); // the header row is no data row
}

void tst_MSFlexGrid::doubleClickReportsTheRowClicked() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    for (int i = 1; i <= 3; ++i)
        grid.AddItem(QString("f%1\t%1\t1\tx").arg(i));
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.Refresh();

    QList<int> rows;
    connect(&grid, &MSFlexGrid::DblClick, this, [&] { rows << grid.Row(); });
    const QRect cell = grid.visualRect(grid.model()->index(1, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(rows, QList<int>{2});
    QCOMPARE(grid.TextMatrix(grid.Row(), 0), QStringLiteral("f2"));
}

void tst_MSFlexGrid::doubleClickOnHeaderReportsRowZero() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("f1\t1\t1\tx"));
    grid.setRow(1);
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QList<int> rows;
    connect(&grid, &MSFlexGrid::DblClick, this, [&] { rows << grid.Row(); });
    QHeaderView *header = grid.horizontalHeader();
    const QPoint inFirstSection(header->sectionPosition(0) + 10, header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, inFirstSection);
    QCOMPARE(rows, QList<int>{0});
}

void tst_MSFlexGrid::rowsAddedInABurstReachTheViewTogether() {
    MSFlexGrid grid;
    makeResultsGrid(grid);
    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    for (int i = 1; i <= 1000; ++i)
        grid.AddItem(QString::number(i), i);
    QCOMPARE(grid.Rows(), 1001); // the grid has them at once
    QCOMPARE(grid.TextMatrix(1000, 0), QStringLiteral("1000"));
    QTRY_COMPARE(grid.model()->rowCount(), 1000); // views get them shortly, in one go
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(grid.model()->index(999, 0).data().toString(), QStringLiteral("1000"));
}

QTEST_MAIN(tst_MSFlexGrid)
#include "tst_MSFlexGrid.moc"
