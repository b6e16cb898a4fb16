#include "ResultsTableView.h"

#include "DesignFont.h"
#include "PlatformError.h"
#include "ResultsTableDelegate.h"
#include "ResultsTableModel.h"
#include "Twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>

namespace Tavrin {

namespace {
// A new grid has two rows and two columns, the first of each fixed, like the platform grid.
constexpr int kDefaultRows = 2;
constexpr int kDefaultCols = 2;
constexpr int kDefaultFixedCols = 1;
constexpr int kDefaultColWidthTwips = 960;

Tavrin::PlatformError invalidArgument() {
    return {Tavrin::PlatformError::InvalidProcedureCall,
            QStringLiteral("Invalid procedure call or argument")};
}
} // namespace

ResultsTableView::ResultsTableView(QWidget *parent)
    : QTableView(parent), mModel(new ResultsTableModel(this)),
      mDelegate(new ResultsTableDelegate(this)) {
    setFont(DesignFont::capped(font()));
    setModel(mModel);
    setItemDelegate(mDelegate);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideLeft);
    setHorizontalScrollMode(ScrollPerPixel);
    setAlternatingRowColors(true);

    // Same height for every row: the view never measures rows, whatever their number.
    QHeaderView *rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->hide();

    QHeaderView *columns = horizontalHeader();
    columns->setDefaultSectionSize(Twips::toPixelsX(this, kDefaultColWidthTwips));
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(false);
    connect(columns, &QHeaderView::sectionDoubleClicked, this,
            &ResultsTableView::onHeaderDoubleClicked);
    connect(columns, &QHeaderView::sectionResized, this, &ResultsTableView::onSectionResized);
    setTabKeyNavigation(false);
    setAllowUserResizing(false);

    setCols(kDefaultCols);
    setRows(kDefaultRows);
    setFixedCols(kDefaultFixedCols);
    createActions();
}

