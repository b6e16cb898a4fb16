#include "PlatformError.h"
#include "ResultsTableView.h"
#include "Twips.h"
#include "UserControlHost.h"

#include <QPointer>
#include <QTest>
#include <stdexcept>

namespace {

// Records its container events; the log outlives the control.
class RecordingControl : public Tavrin::UserControl {
public:
    explicit RecordingControl(QWidget *parent) : Tavrin::UserControl(parent) {}

    static QStringList log;
    static bool failInitialize;

protected:
    void Initialize() override {
        log << "Initialize:" + Name();
        if (failInitialize)
            throw Tavrin::PlatformError(Tavrin::PlatformError::ServerUnavailable, "server gone");
    }
    void InitProperties() override { log << "InitProperties:" + Name(); }
    void ReadProperties() override { log << "ReadProperties:" + Name(); }
    void WriteProperties() override { log << "WriteProperties:" + Name(); }
    void Resize() override { log << "Resize"; }
    void Terminate() override { log << "Terminate:" + Name(); }
};

QStringList RecordingControl::log;
bool RecordingControl::failInitialize = false;

int countOf(const QString &entry) {
    return RecordingControl::log.count(entry);
}

} // namespace

class tst_UserControlHost : public QObject {
    Q_OBJECT
private slots:
    void init();
    void containerEventsComeInOrder_data();
    void containerEventsComeInOrder();
    void terminateComesOnceWhateverEndsTheControl_data();
    void terminateComesOnceWhateverEndsTheControl();
    void formThatRefusesToCloseKeepsItsControls();
    void failedInitializeLeavesNoControl();
    void controlsAreAddedAndRemovedByName();
    void controlRemovedFromItsOwnSignalStaysUsableUntilItReturns();
    void scaleSizeIsTheInnerSizeInTwips();
};

void tst_UserControlHost::init() {
    RecordingControl::log.clear();
    RecordingControl::failInitialize = false;
}

void tst_UserControlHost::containerEventsComeInOrder_data() {
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("brand-new instance")
        << false
        << QStringList{"Initialize:", "InitProperties:TavrinX1", "Resize",
                       "WriteProperties:TavrinX1", "Terminate:TavrinX1"};
    QTest::newRow("saved instance loaded by name")
        << true
        << QStringList{"Initialize:", "ReadProperties:TavrinX1", "Resize",
                       "WriteProperties:TavrinX1", "Terminate:TavrinX1"};
}

void tst_UserControlHost::containerEventsComeInOrder() {
    QFETCH(bool, loaded);
    QFETCH(QStringList, events);
    QWidget form;
    auto *host = new Tavrin::UserControlHost(&form);
    const QString name = QStringLiteral("TavrinX1");
    RecordingControl *control =
        loaded ? host->load<RecordingControl>(name) : host->createNew<RecordingControl>(name);
    QCOMPARE(control->Name(), name);
    QCOMPARE(control->parentWidget(), &form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    RecordingControl::log.removeDuplicates(); // the number of resizes is the window system's
    host->save(control);
    host->terminate(control);
    QCOMPARE(RecordingControl::log, events);
}

void tst_UserControlHost::terminateComesOnceWhateverEndsTheControl_data() {
    QTest::addColumn<QString>("ending");
    QTest::newRow("form closes") << "close";
    QTest::newRow("host destroyed") << "host";
    QTest::newRow("form destroyed") << "form";
    QTest::newRow("let go, then form destroyed") << "terminate";
}

void tst_UserControlHost::terminateComesOnceWhateverEndsTheControl() {
    QFETCH(QString, ending);
    auto *form = new QWidget;
    auto *host = new Tavrin::UserControlHost(form);
    QPointer<Tavrin::UserControl> a = host->createNew<RecordingControl>("A");
    QPointer<Tavrin::UserControl> b = host->load<RecordingControl>("B");
    form->show();
    if (ending == "close") {
        form->close();
        QTRY_COMPARE(countOf("Terminate:A"), 1);
        QVERIFY(!a && !b);
    } else if (ending == "host") {
        delete host;
    } else if (ending == "terminate") {
        host->terminate(a);
        QVERIFY(!a);
    }
    delete form;
    QCOMPARE(countOf("Terminate:A"), 1);
    QCOMPARE(countOf("Terminate:B"), 1);
}

void tst_UserControlHost::formThatRefusesToCloseKeepsItsControls() {
    class StubbornForm : public QWidget {
    protected:
        void closeEvent(QCloseEvent *event) override { event->ignore(); }
    } form;
    auto *host = new Tavrin::UserControlHost(&form);
    QPointer<Tavrin::UserControl> control = host->createNew<RecordingControl>("A");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(!form.close());
    QTest::qWait(20);
    QVERIFY(control);
    QCOMPARE(countOf("Terminate:A"), 0);
}

void tst_UserControlHost::failedInitializeLeavesNoControl() {
    QWidget form;
    auto *host = new Tavrin::UserControlHost(&form);
    RecordingControl::failInitialize = true;
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, host->createNew<RecordingControl>("A"));
    QVERIFY(host->controls().isEmpty());
    QVERIFY(form.findChildren<RecordingControl *>().isEmpty());
    QCOMPARE(countOf("Terminate:"), 0);
}

