#include "PlatformError.h"
#include "ResultsTableDelegate.h"
#include "ResultsTableView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

using Tavrin::ResultsTableView;

namespace {
// A grid laid out as the results grid: header row only, four columns, none fixed.
void makeResultsGrid(ResultsTableView &grid) {
    grid.setRows(1);
    grid.setCols(4);
    grid.setFixedCols(0);
    grid.setTextMatrix(0, 0, QStringLiteral("File"));
    grid.setTextMatrix(0, 3, QStringLiteral("Item Found"));
}

QStringList rowTexts(const ResultsTableView &grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid.Cols(); ++c)
        cells << grid.TextMatrix(row, c);
    return cells;
}

int platformErrorNumber(const std::function<void()> &call) {
    try {
        call();
    } catch (const Tavrin::PlatformError &error) {
        return error.number();
    }
    return 0;
}
} // namespace

class tst_ResultsTableView : public QObject {
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
    void lastColumnTakesTheRoomLeftWithoutChangingColWidth_data();
    void lastColumnTakesTheRoomLeftWithoutChangingColWidth();
    void headerRowShowsAsColumnHeader();
    void doubleClickReportsTheRowClicked();
    void doubleClickOnHeaderReportsRowZero();
    void rowsAddedInABurstReachTheViewTogether();
    void drawsAtTheDesignPointSize();
    void copyPutsSelectedRowsOnTheClipboard_data();
    void copyPutsSelectedRowsOnTheClipboard();
    void selectAllTakesRowsNotYetShown();
    void enterReportsADoubleClickOnDataRowsOnly_data();
    void enterReportsADoubleClickOnDataRowsOnly();
    void matchIsDrawnInTheHighlightColour();
    void messageRowIsDrawnAcrossTheRow();
};

void tst_ResultsTableView::modelStaysConsistentThroughEdits() {
    ResultsTableView grid;
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

void tst_ResultsTableView::addItemSplitsTabbedTextIntoCells_data() {
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

void tst_ResultsTableView::addItemSplitsTabbedTextIntoCells() {
    QFETCH(QString, text);
    QFETCH(QStringList, cells);
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.AddItem(text);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(rowTexts(grid, 1), cells);
    QCOMPARE(grid.TextMatrix(0, 0), QStringLiteral("File"));
}

void tst_ResultsTableView::addItemAtIndexShiftsLaterRows() {
    ResultsTableView grid;
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

void tst_ResultsTableView::cellsOutsideTheGridFailWithSubscriptOutOfRange_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row past the end") << 3 << 0;
    QTest::newRow("negative row") << -1 << 0;
    QTest::newRow("column past the end") << 1 << 4;
    QTest::newRow("negative column") << 0 << -1;
}

void tst_ResultsTableView::cellsOutsideTheGridFailWithSubscriptOutOfRange() {
    QFETCH(int, row);
    QFETCH(int, column);
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a"));
    grid.AddItem(QStringLiteral("b"));
    QCOMPARE(platformErrorNumber([&] { grid.TextMatrix(row, column); }), 9);
    QCOMPARE(platformErrorNumber([&] { grid.setTextMatrix(row, column, "x"); }), 9);
    try {
        grid.TextMatrix(row, column);
    } catch (const Tavrin::PlatformError &error) {
        QCOMPARE(error.description(), QStringLiteral("Subscript out of range"));
    }
    QCOMPARE(platformErrorNumber([&] { grid.AddItem("x", 0); }), 9); // the header row stays
    QCOMPARE(platformErrorNumber([&] { grid.AddItem("x", grid.Rows() + 1); }), 9);
    QCOMPARE(platformErrorNumber([&] { grid.ColWidth(4); }), 9);
    QCOMPARE(grid.Rows(), 3);
}

void tst_ResultsTableView::rowsShrinksAndGrowsWithEmptyRows() {
    ResultsTableView grid;
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

void tst_ResultsTableView::narrowedColumnsDoNotComeBack() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a\tb\tc\td"));
    grid.setCols(2);
    QCOMPARE(rowTexts(grid, 1), (QStringList{"a", "b"}));
    grid.setCols(4);
    QCOMPARE(rowTexts(grid, 1), (QStringList{"a", "b", "", ""}));
    QCOMPARE(grid.TextMatrix(0, 3), QString());
}

void tst_ResultsTableView::cellTextSurvivesRewritesOfNeighbours() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("a"));
    grid.setTextMatrix(1, 3, QString(200, u'z'));     // past the stored cells, length over 127
    grid.setTextMatrix(1, 1, QStringLiteral("b\tb")); // a tab inside a cell stays in it
    grid.setTextMatrix(1, 0, QString());
    QCOMPARE(rowTexts(grid, 1), (QStringList{"", "b\tb", "", QString(200, u'z')}));
}

