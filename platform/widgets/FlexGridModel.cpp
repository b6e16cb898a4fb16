#include "FlexGridModel.h"

#include "PackedRow.h"

#include <QGuiApplication>
#include <QPalette>

FlexGridModel::FlexGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void FlexGridModel::setGridRows(int count) {
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
    } else {
        const QModelIndex cell = index(gridRow - 1, column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void FlexGridModel::insertTabbedRow(int gridRow, const QString &text) {
    beginInsertRows({}, gridRow - 1, gridRow - 1);
    mRows.insert(gridRow, PackedRow::fromTabbedText(text, mlCols));
    endInsertRows();
}

int FlexGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : gridRows() - 1;
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
        return text(index.row() + 1, index.column());
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
        return section + 1;
    return {};
}
