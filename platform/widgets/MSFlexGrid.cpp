#include "MSFlexGrid.h"

#include "FlexGridModel.h"
#include "PlatformError.h"
#include "Twips.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace MSFlexGridLib {

namespace {
// A new grid has two rows and two columns, the first of each fixed, like the platform grid.
constexpr int DefaultRows = 2;
constexpr int DefaultCols = 2;
constexpr int DefaultFixedCols = 1;
constexpr int DefaultColWidthTwips = 960;

PlatformError invalidArgument() {
    return {PlatformError::InvalidProcedureCall,
            QStringLiteral("Invalid procedure call or argument")};
}
} // namespace

MSFlexGrid::MSFlexGrid(QWidget *parent) : QTableView(parent), mModel(new FlexGridModel(this)) {
    setModel(mModel);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(ScrollPerPixel);
    setAlternatingRowColors(true);

    // Same height for every row: the view never measures rows, whatever their number.
    QHeaderView *rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->hide();

    QHeaderView *columns = horizontalHeader();
    columns->setDefaultSectionSize(Twips::toPixelsX(this, DefaultColWidthTwips));
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(false);
    connect(columns, &QHeaderView::sectionDoubleClicked, this, &MSFlexGrid::onHeaderDoubleClicked);
    setAllowUserResizing(false);

    setCols(DefaultCols);
    setRows(DefaultRows);
    setFixedCols(DefaultFixedCols);
}

int MSFlexGrid::Rows() const {
    return mModel->gridRows();
}

void MSFlexGrid::setRows(int count) {
    if (count < 1)
        throw invalidArgument();
    mModel->setGridRows(count);
}

int MSFlexGrid::Cols() const {
    return mModel->gridCols();
}

void MSFlexGrid::setCols(int count) {
    if (count < 1)
        throw invalidArgument();
    if (mlFixedCols >= count)
        setFixedCols(count - 1);
    mModel->setGridCols(count);
    mlColWidthSet.resize(count, -1);
}

void MSFlexGrid::setFixedCols(int count) {
    if (count < 0 || count >= Cols())
        throw invalidArgument();
    mlFixedCols = count;
    mModel->setFixedCols(count);
}

void MSFlexGrid::checkColumn(int column) const {
    if (column < 0 || column >= Cols())
        throw PlatformError::subscriptOutOfRange();
}

void MSFlexGrid::checkCell(int row, int column) const {
    if (row < 0 || row >= Rows())
        throw PlatformError::subscriptOutOfRange();
    checkColumn(column);
}

QString MSFlexGrid::TextMatrix(int row, int column) const {
    checkCell(row, column);
    return mModel->text(row, column);
}

void MSFlexGrid::setTextMatrix(int row, int column, const QString &text) {
    checkCell(row, column);
    mModel->setText(row, column, text);
}

int MSFlexGrid::insertionRow(int index) const {
    if (index == -1)
        return Rows();
    // Row 0 stays the header row.
    if (index < 1 || index > Rows())
        throw PlatformError::subscriptOutOfRange();
    return index;
}

void MSFlexGrid::AddItem(const QString &text, int index) {
    mModel->insertTabbedRow(insertionRow(index), text);
}

void MSFlexGrid::addRow(const QStringList &cells, int index) {
    mModel->insertCells(insertionRow(index), cells);
}

int MSFlexGrid::ColWidth(int column) const {
    checkColumn(column);
    const int pixels = columnWidth(column);
    const int set = mlColWidthSet.at(column);
    if (set >= 0 && Twips::toPixelsX(this, set) == pixels)
        return set;
    return Twips::fromPixelsX(this, pixels);
}

void MSFlexGrid::setColWidth(int column, int twips) {
    checkColumn(column);
    if (twips < 0)
        throw invalidArgument();
    mlColWidthSet[column] = twips;
    setColumnWidth(column, Twips::toPixelsX(this, twips));
}

void MSFlexGrid::setAllowUserResizing(bool allow) {
    mbAllowUserResizing = allow;
    horizontalHeader()->setSectionResizeMode(allow ? QHeaderView::Interactive : QHeaderView::Fixed);
}

int MSFlexGrid::Row() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? mModel->gridRow(current.row()) : 0;
}

void MSFlexGrid::setRow(int row) {
    if (row < 0 || row >= Rows())
        throw PlatformError::subscriptOutOfRange();
    if (row == 0) {
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
        return;
    }
    mModel->announcePendingRows();
    const int column = std::max(currentIndex().column(), 0);
    selectionModel()->setCurrentIndex(mModel->index(mModel->modelRow(row), column),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
}

void MSFlexGrid::Refresh() {
    mModel->announcePendingRows();
    viewport()->update();
}

int MSFlexGrid::Left() const {
    return Twips::fromPixelsX(this, x());
}
void MSFlexGrid::setLeft(int twips) {
    move(Twips::toPixelsX(this, twips), y());
}
int MSFlexGrid::Top() const {
    return Twips::fromPixelsY(this, y());
}
void MSFlexGrid::setTop(int twips) {
    move(x(), Twips::toPixelsY(this, twips));
}
int MSFlexGrid::Width() const {
    return Twips::fromPixelsX(this, width());
}
void MSFlexGrid::setWidth(int twips) {
    resize(Twips::toPixelsX(this, twips), height());
}
int MSFlexGrid::Height() const {
    return Twips::fromPixelsY(this, height());
}
void MSFlexGrid::setHeight(int twips) {
    resize(width(), Twips::toPixelsY(this, twips));
}

void MSFlexGrid::mouseDoubleClickEvent(QMouseEvent *event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        setCurrentIndex(index);
    QTableView::mouseDoubleClickEvent(event);
    // Last: a handler may remove this grid.
    emit DblClick();
}

void MSFlexGrid::onHeaderDoubleClicked() {
    selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
    emit DblClick();
}

} // namespace MSFlexGridLib
