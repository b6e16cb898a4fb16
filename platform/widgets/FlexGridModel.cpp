#include "FlexGridModel.h"

#include "PackedRow.h"

#include <QGuiApplication>
#include <QPalette>

namespace {
constexpr int AnnounceIntervalMs = 50;
}

FlexGridModel::FlexGridModel(QObject *parent) : QAbstractTableModel(parent) {
    mAnnounceTimer.setSingleShot(true);
    connect(&mAnnounceTimer, &QTimer::timeout, this, &FlexGridModel::announcePendingRows);
    mSinceAnnounce.start();
}

int FlexGridModel::modelRow(int gridRow) const {
    return gridRow < mlPendingFirst ? gridRow - 1 : gridRow - 1 - mlPendingCount;
}

int FlexGridModel::gridRow(int modelRow) const {
    return modelRow + 1 < mlPendingFirst ? modelRow + 1 : modelRow + 1 + mlPendingCount;
}

void FlexGridModel::announcePendingRows() {
    mAnnounceTimer.stop();
    mSinceAnnounce.restart();
    if (mlPendingCount == 0)
        return;
    const int first = mlPendingFirst - 1;
    const int last = first + mlPendingCount - 1;
    beginInsertRows({}, first, last);
    mlPendingCount = 0;
    mlPendingFirst = 0;
    endInsertRows();
}

void FlexGridModel::setGridRows(int count) {
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

void FlexGridModel::setGridCols(int count) {
    announcePendingRows();
    const int old = mlCols;
    if (count > old) {
        beginInsertColumns({}, old, count - 1);
        mlCols = count;
        endInsertColumns();
    } else if (count < old) {
        beginRemoveColumns({}, count, old - 1);
        mlCols = count;
        // Cells of removed columns must not come back when the grid widens again.
        for (QByteArray &row : mRows)
            row = PackedRow::truncated(row, count);
        endRemoveColumns();
    }
}

void FlexGridModel::setFixedCols(int count) {
    if (count == mlFixedCols)
        return;
    mlFixedCols = count;
    if (rowCount() > 0 && mlCols > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, mlCols - 1), {Qt::BackgroundRole});
}

QString FlexGridModel::text(int gridRow, int column) const {
    return PackedRow::cell(mRows.at(gridRow), column);
}

void FlexGridModel::setText(int gridRow, int column, const QString &text) {
    QByteArray &row = mRows[gridRow];
    row = PackedRow::withCell(row, column, text);
    if (gridRow == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else if (gridRow < mlPendingFirst || gridRow >= mlPendingFirst + mlPendingCount) {
        const QModelIndex cell = index(modelRow(gridRow), column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void FlexGridModel::insertTabbedRow(int gridRow, const QString &text) {
    insertPackedRow(gridRow, PackedRow::fromTabbedText(text, mlCols));
}

void FlexGridModel::insertCells(int gridRow, const QStringList &cells) {
    insertPackedRow(gridRow, PackedRow::fromCells(cells, mlCols));
}

void FlexGridModel::insertPackedRow(int gridRow, const QByteArray &row) {
    const bool extendsRun = mlPendingCount > 0 && gridRow >= mlPendingFirst &&
                            gridRow <= mlPendingFirst + mlPendingCount;
    if (!extendsRun) {
        announcePendingRows();
        mlPendingFirst = gridRow;
    }
    mRows.insert(gridRow, row);
    ++mlPendingCount;
    if (!mAnnounceTimer.isActive()) {
        const qint64 since = mSinceAnnounce.elapsed();
        mAnnounceTimer.start(since >= AnnounceIntervalMs ? 0 : int(AnnounceIntervalMs - since));
    }
}

int FlexGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : gridRows() - 1 - mlPendingCount;
}

int FlexGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : mlCols;
}

QVariant FlexGridModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text(gridRow(index.row()), index.column());
    case Qt::BackgroundRole:
        if (index.column() < mlFixedCols)
            return QGuiApplication::palette().button();
        return {};
    default:
        return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= mlCols)
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
