// Saves a picture of a results grid, laid out and filled as the control fills it (designed
// column widths, the last column over the room left, a highlighted match on a plain and on a
// selected row, tab-indented lines, an engine-error row), to the PNG file given as the only
// argument, for the documentation.

#include "ResultsTableView.h"

#include <QApplication>
#include <QTextStream>

using Tavrin::ResultsTableView;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: " << argv[0] << " <picture.png>\n";
        return 2;
    }
    ResultsTableView grid;
    grid.setRows(1);
    grid.setCols(4);
    grid.setFixedCols(0);
    grid.setAllowUserResizing(true);
    const QStringList headers{"File", "Line", "Col", "Item Found"};
    const QList<int> widths{2150, 630, 450, 1750};
    for (int c = 0; c < 4; ++c) {
        grid.setTextMatrix(0, c, headers.at(c));
        grid.setColWidth(c, widths.at(c));
    }
    struct Row {
        const char *file;
        int line;
        const char *text;
    };
    const QList<Row> rows{
        {"/home/ana/src/tavrin/engine/scan/ScanFolder.cpp", 12,
         "\tif (mbAbort)\t// after each yield"},
        {"/home/ana/src/tavrin/engine/scan/ScanFolder.cpp", 33750, "\t\t\tif (mbAbort) {"},
        {"/home/ana/src/tavrin/engine/scan/ScanFolder.cpp", 3381,
         "\t\t\t\tmbAbort = false;\treturn;"},
        {"/home/ana/src/tavrin/control/relay/SearchRelay.cpp", 48,
         "void SearchRelay::Abort() {\tmbAbort = true;\t}"},
        {"/home/ana/src/tavrin/docs/notes.txt", 1, "Set mbAbort to stop a scan."},
    };
    const QString needle = QStringLiteral("mbAbort");
    int row = 1;
    for (const Row &r : rows) {
        const QString text = QString::fromUtf8(r.text);
        grid.AddItem(QString::fromUtf8(r.file) +
                     QStringLiteral("\t%1\t%2").arg(r.line).arg(text.indexOf(needle) + 1));
        grid.setTextMatrix(row++, 3, text); // the whole line, tabs and all
    }
    grid.AddItem(QStringLiteral("Cannot open /home/ana/src/tavrin/private.key: Permission denied"));
    grid.setFirstMessageRow(row);
    grid.setHighlight(3, 2, int(needle.size()));
    grid.resize(620, 150);
    grid.show();
    grid.Refresh();
    grid.setRow(2);
    QApplication::processEvents();
    return grid.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
