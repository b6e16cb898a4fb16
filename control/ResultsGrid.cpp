#include "ResultsGrid.h"

#include "FindingRecord.h"
#include "PlatformError.h"
#include "ResultsTableView.h"
#include "StatusBar.h"
#include "UserControl.h"

#include <QFile>

using Tavrin::ResultsTableView;

namespace {
const QString GridProgId = QStringLiteral("MSFlexGridLib.MSFlexGrid.1");
const QString GridName = QStringLiteral("fgFiles");

// A cell read as a number; text that is not a whole number (an error row) gives 0.
qint32 cellNumber(const QString &text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}
} // namespace

ResultsGrid::ResultsGrid(Tavrin::UserControl &control, Tavrin::StatusBar &sbStatus)
    : QObject(&control), mControl(control), msbStatus(sbStatus),
      mfgDummy(new ResultsTableView(&control)) {
    mfgDummy->setObjectName(QStringLiteral("fgDummy"));
    mfgDummy->setCols(4);
    mfgDummy->hide();
}

ResultsTableView *ResultsGrid::currentGrid() const {
    return mbDummyCurrent ? mfgDummy : mfgFiles.data();
}

void ResultsGrid::useDesignTimeGrid() {
    for (int c = 0; c < 4; ++c)
        mfgDummy->setColWidth(c, mlColWidthValues[c]);
    mbDummyCurrent = true;
}

void ResultsGrid::Recreate() {
    if (ResultsTableView *current = currentGrid()) {
        for (int c = 0; c < 4; ++c)
            mlColWidthValues[c] = current->ColWidth(c);
    }
    mfgFiles = nullptr;
    mbDummyCurrent = false;
    try {
        mControl.Controls().Remove(GridName);
    } catch (const Tavrin::PlatformError &) {
        // The first re-creation finds none: the design-time grid is never removed.
    }
    auto *grid = qobject_cast<ResultsTableView *>(mControl.Controls().Add(GridProgId, GridName));
    mfgFiles = grid;
    connect(grid, &ResultsTableView::DblClick, this, &ResultsGrid::relayDoubleClick);
    grid->setRows(1);
    grid->setCols(4);
    grid->setFixedCols(0);
    grid->setAllowUserResizing(true);
    grid->setVisible(true);
    grid->setTextMatrix(0, 0, QStringLiteral("File"));
    grid->setTextMatrix(0, 1, QStringLiteral("Line"));
    grid->setTextMatrix(0, 2, QStringLiteral("Col"));
    grid->setTextMatrix(0, 3, QStringLiteral("Item Found"));
    for (int c = 0; c < 4; ++c)
        grid->setColWidth(c, mlColWidthValues[c]);
    if (mMatchLengthOf)
        grid->setHighlight(3, 2, mMatchLengthOf);
    else
        grid->setHighlight(3, 2, mlMatchLength);
    grid->setFirstMessageRow(1);
    grid->setCopySeparator(QStringLiteral(":"));
    Layout();
    mlDelivered = 0;
    ++mlGeneration;
}

void ResultsGrid::Layout() {
    ResultsTableView *grid = mfgFiles.data();
    if (!grid)
        return;
    grid->setLeft(0);
    grid->setTop(0);
    const int h = mControl.ScaleHeight() - msbStatus.Height();
    if (h > 0)
        grid->setHeight(h);
    grid->setWidth(mControl.ScaleWidth());
}

QString ResultsGrid::cell(qint32 row, qint32 column) const {
    if (!mfgFiles)
        throw Tavrin::PlatformError::subscriptOutOfRange();
    return mfgFiles->TextMatrix(row, column);
}

void ResultsGrid::countDelivered() {
    ++mlDelivered;
    if (mfgFiles)
        mfgFiles->setFirstMessageRow(mlDelivered + 1);
}

ResultsGrid::Finding ResultsGrid::finding(qint32 row) const {
    return {cell(row, 0), cellNumber(cell(row, 1)), cellNumber(cell(row, 2)), cell(row, 3)};
}

void ResultsGrid::appendRow(const QString &text) {
    if (mfgFiles)
        mfgFiles->AddItem(text);
}

void ResultsGrid::refresh() {
    if (mfgFiles)
        mfgFiles->Refresh();
}

void ResultsGrid::insertRow(const QString &record, qint32 row) {
    mfgFiles->addRow(FindingRecord::fields(record), row);
}

bool ResultsGrid::saveToTabFile(const QString &fileName, qint32 lastRow) const {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    try {
        for (qint32 i = 0; i <= lastRow; ++i) {
            const QString line = cell(i, 0) + QLatin1Char('\t') + cell(i, 1) + QLatin1Char('\t') +
                                 cell(i, 2) + QLatin1Char('\t') + cell(i, 3) +
                                 QLatin1String("\r\n");
            const QByteArray bytes = line.toUtf8();
            if (file.write(bytes) != bytes.size())
                return false;
        }
    } catch (const Tavrin::PlatformError &) {
        return false;
    }
    if (!file.flush())
        return false;
    file.close();
    return file.error() == QFileDevice::NoError;
}

ResultsGrid::ColumnWidths ResultsGrid::currentWidths() const {
    ColumnWidths widths = mlColWidthValues;
    if (const ResultsTableView *grid = currentGrid()) {
        for (int c = 0; c < 4; ++c)
            widths[c] = grid->ColWidth(c);
    }
    return widths;
}

void ResultsGrid::relayDoubleClick() {
    const int r = mfgFiles ? mfgFiles->Row() : 0;
    if (r <= 0)
        return;
    Finding row = finding(r);
    emit DblClick(row.sFileName, row.lLine, row.lColumn, row.sFound);
}