void ResultsTableView::createActions() {
    auto *copy = new QAction(QStringLiteral("&Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ResultsTableView::copySelection);
    auto *all = new QAction(QStringLiteral("Select &All"), this);
    all->setShortcut(QKeySequence::SelectAll);
    all->setShortcutContext(Qt::WidgetShortcut);
    connect(all, &QAction::triggered, this, [this] {
        mModel->announcePendingRows();
        selectAll();
    });
    addAction(copy);
    addAction(all);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

int ResultsTableView::Rows() const {
    return mModel->gridRows();
}

void ResultsTableView::setRows(int count) {
    if (count < 1)
        throw invalidArgument();
    mModel->setGridRows(count);
}

int ResultsTableView::Cols() const {
    return mModel->gridCols();
}

void ResultsTableView::setCols(int count) {
    if (count < 1)
        throw invalidArgument();
    if (mFixedCols >= count)
        setFixedCols(count - 1);
    mModel->setGridCols(count);
    mColWidthSet.resize(count, -1);
    mColPixels.resize(count, horizontalHeader()->defaultSectionSize());
    stretchLastColumn();
}

void ResultsTableView::setFixedCols(int count) {
    if (count < 0 || count >= Cols())
        throw invalidArgument();
    mFixedCols = count;
    mModel->setFixedCols(count);
}

void ResultsTableView::checkColumn(int column) const {
    if (column < 0 || column >= Cols())
        throw Tavrin::PlatformError::subscriptOutOfRange();
}

void ResultsTableView::checkCell(int row, int column) const {
    if (row < 0 || row >= Rows())
        throw Tavrin::PlatformError::subscriptOutOfRange();
    checkColumn(column);
}

QString ResultsTableView::TextMatrix(int row, int column) const {
    checkCell(row, column);
    return mModel->text(row, column);
}

void ResultsTableView::setTextMatrix(int row, int column, const QString &text) {
    checkCell(row, column);
    mModel->setText(row, column, text);
}

int ResultsTableView::insertionRow(int index) const {
    if (index == -1)
        return Rows();
    // Row 0 stays the header row.
    if (index < 1 || index > Rows())
        throw Tavrin::PlatformError::subscriptOutOfRange();
    return index;
}

void ResultsTableView::AddItem(const QString &text, int index) {
    mModel->insertTabbedRow(insertionRow(index), text);
}

void ResultsTableView::addRow(const QList<QStringView> &cells, int index) {
    mModel->insertCells(insertionRow(index), cells);
}

int ResultsTableView::ColWidth(int column) const {
    checkColumn(column);
    const int pixels = mColPixels.at(column);
    const int set = mColWidthSet.at(column);
    if (set >= 0 && Twips::toPixelsX(this, set) == pixels)
        return set;
    return Twips::fromPixelsX(this, pixels);
}

void ResultsTableView::setColWidth(int column, int twips) {
    checkColumn(column);
    if (twips < 0)
        throw invalidArgument();
    mColWidthSet[column] = twips;
    mColPixels[column] = Twips::toPixelsX(this, twips);
    {
        const QScopedValueRollback<bool> own(mStretching, true);
        setColumnWidth(column, mColPixels.at(column));
    }
    stretchLastColumn();
}

void ResultsTableView::onSectionResized(int column, int, int newPixels) {
    if (mStretching || column < 0 || column >= mColPixels.size())
        return;
    // A user's drag (or a width set through the view) is the column's own width.
    mColPixels[column] = newPixels;
    stretchLastColumn();
}

void ResultsTableView::stretchLastColumn() {
    const int last = int(mColPixels.size()) - 1;
    if (last < 0 || mModel->gridCols() != mColPixels.size())
        return;
    const QScopedValueRollback<bool> own(mStretching, true);
    int others = 0;
    for (int c = 0; c < last; ++c) {
        // A column that was the last one before more were added shows its own width again.
        if (columnWidth(c) != mColPixels.at(c))
            setColumnWidth(c, mColPixels.at(c));
        others += mColPixels.at(c);
    }
    const int shown = std::max(mColPixels.at(last), viewport()->width() - others);
    if (columnWidth(last) != shown)
        setColumnWidth(last, shown);
}

void ResultsTableView::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    stretchLastColumn();
}

void ResultsTableView::updateGeometries() {
    // Also when a scroll bar comes or goes, which changes the room without a resize.
    QTableView::updateGeometries();
    stretchLastColumn();
}

void ResultsTableView::setAllowUserResizing(bool allow) {
    mAllowUserResizing = allow;
    horizontalHeader()->setSectionResizeMode(allow ? QHeaderView::Interactive : QHeaderView::Fixed);
}

int ResultsTableView::Row() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? mModel->gridRow(current.row()) : 0;
}

void ResultsTableView::setRow(int row) {
    if (row < 0 || row >= Rows())
        throw Tavrin::PlatformError::subscriptOutOfRange();
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

void ResultsTableView::Refresh() {
    mModel->announcePendingRows();
    viewport()->update();
}

void ResultsTableView::setHighlight(int textColumn, int positionColumn, int length) {
    mDelegate->setHighlight(textColumn, positionColumn, length);
    viewport()->update();
}

void ResultsTableView::setHighlight(int textColumn, int positionColumn,
                                    std::function<int(const QString &line, int position)> length) {
    mDelegate->setHighlight(textColumn, positionColumn, std::move(length));
    viewport()->update();
}

void ResultsTableView::setFirstMessageRow(int row) {
    const int old = mModel->firstMessageRow();
    if (row == old)
        return;
    mModel->setFirstMessageRow(row);
    // A delivery moves the boundary at every finding, below the rows on show as a rule: only a
    // change to a row in view is drawn, or each yield would paint the whole grid.
    const int first = old == 0 ? row : row == 0 ? old : std::min(old, row);
    const int end = old == 0 || row == 0 ? Rows() : std::max(old, row);
    if (showsGridRows(first, end))
        viewport()->update();
}

bool ResultsTableView::showsGridRows(int first, int end) const {
    if (mModel->rowCount() == 0 || !viewport()->isVisible())
        return false;
    const int top = std::max(rowAt(0), 0);
    int bottom = rowAt(viewport()->height() - 1);
    if (bottom < 0)
        bottom = mModel->rowCount() - 1;
    // Grid rows grow with model rows.
    return mModel->gridRow(bottom) >= first && mModel->gridRow(top) < end;
}

bool ResultsTableView::isMessageRow(int row) const {
    return mModel->isMessageRow(row);
}

QString ResultsTableView::selectedRowsText() const {
    QList<int> rows;
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(mModel->gridRow(r));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QString text;
    for (const int row : std::as_const(rows)) {
        if (isMessageRow(row)) {
            text += mModel->text(row, 0);
        } else {
            for (int c = 0; c < Cols(); ++c) {
                if (c > 0)
                    text += mCopySeparator;
                text += mModel->text(row, c);
            }
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void ResultsTableView::copySelection() const {
    const QString text = selectedRowsText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

int ResultsTableView::Left() const {
    return Twips::fromPixelsX(this, x());
}
void ResultsTableView::setLeft(int twips) {
    move(Twips::toPixelsX(this, twips), y());
}
int ResultsTableView::Top() const {
    return Twips::fromPixelsY(this, y());
}
void ResultsTableView::setTop(int twips) {
    move(x(), Twips::toPixelsY(this, twips));
}
int ResultsTableView::Width() const {
    return Twips::fromPixelsX(this, width());
}
void ResultsTableView::setWidth(int twips) {
    resize(Twips::toPixelsX(this, twips), height());
}
int ResultsTableView::Height() const {
    return Twips::fromPixelsY(this, height());
}
void ResultsTableView::setHeight(int twips) {
    resize(width(), Twips::toPixelsY(this, twips));
}

void ResultsTableView::mouseDoubleClickEvent(QMouseEvent *event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        setCurrentIndex(index);
    QTableView::mouseDoubleClickEvent(event);
    // Last: a handler may remove this grid.
    emit DblClick();
}

void ResultsTableView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const int row = Row();
        if (row > 0 && !isMessageRow(row))
            emit DblClick();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_Home || event->key() == Qt::Key_End)) {
        mModel->announcePendingRows();
        if (mModel->rowCount() > 0)
            goToRow(event->key() == Qt::Key_Home ? 1 : mModel->gridRow(mModel->rowCount() - 1));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultsTableView::paintEvent(QPaintEvent *event) {
    QTableView::paintEvent(event);
    paintMessageRows(event->rect());
}

void ResultsTableView::paintMessageRows(const QRect &area) {
    if (mModel->rowCount() == 0 || Cols() == 0)
        return;
    const int first = std::max(rowAt(area.top()), 0);
    int last = rowAt(area.bottom());
    if (last < 0)
        last = mModel->rowCount() - 1;
    const int left = columnViewportPosition(0);
    const int right =
        std::min(columnViewportPosition(Cols() - 1) + columnWidth(Cols() - 1), viewport()->width());
    QPainter painter(viewport());
    const QIcon mark = style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this);
    for (int r = first; r <= last; ++r) {
        const int row = mModel->gridRow(r);
        if (!isMessageRow(row))
            continue;
        // The grid line below the row stays.
        const QRect rect(left, rowViewportPosition(r), right - left,
                         rowHeight(r) - (showGrid() ? 1 : 0));
        const bool selected = selectionModel()->isRowSelected(r, {});
        const QPalette &colours = palette();
        painter.fillRect(rect, selected                          ? colours.highlight()
                               : alternatingRowColors() && r % 2 ? colours.alternateBase()
                                                                 : colours.base());
        const int side = std::max(rect.height() - 4, 8);
        const QRect icon(rect.left() + 2, rect.top() + (rect.height() - side) / 2, side, side);
        mark.paint(&painter, icon);
        const QRect text = rect.adjusted(side + 6, 0, -2, 0);
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            fontMetrics().elidedText(mModel->text(row, 0), Qt::ElideRight, text.width()));
    }
}

void ResultsTableView::goToRow(int row) {
    const QModelIndex index = mModel->index(mModel->modelRow(row), 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void ResultsTableView::onHeaderDoubleClicked() {
    selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
    emit DblClick();
}

} // namespace Tavrin
