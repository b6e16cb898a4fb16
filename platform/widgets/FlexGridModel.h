#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

// The cells of a flex grid: rows of packed strings, no item per cell. Grid row 0 is the fixed
// header row; it is shown as the horizontal header, so model row r is grid row r + 1.
// Indices given to the grid-row functions are trusted: the grid checks them.
class FlexGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FlexGridModel(QObject *parent = nullptr);

    int gridRows() const { return static_cast<int>(mRows.size()); }
    void setGridRows(int count);
    int gridCols() const { return mlCols; }
    void setGridCols(int count);
    void setFixedCols(int count);

    QString text(int gridRow, int column) const;
    void setText(int gridRow, int column, const QString &text);
    // Inserts a row from tab-separated text so that it becomes grid row gridRow (1..gridRows()).
    void insertTabbedRow(int gridRow, const QString &text);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<QByteArray> mRows{QByteArray()};
    int mlCols = 0;
    int mlFixedCols = 0;
};
