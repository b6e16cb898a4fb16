#include "FakeControl.h"
#include "ModalDriver.h"
#include "PropertyPageFrame.h"
#include "ppgGeneral.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
// One of the page's check boxes, by its object name.
QCheckBox *box(QWidget *page, const char *name) {
    auto *found = page->findChild<QCheckBox *>(QLatin1String(name));
    if (!found)
        qFatal("the page has no check box %s", name);
    return found;
}
} // namespace

class TestPpgGeneral : public QObject {
    Q_OBJECT

private slots:
    void loadShowsTheFirstControlAndIsNotChanged_data() {
        QTest::addColumn<qint16>("stream");
        QTest::addColumn<qint16>("caseSensitive");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<bool>("wholeWord");
        QTest::newRow("streaming, subfolders") << qint16(-1) << qint16(0) << true << false;
        QTest::newRow("at end, case, whole word") << qint16(0) << qint16(-1) << false << true;
    }
    void loadShowsTheFirstControlAndIsNotChanged() {
        QFETCH(qint16, stream);
        QFETCH(qint16, caseSensitive);
        QFETCH(bool, subfolders);
        QFETCH(bool, wholeWord);
        FakeControl first, second;
        first.preset(caseSensitive, wholeWord, subfolders, stream);
        second.preset(caseSensitive ? 0 : -1, !wholeWord, !subfolders, stream ? 0 : -1);
        auto *page = new Tavrin::ppgGeneral;
        // Start from the opposite state so every box must move during the load.
        box(page, "cbDontStreamFindings")->setChecked(stream == -1);
        box(page, "cbCaseSensitive")->setChecked(caseSensitive != -1);
        page->setChanged(true);
        Tavrin::PropertyPageFrame frame({&first, &second}, {page});
        QCOMPARE(box(page, "cbDontStreamFindings")->isChecked(), stream != -1);
        QCOMPARE(box(page, "cbCaseSensitive")->isChecked(), caseSensitive == -1);
        QCOMPARE(box(page, "cbLookInSubfolders")->isChecked(), subfolders);
        QCOMPARE(box(page, "cbWholeWordOnly")->isChecked(), wholeWord);
        QVERIFY(!page->Changed());
        QVERIFY(!frame.applyButton()->isEnabled());
        QVERIFY(first.writes.isEmpty());
    }

    void applyWritesAllFourToTheFirstControlOnly() {
        FakeControl first, second;
        first.preset(0, false, true, -1);
        second.preset(0, false, true, -1);
        auto *page = new Tavrin::ppgGeneral;
        Tavrin::PropertyPageFrame frame({&first, &second}, {page});
        frame.show();
        // Clicked twice: back where it was, but still an edit.
        QTest::mouseClick(box(page, "cbCaseSensitive"), Qt::LeftButton);
        QTest::mouseClick(box(page, "cbCaseSensitive"), Qt::LeftButton);
        QVERIFY(page->Changed());
        QVERIFY(first.writes.isEmpty());
        QTest::mouseClick(frame.applyButton(), Qt::LeftButton);
        QCOMPARE(first.writtenNames(), QList<QByteArray>({"StreamFindings", "CaseSensitive",
                                                          "LookInSubfolders", "WholeWordOnly"}));
        QCOMPARE(first.writes[0].value, QVariant::fromValue<qint16>(-1));
        QCOMPARE(first.writes[1].value, QVariant::fromValue<qint16>(0));
        QCOMPARE(first.writes[2].value, QVariant(true));
        QCOMPARE(first.writes[3].value, QVariant(false));
        QVERIFY(second.writes.isEmpty());
        QVERIFY(!page->Changed());
    }

    void checkingTheStreamingBoxTurnsStreamingOff() {
        FakeControl control;
        control.preset(-1, true, false, -1);
        auto *page = new Tavrin::ppgGeneral;
        Tavrin::PropertyPageFrame frame({&control}, {page});
        whenModal<Tavrin::PropertyPageFrame>([&](Tavrin::PropertyPageFrame *open) {
            QVERIFY(!box(page, "cbDontStreamFindings")->isChecked());
            QTest::mouseClick(box(page, "cbDontStreamFindings"), Qt::LeftButton);
            QTest::mouseClick(open->okButton(), Qt::LeftButton);
        });
        QCOMPARE(frame.exec(), int(QDialog::Accepted));
        QCOMPARE(control.StreamFindings(), qint16(0));
        QCOMPARE(control.CaseSensitive(), qint16(-1));
        QCOMPARE(control.WholeWordOnly(), QVariant(true));
    }

    void unreadableSelectionReachesTheFrame_data() {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QString>("message");
        QTest::newRow("object without the properties")
            << false << "Object doesn't support this property or method";
        QTest::newRow("empty selection") << true << "Subscript out of range";
    }
    void unreadableSelectionReachesTheFrame() {
        QFETCH(bool, empty);
        QFETCH(QString, message);
        QObject plain;
        QString shown;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            shown = box->text();
            box->close();
        });
        auto *page = new Tavrin::ppgGeneral;
        Tavrin::PropertyPageFrame frame(empty ? QList<QObject *>() : QList<QObject *>({&plain}),
                                        {page});
        QCOMPARE(shown, message);
        // Nothing was created on the object by the attempt.
        QVERIFY(plain.dynamicPropertyNames().isEmpty());
    }
};

QTEST_MAIN(TestPpgGeneral)
#include "tst_ppgGeneral.moc"
