#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

// The cells of a results table: rows of packed strings, no item per cell. Grid row 0 is the fixed
// header row; it is shown as the horizontal header, so model rows are grid rows 1 and on.
// Inserted rows are in the grid at once, but views learn of a run of adjacent insertions at
// most every 50 ms: a view relays itself out in time proportional to all rows at each
// announcement, which row-by-row insertion of a million rows cannot afford.
// Indices given to the grid-row functions are trusted: the grid checks them.
class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsTableModel(QObject *parent = nullptr);

    int gridRows() const { return static_cast<int>(mRows.size()); }
    void setGridRows(int count);
    int gridCols() const { return mCols; }
    void setGridCols(int count);
    void setFixedCols(int count);

    QString text(int gridRow, int column) const;
    void setText(int gridRow, int column, const QString &text);
    // Inserts a row from tab-separated text so that it becomes grid row gridRow (1..gridRows()).
    void insertTabbedRow(int gridRow, const QString &text);
    // Likewise from the row's cells, each kept whole.
    void insertCells(int gridRow, const QList<QStringView> &cells);
    // Tells views of the rows inserted since the last announcement.
    void announcePendingRows();
    // Grid rows from `gridRow` on hold one message each; 0: none do.
    void setFirstMessageRow(int gridRow) { mFirstMessageRow = gridRow; }
    int firstMessageRow() const { return mFirstMessageRow; }
    bool isMessageRow(int gridRow) const {
        return mFirstMessageRow > 0 && gridRow >= mFirstMessageRow;
    }
    // The model row showing gridRow (which must not be pending), and the reverse.
    int modelRow(int gridRow) const;
    int gridRow(int modelRow) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void insertPackedRow(int gridRow, const QByteArray &row);

    QList<QByteArray> mRows{QByteArray()};
    // Grid rows [mPendingFirst, mPendingFirst + mPendingCount) are not yet announced.
    int mPendingFirst = 0;
    int mPendingCount = 0;
    QTimer mAnnounceTimer;
    QElapsedTimer mSinceAnnounce;
    int mCols = 0;
    int mFixedCols = 0;
    int mFirstMessageRow = 0;
};