void tst_UserControlHost::controlsAreAddedAndRemovedByName() {
    Tavrin::UserControl control;
    Tavrin::ControlCollection &controls = control.Controls();
    QWidget *added = controls.Add(QStringLiteral("MSFlexGridLib.MSFlexGrid.1"), "fgFiles");
    QVERIFY(qobject_cast<Tavrin::ResultsTableView *>(added));
    QCOMPARE(added->parentWidget(), &control);
    QCOMPARE(added->objectName(), QStringLiteral("fgFiles"));
    QCOMPARE(controls.Item("FGFILES"), added);
    QCOMPARE(controls.Count(), 1);
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError,
                             controls.Add("MSFlexGridLib.MSFlexGrid.1", "fgFiles"));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, controls.Add("No.Such.Class", "x"));
    QCOMPARE(controls.Count(), 1);

    QPointer<QWidget> removed = added;
    controls.Remove("fgFiles");
    QCOMPARE(controls.Item("fgFiles"), nullptr);
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, controls.Remove("fgFiles"));
    QWidget *again = controls.Add("msflexgridlib.msflexgrid.1", "fgFiles"); // the name is free
    QVERIFY(again != removed);
    QTRY_VERIFY(!removed);
}

void tst_UserControlHost::controlRemovedFromItsOwnSignalStaysUsableUntilItReturns() {
    Tavrin::UserControl control;
    auto *grid = qobject_cast<Tavrin::ResultsTableView *>(
        control.Controls().Add("MSFlexGridLib.MSFlexGrid.1", "fgFiles"));
    QPointer<QWidget> guard = grid;
    bool rowReadAfterRemove = false;
    connect(grid, &Tavrin::ResultsTableView::DblClick, this, [&] {
        control.Controls().Remove("fgFiles");
        control.Controls().Add("MSFlexGridLib.MSFlexGrid.1", "fgFiles");
        rowReadAfterRemove = grid->Row() == 0;
    });
    emit grid->DblClick();
    QVERIFY(rowReadAfterRemove);
    QTRY_VERIFY(!guard);
}

void tst_UserControlHost::scaleSizeIsTheInnerSizeInTwips() {
    Tavrin::UserControl control;
    control.resize(Twips::toPixelsX(&control, 6195), Twips::toPixelsY(&control, 3465));
    QCOMPARE(control.ScaleWidth(), Twips::fromPixelsX(&control, control.width()));
    QCOMPARE(control.ScaleHeight(), Twips::fromPixelsY(&control, control.height()));
    QVERIFY(qAbs(control.ScaleWidth() - 6195) < 15);
    control.setContentsMargins(2, 3, 2, 3);
    QCOMPARE(control.ScaleHeight(), Twips::fromPixelsY(&control, control.height() - 6));
}

QTEST_MAIN(tst_UserControlHost)
#include "tst_UserControlHost.moc"