void tst_ResultsTableView::colWidthRoundTripsInTwips_data() {
    QTest::addColumn<int>("twips");
    QTest::newRow("designed File width, not a pixel multiple") << 2150;
    QTest::newRow("designed Col width") << 450;
    QTest::newRow("zero") << 0;
}

void tst_ResultsTableView::colWidthRoundTripsInTwips() {
    QFETCH(int, twips);
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.setColWidth(2, twips);
    QCOMPARE(grid.ColWidth(2), twips);
    QCOMPARE(grid.columnWidth(2), qRound(twips * grid.logicalDpiX() / 1440.0));

    // A width changed on screen (a user's drag) is read back from the screen.
    grid.setColumnWidth(2, 100);
    QCOMPARE(grid.ColWidth(2), qRound(100 * 1440.0 / grid.logicalDpiX()));
}

void tst_ResultsTableView::userResizingFollowsTheSetting() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.setAllowUserResizing(true);
    QCOMPARE(grid.horizontalHeader()->sectionResizeMode(3), QHeaderView::Interactive);
    grid.setAllowUserResizing(false);
    QCOMPARE(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

void tst_ResultsTableView::lastColumnTakesTheRoomLeftWithoutChangingColWidth_data() {
    QTest::addColumn<int>("viewWidth");
    QTest::addColumn<int>("dragged"); // column a user drags to 150 pixels, -1 for none
    QTest::newRow("wide view") << 900 << -1;
    QTest::newRow("narrow view: scrolls, nothing stretched") << 200 << -1;
    QTest::newRow("first column dragged") << 900 << 0;
    QTest::newRow("last column dragged") << 900 << 3;
    QTest::newRow("last column dragged wider than the view") << 120 << 3;
}

void tst_ResultsTableView::lastColumnTakesTheRoomLeftWithoutChangingColWidth() {
    QFETCH(int, viewWidth);
    QFETCH(int, dragged);
    ResultsTableView grid;
    makeResultsGrid(grid);
    const QList<int> designed{2150, 630, 450, 1750};
    for (int c = 0; c < 4; ++c)
        grid.setColWidth(c, designed.at(c));
    grid.resize(viewWidth, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QList<int> expected = designed;
    if (dragged >= 0) {
        grid.horizontalHeader()->resizeSection(dragged, 150);
        expected[dragged] = qRound(150 * 1440.0 / grid.logicalDpiX());
    }
    QApplication::processEvents();
    for (int c = 0; c < 4; ++c)
        QCOMPARE(grid.ColWidth(c), expected.at(c));
    int others = 0;
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(grid.columnWidth(c), qRound(expected.at(c) * grid.logicalDpiX() / 1440.0));
        others += grid.columnWidth(c);
    }
    const int own = qRound(expected.at(3) * grid.logicalDpiX() / 1440.0);
    QCOMPARE(grid.columnWidth(3), std::max(own, grid.viewport()->width() - others));
    // A width set again is kept as set, and the room is taken again.
    grid.setColWidth(3, 600);
    QApplication::processEvents(); // the view lays itself out again
    QCOMPARE(grid.ColWidth(3), 600);
    QCOMPARE(grid.columnWidth(3), std::max(qRound(600 * grid.logicalDpiX() / 1440.0),
                                           grid.viewport()->width() - others));
}

void tst_ResultsTableView::headerRowShowsAsColumnHeader() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    QSignalSpy changed(grid.model(), &QAbstractItemModel::headerDataChanged);
    grid.setTextMatrix(0, 1, QStringLiteral("Line"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Line"));
    QCOMPARE(grid.model()->rowCount(), 0); // the header row is no data row
}

void tst_ResultsTableView::doubleClickReportsTheRowClicked() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    for (int i = 1; i <= 3; ++i)
        grid.AddItem(QString("f%1\t%1\t1\tx").arg(i));
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.Refresh();

    QList<int> rows;
    connect(&grid, &ResultsTableView::DblClick, this, [&] { rows << grid.Row(); });
    const QRect cell = grid.visualRect(grid.model()->index(1, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(rows, QList<int>{2});
    QCOMPARE(grid.TextMatrix(grid.Row(), 0), QStringLiteral("f2"));
}

void tst_ResultsTableView::doubleClickOnHeaderReportsRowZero() {
    ResultsTableView grid;
    makeResultsGrid(grid);
    grid.AddItem(QStringLiteral("f1\t1\t1\tx"));
    grid.setRow(1);
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QList<int> rows;
    connect(&grid, &ResultsTableView::DblClick, this, [&] { rows << grid.Row(); });
    QHeaderView *header = grid.horizontalHeader();
    const QPoint inFirstSection(header->sectionPosition(0) + 10, header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, inFirstSection);
    QCOMPARE(rows, QList<int>{0});
}

void tst_ResultsTableView::rowsAddedInABurstReachTheViewTogether() {
    ResultsTableView grid;
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

namespace {
// A shown results grid with rows f1..f3 (finding-like) and then the given message rows.
void showResultsGrid(ResultsTableView &grid, const QStringList &messages = {}) {
    makeResultsGrid(grid);
    for (int i = 1; i <= 3; ++i)
        grid.AddItem(QString("/d/f%1.txt\t%1\t4\tabc needle xyz").arg(i));
    for (const QString &message : messages)
        grid.AddItem(message);
    grid.setFirstMessageRow(messages.isEmpty() ? 0 : 4);
    grid.setCopySeparator(QStringLiteral(":"));
    for (int c = 0; c < 4; ++c)
        grid.setColWidth(c, 1500);
    grid.resize(500, 300);
    grid.show();
    grid.Refresh();
}

// How many pixels of `image` within `area` pass `test`.
template <class Test> int pixelsWhere(const QImage &image, const QRect &area, Test test) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}
int pixelsOf(const QImage &image, const QRect &area, const QColor &colour) {
    return pixelsWhere(image, area, [&](const QColor &pixel) { return pixel == colour; });
}
} // namespace

void tst_ResultsTableView::drawsAtTheDesignPointSize() {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(12);
    QApplication::setFont(large);
    ResultsTableView grid;
    QApplication::setFont(before);
    QCOMPARE(grid.font().pointSizeF(), 8.0);
    QCOMPARE(grid.horizontalHeader()->font().pointSizeF(), 8.0);
    // Rows are as high as the smaller font needs.
    QCOMPARE(grid.verticalHeader()->defaultSectionSize(), grid.fontMetrics().height() + 4);
}

void tst_ResultsTableView::copyPutsSelectedRowsOnTheClipboard_data() {
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("text");
    QTest::newRow("one finding") << QList<int>{2}
                                 << QStringLiteral("/d/f2.txt:2:4:abc needle xyz\n");
    QTest::newRow("in grid order, whatever the order of selection")
        << QList<int>{3, 1}
        << QStringLiteral("/d/f1.txt:1:4:abc needle xyz\n/d/f3.txt:3:4:abc needle xyz\n");
    QTest::newRow("a message row gives its message alone")
        << QList<int>{3, 4}
        << QStringLiteral("/d/f3.txt:3:4:abc needle xyz\nCannot open /d/x: denied\n");
    QTest::newRow("nothing selected") << QList<int>{} << QString();
}

void tst_ResultsTableView::copyPutsSelectedRowsOnTheClipboard() {
    QFETCH(QList<int>, rows);
    QFETCH(QString, text);
    ResultsTableView grid;
    showResultsGrid(grid, {QStringLiteral("Cannot open /d/x: denied")});
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.clearSelection();
    for (const int row : rows)
        grid.selectionModel()->select(grid.model()->index(row - 1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(grid.selectedRowsText(), text);

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             text.isEmpty() ? QStringLiteral("before") : text);
}

void tst_ResultsTableView::selectAllTakesRowsNotYetShown() {
    ResultsTableView grid;
    showResultsGrid(grid, {QStringLiteral("message")});
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    // A finding not yet announced to the view, above the message row.
    grid.AddItem(QStringLiteral("/d/late.txt\t9\t1\tlate"), 4);
    grid.setFirstMessageRow(5);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(grid.selectionModel()->selectedRows().size(), 5);
    QVERIFY(grid.selectedRowsText().endsWith(QStringLiteral("/d/late.txt:9:1:late\nmessage\n")));
}

void tst_ResultsTableView::enterReportsADoubleClickOnDataRowsOnly_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("key");
    QTest::addColumn<QList<int>>("reported");
    QTest::newRow("return on a finding") << 2 << int(Qt::Key_Return) << QList<int>{2};
    QTest::newRow("keypad enter on a finding") << 3 << int(Qt::Key_Enter) << QList<int>{3};
    QTest::newRow("on a message row") << 4 << int(Qt::Key_Return) << QList<int>{};
    QTest::newRow("no current row") << 0 << int(Qt::Key_Return) << QList<int>{};
}

void tst_ResultsTableView::enterReportsADoubleClickOnDataRowsOnly() {
    QFETCH(int, current);
    QFETCH(int, key);
    QFETCH(QList<int>, reported);
    ResultsTableView grid;
    showResultsGrid(grid, {QStringLiteral("message")});
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setRow(current);
    QList<int> rows;
    connect(&grid, &ResultsTableView::DblClick, this, [&] { rows << grid.Row(); });
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key(key));
    QCOMPARE(rows, reported);
}

void tst_ResultsTableView::matchIsDrawnInTheHighlightColour() {
    ResultsTableView grid;
    showResultsGrid(grid);
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.clearSelection();
    grid.setCurrentIndex({});
    const QColor match = ResultsTableDelegate::matchBackground();
    const auto highlighted = [&](int column) {
        const QRect cell = grid.visualRect(grid.model()->index(0, column));
        return pixelsOf(grid.viewport()->grab().toImage(), cell, match);
    };
    QCOMPARE(highlighted(3), 0); // no highlight until one is asked for
    grid.setHighlight(3, 2, 6);
    const int plain = highlighted(3);
    QVERIFY(plain > 0);
    QCOMPARE(highlighted(0), 0);
    // A selected row keeps its match in the same colour, not one the selection hides.
    grid.setRow(1);
    QCOMPARE(highlighted(3), plain);
    // The cells keep their text.
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("abc needle xyz"));
}

void tst_ResultsTableView::messageRowIsDrawnAcrossTheRow() {
    ResultsTableView grid;
    const QString message =
        QStringLiteral("Cannot open /d/x: Permission denied ") + QString(40, 'W');
    showResultsGrid(grid, {message});
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.clearSelection();
    const QImage image = grid.viewport()->grab().toImage();
    // The message runs on through the cells that a finding would use for line and column.
    const QRect lineCell = grid.visualRect(grid.model()->index(3, 1));
    const QRect columnCell = grid.visualRect(grid.model()->index(3, 2));
    const auto dark = [](const QColor &pixel) { return pixel.lightness() < 100; };
    QVERIFY(pixelsWhere(image, lineCell.united(columnCell), dark) > 0);
    QCOMPARE(grid.TextMatrix(4, 0), message);
    QCOMPARE(grid.TextMatrix(4, 1), QString());
}

QTEST_MAIN(tst_ResultsTableView)
#include "tst_ResultsTableView.moc"
