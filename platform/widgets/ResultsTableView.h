#pragma once

#include <QList>
#include <QTableView>

#include <functional>

class ResultsTableDelegate;
class ResultsTableModel;

namespace Tavrin {

// The results grid: a table of text cells with one fixed header row (row 0, shown as the
// column header) and the operations a form's code uses. Cells live in a compact model of its
// own, so a million rows stay cheap; every row has the same height.
// Lengths are in twips. A cell, row or column that does not exist fails with PlatformError
// "Subscript out of range".
// It draws in the design point size, so that designed column widths fit their texts. The last
// column takes the room the others leave in the view; a column's own width (ColWidth, what a
// user drags) is unchanged by that and is the last column's least width. Enter on a row other
// than a message row reports a double-click; Ctrl+C and the context menu's Copy put the selected
// rows on the clipboard; Ctrl+A selects every row. Tab leaves the grid like any other control;
// Ctrl+Home and Ctrl+End go to the first and last row with the first column in view.
class ResultsTableView : public QTableView {
    Q_OBJECT
public:
    explicit ResultsTableView(QWidget *parent = nullptr);

    // Rows counts the header row; at least 1. Shrinking drops rows at the end.
    int Rows() const;
    void setRows(int count);
    // At least 1. Narrowing drops the cells of the removed columns.
    int Cols() const;
    void setCols(int count);
    // Columns at the left drawn header-like; 0 <= count < Cols().
    int FixedCols() const { return mFixedCols; }
    void setFixedCols(int count);

    QString TextMatrix(int row, int column) const;
    void setTextMatrix(int row, int column, const QString &text);
    // Inserts a row from tab-separated text as row `index` (1..Rows()), or at the end when
    // index is -1. Fields beyond Cols() are dropped, missing ones are empty.
    void AddItem(const QString &text, int index = -1);
    // Likewise from the row's cells, each kept whole: a cell's text may hold tabs.
    void addRow(const QList<QStringView> &cells, int index = -1);

    int ColWidth(int column) const;
    void setColWidth(int column, int twips);
    bool AllowUserResizing() const { return mAllowUserResizing; }
    void setAllowUserResizing(bool allow);

    // The current row: 0 when no data row is current (or the header was double-clicked).
    int Row() const;
    void setRow(int row);

    // Shows rows added since the last repaint now rather than within 50 ms.
    void Refresh();

    // How cells are drawn; the texts stay as they are.
    // In column textColumn, `length` characters from the position held by positionColumn are
    // highlighted; length 0 for none.
    void setHighlight(int textColumn, int positionColumn, int length);
    // As above, with a length found for each row's line (ResultsTableDelegate::MatchLength).
    void setHighlight(int textColumn, int positionColumn,
                      std::function<int(const QString &line, int position)> length);
    // Rows from `row` on each hold a message in column 0, drawn across the whole row with an
    // error mark; Enter does not open them and Copy takes the message alone. 0: none.
    void setFirstMessageRow(int row);
    bool isMessageRow(int row) const;
    // Copy joins the cells of each selected row with this separator (a tab unless set).
    void setCopySeparator(const QString &separator) { mCopySeparator = separator; }
    // The selected rows as Copy puts them on the clipboard, one line each, top to bottom.
    QString selectedRowsText() const;
    void copySelection() const;

    // Position and size within the parent, in twips.
    int Left() const;
    void setLeft(int twips);
    int Top() const;
    void setTop(int twips);
    int Width() const;
    void setWidth(int twips);
    int Height() const;
    void setHeight(int twips);

signals:
    // The user double-clicked the grid; Row() tells which row.
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    void checkColumn(int column) const;
    void checkCell(int row, int column) const;
    // The row an insertion at `index` (as AddItem takes it) lands on; throws when out of range.
    int insertionRow(int index) const;
    void onHeaderDoubleClicked();
    void createActions();
    // Draws the visible message rows over the cells, each as one line across the row.
    void paintMessageRows(const QRect &area);
    // Whether any of grid rows [first, end) is in view.
    bool showsGridRows(int first, int end) const;
    // Shows the last column over the room the others leave, at least at its own width.
    void stretchLastColumn();
    void onSectionResized(int column, int oldPixels, int newPixels);
    // Makes grid row `row` current and selected, scrolled into view with column 0.
    void goToRow(int row);

    ResultsTableModel *mModel;
    ResultsTableDelegate *mDelegate;
    QString mCopySeparator = QStringLiteral("\t");
    int mFixedCols = 0;
    bool mAllowUserResizing = false;
    // The width last set per column in twips, returned as long as the column keeps the pixel
    // width it gave, so that a width survives a save and load unchanged.
    QList<int> mColWidthSet;
    // Each column's own width in pixels, as set or dragged; the last one is shown wider when
    // the view has room.
    QList<int> mColPixels;
    bool mStretching = false;
};

} // namespace Tavrin
