#include "ResultsTableDelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>

// What the highlight column shows of a line: tabs as spaces, the match where the engine's
// column puts it (code points), and kept in view when the line is cut.
class tst_ResultsTableDelegate : public QObject {
    Q_OBJECT
private slots:
    void shownLineKeepsTheMatch_data();
    void shownLineKeepsTheMatch();
};

namespace {
const QChar Ellipsis(0x2026);
constexpr int Wide = 100000;
} // namespace

void tst_ResultsTableDelegate::shownLineKeepsTheMatch_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text"); // whole expected text; empty: only the checks below
    QTest::addColumn<QString>("match");
    QTest::addColumn<bool>("cutBefore");
    QTest::addColumn<bool>("cutAfter");

    const QString longLine = QStringLiteral("0123456789 ").repeated(30);
    QTest::newRow("leading tabs") << "\t\tif (needle)" << 7 << 6 << Wide << "        if (needle)"
                                  << "needle" << false << false;
    QTest::newRow("tab to the next stop") << "ab\tneedle" << 4 << 6 << Wide << "ab  needle"
                                          << "needle" << false << false;
    QTest::newRow("astral characters count once")
        << QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80 needle") << 4 << 6 << Wide
        << QString() << "needle" << false << false;
    QTest::newRow("match past the end of the line") << "short" << 40 << 6 << Wide << "short"
                                                    << "" << false << false;
    QTest::newRow("length past the end") << "ab needle" << 4 << 40 << Wide << "ab needle"
                                         << "needle" << false << false;
    QTest::newRow("no highlight asked") << "ab needle" << 4 << 0 << Wide << "ab needle"
                                        << "" << false << false;
    QTest::newRow("position zero") << "ab needle" << 0 << 6 << Wide << "ab needle"
                                   << "" << false << false;
    QTest::newRow("match far right in a narrow cell")
        << longLine + "needle" << int(longLine.size()) + 1 << 6 << 150 << QString() << "needle"
        << true << false;
    QTest::newRow("match at the start of a long line")
        << "needle " + longLine << 1 << 6 << 150 << QString() << "needle" << false << true;
    QTest::newRow("match in the middle of a long line")
        << longLine + "needle" + longLine << int(longLine.size()) + 1 << 6 << 150 << QString()
        << "needle" << true << true;
    const QString huge(100000, QLatin1Char('x'));
    QTest::newRow("match deep in a huge line") << huge + "needle" + huge << int(huge.size()) + 1
                                               << 6 << 150 << QString() << "needle" << true << true;
    QTest::newRow("huge line without a match")
        << huge << 0 << 0 << 150 << QString() << "" << false << true;
}

void tst_ResultsTableDelegate::shownLineKeepsTheMatch() {
    QFETCH(QString, line);
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(int, width);
    QFETCH(QString, text);
    QFETCH(QString, match);
    QFETCH(bool, cutBefore);
    QFETCH(bool, cutAfter);
    const QFontMetrics metrics(QApplication::font());
    const auto shown = ResultsTableDelegate::shownLine(line, position, length, metrics, width);
    if (!text.isEmpty())
        QCOMPARE(shown.text, text);
    QCOMPARE(shown.text.mid(shown.matchStart, shown.matchLength), match);
    QCOMPARE(shown.text.startsWith(Ellipsis), cutBefore);
    QCOMPARE(shown.text.endsWith(Ellipsis), cutAfter);
    QVERIFY(metrics.horizontalAdvance(shown.text) <= width);
    QVERIFY(!shown.text.contains(QLatin1Char('\t')));
}

QTEST_MAIN(tst_ResultsTableDelegate)
#include "tst_ResultsTableDelegate.moc"
