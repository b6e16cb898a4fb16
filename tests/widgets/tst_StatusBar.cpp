#include "PlatformError.h"
#include "StatusBar.h"
#include "StatusBarPanel.h"
#include "Twips.h"

#include <QTest>

using Tavrin::StatusBar;
using Tavrin::StatusBarPanel;

class tst_StatusBar : public QObject {
    Q_OBJECT
private slots:
    void panelsAreNumberedFromOne();
    void missingPanelFailsWithSubscriptOutOfRange_data();
    void missingPanelFailsWithSubscriptOutOfRange();
    void panelWidthsAreInTwips();
    void autoSizedPanelGrowsToShowItsText();
    void staysAlongTheBottomOfItsParentAtItsOwnHeight();
};

void tst_StatusBar::panelsAreNumberedFromOne() {
    StatusBar bar;
    bar.addPanel(QStringLiteral("Hits Found:"), 1000);
    bar.addPanel();
    bar.addPanel();
    QCOMPARE(bar.PanelCount(), 3);
    QCOMPARE(bar.Panels(1).Text(), QStringLiteral("Hits Found:"));
    bar.Panels(3).setText(QStringLiteral("Scan Completed Successfully"));
    QCOMPARE(bar.Panels(3).Text(), QStringLiteral("Scan Completed Successfully"));
    QCOMPARE(bar.Panels(2).Text(), QString());
}

void tst_StatusBar::missingPanelFailsWithSubscriptOutOfRange_data() {
    QTest::addColumn<int>("n");
    QTest::newRow("zero") << 0;
    QTest::newRow("one past the last") << 3;
}

void tst_StatusBar::missingPanelFailsWithSubscriptOutOfRange() {
    QFETCH(int, n);
    StatusBar bar;
    bar.addPanel();
    bar.addPanel();
    try {
        bar.Panels(n);
        QFAIL("no failure");
    } catch (const Tavrin::PlatformError &error) {
        QCOMPARE(error.number(), int(Tavrin::PlatformError::SubscriptOutOfRange));
    }
}

void tst_StatusBar::panelWidthsAreInTwips() {
    StatusBar bar;
    StatusBarPanel &panel = bar.addPanel(QString(), 1440);
    QCOMPARE(panel.width(), Twips::toPixelsX(&panel, 1440));
    QCOMPARE(panel.Width(), 1440);
    panel.setWidth(2880);
    QCOMPARE(panel.Width(), 2880);

    // A text too long for the panel keeps the panel's width, and all of the text.
    panel.setWidth(300);
    panel.setText(QStringLiteral("Scan Completed Successfully"));
    QCOMPARE(panel.Width(), 300);
    QCOMPARE(panel.Text(), QStringLiteral("Scan Completed Successfully"));
}

void tst_StatusBar::autoSizedPanelGrowsToShowItsText() {
    QWidget parent;
    Tavrin::StatusBar bar(&parent);
    auto &fixed = bar.addPanel(QString(), 1440);
    auto &sized = bar.addPanel(QString(), 1440);
    sized.setAutoSize(true);
    QCOMPARE(sized.Width(), 1440); // never below its set width
    const QString text = QStringLiteral("Scan Completed Successfully, and then some");
    fixed.setText(text);
    sized.setText(text);
    QCOMPARE(fixed.Width(), 1440);
    QVERIFY(sized.contentsRect().width() >= sized.fontMetrics().horizontalAdvance(text));
    QCOMPARE(sized.geometry().left(), fixed.geometry().right() + 1 + 2); // panels stay in a row
    sized.setText(QStringLiteral("0"));
    QCOMPARE(sized.Width(), 1440);
}

void tst_StatusBar::staysAlongTheBottomOfItsParentAtItsOwnHeight() {
    QWidget form;
    form.resize(413, 231);
    auto *bar = new StatusBar(&form);
    bar->addPanel(QStringLiteral("Hits Found:"), 1000);
    bar->addPanel(QString(), 1440);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(bar->Height(), 300);
    QCOMPARE(bar->geometry(), QRect(0, 231 - bar->height(), 413, bar->height()));

    form.resize(600, 400);
    QCOMPARE(bar->geometry(), QRect(0, 400 - bar->height(), 600, bar->height()));
    QCOMPARE(bar->Height(), 300); // the height is the bar's own
    // Panels stand side by side in their order, at their widths.
    QCOMPARE(bar->Panels(2).x(), bar->Panels(1).geometry().right() + 1 + 2);
    bar->Panels(1).setWidth(2000);
    QTRY_COMPARE(bar->Panels(2).x(), bar->Panels(1).geometry().right() + 1 + 2);

    QWidget other;
    other.resize(200, 100);
    bar->setParent(&other);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.resize(250, 120);
    QCOMPARE(bar->geometry(), QRect(0, 120 - bar->height(), 250, bar->height()));
}

QTEST_MAIN(tst_StatusBar)
#include "tst_StatusBar.moc"
