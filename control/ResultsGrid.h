#pragma once

#include "ResultsTableView.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

namespace Tavrin {
class StatusBar;
class UserControl;
} // namespace Tavrin

// The control's results grid: the run-time grid fgFiles, re-created empty with its header row
// for every search, laid out above the status bar, read cell by cell and exported.
// Owned by the user-interface thread, like the control.
class ResultsGrid : public QObject {
    Q_OBJECT
public:
    using ColumnWidths = std::array<qint32, 4>;

    ResultsGrid(Tavrin::UserControl &control, Tavrin::StatusBar &sbStatus);

    // Widths of columns 0..3 in twips, carried from one grid to the next; the settings load
    // fills them before the first re-creation.
    ColumnWidths &mlColWidth() { return mlColWidthValues; }
    // Applies mlColWidth to the hidden design-time grid and makes it the current grid, so the
    // next re-creation takes its widths from there.
    void useDesignTimeGrid();
    // A new, empty fgFiles with its header row, the widths of the grid it replaces, laid out;
    // the delivered-findings counter becomes 0.
    void Recreate();
    // Grid above the status bar, over the control's inner size; failures end it silently.
    void Layout();

    // Number of finding rows put into the grid since the last re-creation.
    qint32 deliveredCount() const { return mlDelivered; }
    // Counts one more finding row; the rows below the findings are engine-error rows.
    void countDelivered();
    // How many characters the grids made from now on highlight at each finding's column.
    void setMatchLength(qint32 length) {
        mlMatchLength = length;
        mMatchLengthOf = nullptr;
    }
    // As above, found for each finding's line (a pattern's matches differ in length).
    void setMatchLength(std::function<int(const QString &line, int position)> length) {
        mlMatchLength = 0;
        mMatchLengthOf = std::move(length);
    }
    // Bumped by every re-creation: a delivery that sees it change stops, so findings of two
    // searches never meet in one grid.
    quint64 generation() const { return mlGeneration; }

    // The four cells of a finding row.
    struct Finding {
        QString sFileName;
        qint32 lLine;   // 0 where the cell holds no whole number (an error row)
        qint32 lColumn; // likewise
        QString sFound;
    };

    // The text of a cell; a cell the grid does not hold throws PlatformError.
    QString cell(qint32 row, qint32 column) const;
    Finding finding(qint32 row) const;
    // Appends one row at the end (the message row of an engine error).
    void appendRow(const QString &text);
    // Shows the rows inserted so far.
    void refresh();
    // Inserts a finding record as row `row`; the fourth cell takes the line's whole text.
    void insertRow(const QString &record, qint32 row);
    // Writes rows 0..lastRow, cells joined by tabs, each line ended by CR LF; the fourth cell is
    // written whole, so tabs of the line's text follow in the last field. False on any
    // failure; what was written stays.
    bool saveToTabFile(const QString &fileName, qint32 lastRow) const;
    // The widths of the current grid's columns, twips.
    ColumnWidths currentWidths() const;

signals:
    void DblClick(QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound);

private:
    void relayDoubleClick();
    Tavrin::ResultsTableView *currentGrid() const;

    Tavrin::UserControl &mControl;
    Tavrin::StatusBar &msbStatus;
    Tavrin::ResultsTableView *mfgDummy; // design-time grid: hidden, never removed
    QPointer<Tavrin::ResultsTableView> mfgFiles;
    bool mbDummyCurrent = true;
    ColumnWidths mlColWidthValues{2150, 630, 450, 1750};
    qint32 mlDelivered = 0;
    qint32 mlMatchLength = 0;
    std::function<int(const QString &line, int position)>
        mMatchLengthOf; // when set, instead of mlMatchLength
    quint64 mlGeneration = 0;
};
