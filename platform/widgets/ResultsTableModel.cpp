#include "ResultsTableModel.h"

#include "PackedRow.h"

#include <QGuiApplication>
#include <QPalette>

namespace {
constexpr int kAnnounceIntervalMs = 50;
}

ResultsTableModel::ResultsTableModel(QObject *parent) : QAbstractTableModel(parent) {
    mAnnounceTimer.setSingleShot(true);
    connect(&mAnnounceTimer, &QTimer::timeout, this, &ResultsTableModel::announcePendingRows);
    mSinceAnnounce.start();
}

int ResultsTableModel::modelRow(int gridRow) const {
    return gridRow < mPendingFirst ? gridRow - 1 : gridRow - 1 - mPendingCount;
}

int ResultsTableModel::gridRow(int modelRow) const {
    return modelRow + 1 < mPendingFirst ? modelRow + 1 : modelRow + 1 + mPendingCount;
}

void ResultsTableModel::announcePendingRows() {
    mAnnounceTimer.stop();
    mSinceAnnounce.restart();
    if (mPendingCount == 0)
        return;
    const int first = mPendingFirst - 1;
    const int last = first + mPendingCount - 1;
    beginInsertRows({}, first, last);
    mPendingCount = 0;
    mPendingFirst = 0;
    endInsertRows();
}

void ResultsTableModel::setGridRows(int count) {
    announcePendingRows();
    const int old = gridRows();
    if (count > old) {
        beginInsertRows({}, old - 1, count - 2);
        mRows.resize(count);
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows({}, count - 1, old - 2);
        mRows.resize(count);
        endRemoveRows();
    }
}

void ResultsTableModel::setGridCols(int count) {
    announcePendingRows();
    const int old = mCols;
    if (count > old) {
        beginInsertColumns({}, old, count - 1);
        mCols = count;
        endInsertColumns();
    } else if (count < old) {
        beginRemoveColumns({}, count, old - 1);
        mCols = count;
        // Cells of removed columns must not come back when the grid widens again.
        for (QByteArray &row : mRows)
            row = PackedRow::truncated(row, count);
        endRemoveColumns();
    }
}

void ResultsTableModel::setFixedCols(int count) {
    if (count == mFixedCols)
        return;
    mFixedCols = count;
    if (rowCount() > 0 && mCols > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, mCols - 1), {Qt::BackgroundRole});
}

QString ResultsTableModel::text(int gridRow, int column) const {
    return PackedRow::cell(mRows.at(gridRow), column);
}

void ResultsTableModel::setText(int gridRow, int column, const QString &text) {
    QByteArray &row = mRows[gridRow];
    row = PackedRow::withCell(row, column, text);
    if (gridRow == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else if (gridRow < mPendingFirst || gridRow >= mPendingFirst + mPendingCount) {
        const QModelIndex cell = index(modelRow(gridRow), column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void ResultsTableModel::insertTabbedRow(int gridRow, const QString &text) {
    insertPackedRow(gridRow, PackedRow::fromTabbedText(text, mCols));
}

void ResultsTableModel::insertCells(int gridRow, const QList<QStringView> &cells) {
    insertPackedRow(gridRow, PackedRow::fromCells(cells, mCols));
}

void ResultsTableModel::insertPackedRow(int gridRow, const QByteArray &row) {
    const bool extendsRun =
        mPendingCount > 0 && gridRow >= mPendingFirst && gridRow <= mPendingFirst + mPendingCount;
    if (!extendsRun) {
        announcePendingRows();
        mPendingFirst = gridRow;
    }
    mRows.insert(gridRow, row);
    ++mPendingCount;
    if (!mAnnounceTimer.isActive()) {
        const qint64 since = mSinceAnnounce.elapsed();
        mAnnounceTimer.start(since >= kAnnounceIntervalMs ? 0 : int(kAnnounceIntervalMs - since));
    }
}

int ResultsTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : gridRows() - 1 - mPendingCount;
}

int ResultsTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : mCols;
}

QVariant ResultsTableModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text(gridRow(index.row()), index.column());
    case Qt::BackgroundRole:
        if (index.column() < mFixedCols)
            return QGuiApplication::palette().button();
        return {};
    default:
        return {};
    }
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= mCols)
            return {};
        if (role == Qt::DisplayRole)
            return text(0, section);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }
    if (role == Qt::DisplayRole && section >= 0 && section < rowCount())
        return gridRow(section);
    return {};
}
