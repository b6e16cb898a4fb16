// Fills a shown results grid with a million rows one AddItem at a time, yielding every 25 rows
// as a delivery does, then scrolls to the end and resizes, printing time and resident memory of
// each step; the filling is timed per tenth, so a cost that grows with the rows shows.
//   QT_QPA_PLATFORM=offscreen bench_results_table [rows]

#include "ResultsTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <ctime>

namespace {

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const auto match = QRegularExpression(QStringLiteral("VmRSS:\\s*(\\d+) kB")).match(text);
    return match.hasMatch() ? match.captured(1).toDouble() / 1024.0 : -1;
}

// Process CPU time: on a shared machine wall time also counts other processes' turns.
double cpuMilliseconds() {
    return std::clock() * 1000.0 / CLOCKS_PER_SEC;
}

void report(const char *step, const QElapsedTimer &timer, double cpuStart) {
    std::printf("%-26s wall %8.1f ms  cpu %8.1f ms  VmRSS %7.1f MB\n", step,
                timer.nsecsElapsed() / 1e6, cpuMilliseconds() - cpuStart, residentMegabytes());
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;

    Tavrin::ResultsTableView grid;
    grid.setRows(1);
    grid.setCols(4);
    grid.setFixedCols(0);
    grid.setAllowUserResizing(true);
    grid.resize(800, 400);
    grid.show();
    QApplication::processEvents();
    std::printf("rows %d; before: VmRSS %.1f MB\n", rows, residentMegabytes());

    // A finding record of about 100 characters: path, line, column, line text.
    const QString path = QStringLiteral("/home/user/projects/tavrin/src/component/file%1.cpp");
    const QString text =
        QStringLiteral("    if (found && !aborted) { deliver(record); } // keep going");

    const double before = residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuMilliseconds();
    QElapsedTimer tenth;
    tenth.start();
    double tenthCpu = cpu;
    for (int i = 1; i <= rows; ++i) {
        grid.AddItem(
            path.arg(i % 1000) + u'\t' + QString::number(i) + QStringLiteral("\t5\t") + text, i);
        if (i % 25 == 0)
            QApplication::processEvents();
        if (rows >= 10 && i % (rows / 10) == 0) {
            std::printf("  rows %7d: this tenth wall %6.1f ms  cpu %6.1f ms\n", i,
                        tenth.nsecsElapsed() / 1e6, cpuMilliseconds() - tenthCpu);
            tenth.restart();
            tenthCpu = cpuMilliseconds();
        }
    }
    QApplication::processEvents();
    report("AddItem, shown, yielding", timer, cpu);
    std::printf("grid memory: %.0f bytes a row (resident growth over the rows)\n",
                (residentMegabytes() - before) * 1024 * 1024 / rows);

    timer.restart();
    cpu = cpuMilliseconds();
    grid.scrollToBottom();
    QApplication::processEvents();
    grid.repaint();
    report("scroll to end + paint", timer, cpu);

    timer.restart();
    cpu = cpuMilliseconds();
    grid.resize(1000, 600);
    QApplication::processEvents();
    grid.repaint();
    report("resize + paint", timer, cpu);

    timer.restart();
    cpu = cpuMilliseconds();
    grid.setRow(rows / 2);
    grid.scrollTo(grid.currentIndex());
    grid.repaint();
    report("jump to middle + paint", timer, cpu);

    std::printf("last row: %s\n", qPrintable(grid.TextMatrix(grid.Rows() - 1, 0)));
    return grid.Rows() == rows + 1 ? 0 : 1;
}
