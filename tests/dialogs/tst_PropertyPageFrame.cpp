#include "ModalDriver.h"
#include "PlatformError.h"
#include "PropertyPage.h"
#include "PropertyPageFrame.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace {

// A page that logs the frame's calls into a shared journal and can be told to fail.
class LoggingPage : public Tavrin::PropertyPage {
public:
    LoggingPage(const QString &caption, QStringList *journal) : mJournal(journal) {
        setWindowTitle(caption);
        resize(200, 100);
    }
    void SelectionChanged() override {
        *mJournal << windowTitle() + " load " + QString::number(SelectedControls().size());
        if (failLoad)
            throw Tavrin::PlatformError(438, "load failed");
    }
    void ApplyChanges() override {
        *mJournal << windowTitle() + " apply";
        if (failApply)
            throw Tavrin::PlatformError(438, "apply failed");
    }
    bool failLoad = false;
    bool failApply = false;

private:
    QStringList *mJournal;
};

// Closes the next message box and keeps its text.
void closeNextMessageBox(QString *text) {
    whenModal<QMessageBox>([text](QMessageBox *box) {
        *text = box->text();
        box->close();
    });
}

} // namespace

class TestPropertyPageFrame : public QObject {
    Q_OBJECT

private slots:
    void pagesGetTheSelectionAndOneTabEach() {
        QStringList journal;
        QObject a, b;
        Tavrin::PropertyPageFrame frame(
            {&a, &b}, {new LoggingPage("One", &journal), new LoggingPage("Two", &journal)});
        QCOMPARE(journal, QStringList({"One load 2", "Two load 2"}));
        auto *tabs = frame.findChild<QTabWidget *>();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), QString("Two"));
        QCOMPARE(frame.pages()[0]->SelectedControls(), QList<QObject *>({&a, &b}));
    }

    void applyFollowsTheChangedFlags() {
        QStringList journal;
        auto *one = new LoggingPage("One", &journal);
        auto *two = new LoggingPage("Two", &journal);
        Tavrin::PropertyPageFrame frame({}, {one, two});
        journal.clear();
        QVERIFY(!frame.applyButton()->isEnabled());

        two->setChanged(true);
        QVERIFY(frame.applyButton()->isEnabled());
        QTest::mouseClick(frame.applyButton(), Qt::LeftButton);
        // Only the changed page applies; afterwards nothing is pending.
        QCOMPARE(journal, QStringList({"Two apply"}));
        QVERIFY(!two->Changed());
        QVERIFY(!frame.applyButton()->isEnabled());
    }

    void okAppliesAndClosesCancelDoesNot_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void okAppliesAndClosesCancelDoesNot() {
        QFETCH(bool, ok);
        QStringList journal;
        auto *page = new LoggingPage("One", &journal);
        Tavrin::PropertyPageFrame frame({}, {page});
        journal.clear();
        whenModal<Tavrin::PropertyPageFrame>([&](Tavrin::PropertyPageFrame *open) {
            page->setChanged(true);
            QTest::mouseClick(ok ? open->okButton() : open->cancelButton(), Qt::LeftButton);
        });
        const int result = frame.exec();
        QCOMPARE(result, ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(journal, ok ? QStringList({"One apply"}) : QStringList());
    }

    void failingApplyIsReportedAndKeepsTheFrameOpen() {
        QStringList journal;
        auto *one = new LoggingPage("One", &journal);
        auto *two = new LoggingPage("Two", &journal);
        one->failApply = true;
        Tavrin::PropertyPageFrame frame({}, {one, two});
        QSignalSpy reported(&frame, &Tavrin::PropertyPageFrame::errorReported);
        journal.clear();
        QString shown;
        bool openAfterOk = false;
        whenModal<Tavrin::PropertyPageFrame>([&](Tavrin::PropertyPageFrame *open) {
            one->setChanged(true);
            two->setChanged(true);
            closeNextMessageBox(&shown);
            QTest::mouseClick(open->okButton(), Qt::LeftButton);
            openAfterOk = open->isVisible();
            open->reject();
        });
        frame.exec();
        QVERIFY(openAfterOk);
        QCOMPARE(shown, QString("apply failed"));
        QCOMPARE(reported.size(), 1);
        // The failed page keeps its edits; later pages were not applied.
        QCOMPARE(journal, QStringList({"One apply"}));
        QVERIFY(one->Changed());
        QVERIFY(two->Changed());
    }

    void failingLoadIsReported() {
        QStringList journal;
        auto *page = new LoggingPage("One", &journal);
        page->failLoad = true;
        QString shown;
        closeNextMessageBox(&shown);
        // The load runs while the frame is built; the report must not block it.
        Tavrin::PropertyPageFrame frame({}, {page});
        QCOMPARE(shown, QString("load failed"));
    }
};

QTEST_MAIN(TestPropertyPageFrame)
#include "tst_PropertyPageFrame.moc"
