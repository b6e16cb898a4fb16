#include "FakeControl.h"
#include "ModalDriver.h"
#include "ShowTavrinDialog.h"
#include "frmTavrinOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using Act = std::function<void(frmTavrinOptions *)>;

class TestShowTavrinDialog : public QObject {
    Q_OBJECT

private:
    // Shows the dialog for `control`, runs `act` on it while it is open, returns the result.
    bool show(FakeControl &control, const QStringList &paths, const QStringList &exts,
              const QStringList &searches, const Act &act) {
        bool timedOut = false;
        whenModal<frmTavrinOptions>(act, &timedOut);
        const bool result = ShowTavrinDialog(&control, paths, exts, searches);
        if (timedOut)
            qFatal("the options dialog did not come up");
        return result;
    }
    static QStringList items(const QComboBox *combo) {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    }

private slots:
    void checkBoxesShowTheControlsOptions_data() {
        QTest::addColumn<qint16>("caseSensitive");
        QTest::addColumn<bool>("wholeWord");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<qint16>("stream");
        QTest::newRow("case, subfolders, streaming") << qint16(-1) << false << true << qint16(-1);
        QTest::newRow("whole word, at end") << qint16(0) << true << false << qint16(0);
        // Only -1 is True: a stray 1 reads as not True.
        QTest::newRow("case 1 is not True") << qint16(1) << false << false << qint16(1);
    }
    void checkBoxesShowTheControlsOptions() {
        QFETCH(qint16, caseSensitive);
        QFETCH(bool, wholeWord);
        QFETCH(bool, subfolders);
        QFETCH(qint16, stream);
        FakeControl control;
        control.preset(caseSensitive, wholeWord, subfolders, stream);
        bool seen = false;
        const bool result = show(control, {}, {}, {}, [&](frmTavrinOptions *frm) {
            seen = true;
            QCOMPARE(frm->cbCaseSensitive->isChecked(), caseSensitive == -1);
            QCOMPARE(frm->cbWholeWordOnly->isChecked(), wholeWord);
            QCOMPARE(frm->cbLookInSubfolders->isChecked(), subfolders);
            QCOMPARE(frm->cbDontStreamResults->isChecked(), stream != -1);
            for (QComboBox *combo : {frm->cbDirectory, frm->cbFileExt, frm->cbSearchFor}) {
                QCOMPARE(combo->count(), 0);
                QCOMPARE(combo->currentText(), QString());
            }
            QTest::mouseClick(frm->cbCancel, Qt::LeftButton);
        });
        QVERIFY(seen);
        QVERIFY(!result);
        QVERIFY(control.writes.isEmpty());
    }

    void recentValuesStandNewestFirstWithNewestInTheBox() {
        FakeControl control;
        QStringList dirs, exts, searches;
        show(control, {"A", "B", "C"}, {"*.txt"}, {"x", "y"}, [&](frmTavrinOptions *frm) {
            dirs = items(frm->cbDirectory);
            exts = items(frm->cbFileExt);
            searches = items(frm->cbSearchFor);
            QCOMPARE(frm->cbDirectory->currentText(), QString("C"));
            QCOMPARE(frm->cbFileExt->currentText(), QString("*.txt"));
            QCOMPARE(frm->cbSearchFor->currentText(), QString("y"));
            QTest::mouseClick(frm->cbCancel, Qt::LeftButton);
        });
        QCOMPARE(dirs, QStringList({"C", "B", "A"}));
        QCOMPARE(exts, QStringList({"*.txt"}));
        QCOMPARE(searches, QStringList({"y", "x"}));
    }

    void searchWritesAllSevenInOrder() {
        FakeControl control;
        control.preset(-1, true, false, 0);
        const bool result =
            show(control, {"/src"}, {"*.cpp"}, {"", "needle"},
                 [](frmTavrinOptions *frm) { QTest::mouseClick(frm->cbSearch, Qt::LeftButton); });
        QVERIFY(result);
        QCOMPARE(control.writtenNames(),
                 QList<QByteArray>({"CaseSensitive", "LookInSubfolders", "WholeWordOnly",
                                    "StreamFindings", "SearchPath", "SearchExt", "SearchString"}));
        QCOMPARE(control.writes[0].value, QVariant::fromValue<qint16>(-1));
        // The two tagged options travel as Boolean variants.
        QCOMPARE(control.writes[1].value.typeId(), QMetaType::Bool);
        QCOMPARE(control.writes[1].value, QVariant(false));
        QCOMPARE(control.writes[2].value, QVariant(true));
        QCOMPARE(control.writes[3].value, QVariant::fromValue<qint16>(0));
        QCOMPARE(control.writes[4].value, QVariant("/src"));
        QCOMPARE(control.writes[5].value, QVariant("*.cpp"));
        QCOMPARE(control.writes[6].value, QVariant("needle"));
        QCOMPARE(tavrinOptionsDialog()->bCancelled, Tavrin::vbFalse);
    }

    void failingSetterEndsTheWriteBack() {
        FakeControl control;
        control.failOn = "SearchPath";
        bool thrown = false;
        try {
            show(control, {"/p"}, {"*.h"}, {"s"},
                 [](frmTavrinOptions *frm) { QTest::mouseClick(frm->cbSearch, Qt::LeftButton); });
        } catch (const Tavrin::PlatformError &error) {
            thrown = error.number() == Tavrin::PlatformError::ServerUnavailable;
        }
        QVERIFY(thrown);
        // What was written before the failure stays written; nothing after it is.
        QCOMPARE(control.writtenNames(), QList<QByteArray>({"CaseSensitive", "LookInSubfolders",
                                                            "WholeWordOnly", "StreamFindings"}));
    }

    void cancelWritesNothingAndNextShowingRefills() {
        FakeControl control;
        control.preset(0, false, true, -1);
        const bool cancelled = show(control, {"/a"}, {}, {"old"}, [](frmTavrinOptions *frm) {
            frm->cbSearchFor->setFocus();
            frm->cbSearchFor->lineEdit()->selectAll();
            QTest::keyClicks(frm->cbSearchFor->lineEdit(), "typed");
            QTest::mouseClick(frm->cbCaseSensitive, Qt::LeftButton);
            QTest::mouseClick(frm->cbLookInSubfolders, Qt::LeftButton);
            QCOMPARE(frm->cbSearchFor->currentText(), QString("typed"));
            QTest::mouseClick(frm->cbCancel, Qt::LeftButton);
        });
        QVERIFY(!cancelled);
        QVERIFY(control.writes.isEmpty());
        QCOMPARE(tavrinOptionsDialog()->bCancelled, Tavrin::vbTrue);

        show(control, {}, {}, {"old"}, [](frmTavrinOptions *frm) {
            QCOMPARE(frm->cbSearchFor->currentText(), QString("old"));
            QCOMPARE(frm->cbDirectory->currentText(), QString());
            QVERIFY(!frm->cbCaseSensitive->isChecked());
            QVERIFY(frm->cbLookInSubfolders->isChecked());
            QTest::mouseClick(frm->cbSearch, Qt::LeftButton);
        });
        QCOMPARE(control.lastWrite("SearchString"), QVariant("old"));
        QCOMPARE(control.lastWrite("CaseSensitive"), QVariant::fromValue<qint16>(0));
    }

    void streamingBoxIsInverted_data() {
        QTest::addColumn<qint16>("stream");
        QTest::addColumn<bool>("shownChecked");
        QTest::addColumn<qint16>("writtenAfterToggle");
        QTest::newRow("streaming") << qint16(-1) << false << qint16(0);
        QTest::newRow("at end") << qint16(0) << true << qint16(-1);
    }
    void streamingBoxIsInverted() {
        QFETCH(qint16, stream);
        QFETCH(bool, shownChecked);
        QFETCH(qint16, writtenAfterToggle);
        FakeControl control;
        control.preset(0, false, false, stream);
        show(control, {}, {}, {}, [&](frmTavrinOptions *frm) {
            QCOMPARE(frm->cbDontStreamResults->isChecked(), shownChecked);
            QTest::mouseClick(frm->cbDontStreamResults, Qt::LeftButton);
            QTest::mouseClick(frm->cbSearch, Qt::LeftButton);
        });
        QCOMPARE(control.lastWrite("StreamFindings"), QVariant::fromValue(writtenAfterToggle));
    }

    void enterPressesSearch_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("byTab"); // focus by Tab selects the box's text
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written"); // what the combo's property gets
        QTest::newRow("search combo, Return")
            << "cbSearchFor" << int(Qt::Key_Return) << false << "-typed"
            << "s-typed";
        QTest::newRow("directory combo, Enter")
            << "cbDirectory" << int(Qt::Key_Enter) << false << "-typed"
            << "/d-typed";
        QTest::newRow("search combo, its text selected")
            << "cbSearchFor" << int(Qt::Key_Return) << true << ""
            << "s";
        // No inline completion: what the user typed is what is written.
        QTest::newRow("directory combo, start of an entry typed")
            << "cbDirectory" << int(Qt::Key_Return) << true << "/usr"
            << "/usr";
        QTest::newRow("case box, Return") << "cbCaseSensitive" << int(Qt::Key_Return) << false << ""
                                          << "";
        QTest::newRow("streaming box, Return")
            << "cbDontStreamResults" << int(Qt::Key_Return) << false << ""
            << "";
    }
    void enterPressesSearch() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, byTab);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        FakeControl control;
        bool hidden = false;
        int comboEntries = -1;
        const bool result =
            show(control, {"/usr/include", "/d"}, {}, {"s"}, [&](frmTavrinOptions *frm) {
                auto *target = frm->findChild<QWidget *>(focus);
                QVERIFY(target);
                // Focus moves (and the default button with it) only in the active window. The
                // offscreen platform does not re-activate a window shown again, so say it is.
                QApplication::setActiveWindow(frm);
                frm->cbCaseSensitive->setFocus(); // a box losing the focus drops its selection
                target->setFocus(byTab ? Qt::TabFocusReason : Qt::OtherFocusReason);
                QCOMPARE(QApplication::focusWidget(), target);
                auto *combo = qobject_cast<QComboBox *>(target);
                if (combo) {
                    QCOMPARE(combo->lineEdit()->hasSelectedText(), byTab);
                    QTest::keyClicks(combo->lineEdit(), typed);
                }
                QTest::keyClick(combo ? combo->lineEdit() : target, Qt::Key(key));
                hidden = !frm->isVisible();
                if (combo)
                    comboEntries = combo->count();
            });
        QVERIFY(hidden);
        QVERIFY(result);
        QCOMPARE(control.writes.size(), 7);
        if (comboEntries >= 0) {
            // Enter in a combo must not have added the typed text to its list.
            QCOMPARE(comboEntries, focus == "cbDirectory" ? 2 : 1);
            const QByteArray property = focus == "cbDirectory" ? "SearchPath" : "SearchString";
            QCOMPARE(control.lastWrite(property), QVariant(written));
        }
    }

    void escapeDoesNotCloseAndWindowCloseCancels() {
        FakeControl control;
        bool visibleAfterEscape = false;
        const bool result = show(control, {}, {}, {"s"}, [&](frmTavrinOptions *frm) {
            frm->cbSearchFor->lineEdit()->setFocus();
            QTest::keyClick(frm->cbSearchFor->lineEdit(), Qt::Key_Escape);
            QTest::keyClick(frm->cbCaseSensitive, Qt::Key_Escape);
            QTest::keyClick(frm, Qt::Key_Escape);
            QCoreApplication::processEvents();
            visibleAfterEscape = frm->isVisible();
            frm->close();
        });
        QVERIFY(visibleAfterEscape);
        QVERIFY(!result);
        QVERIFY(control.writes.isEmpty());
    }

    void folderBrowser_data() {
        QTest::addColumn<bool>("choose");
        QTest::newRow("cancelled empties the directory") << false;
        QTest::newRow("chosen folder lands in the directory") << true;
    }
    void folderBrowser() {
        QFETCH(bool, choose);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString chosen = QDir::cleanPath(folder.path());
        FakeControl control;
        QString browserTitle, directoryText;
        bool searchFocused = false;
        bool browserTimedOut = false;
        show(control, {"/old"}, {}, {}, [&](frmTavrinOptions *frm) {
            whenModal<QFileDialog>(
                [&](QFileDialog *browser) {
                    browserTitle = browser->windowTitle();
                    QCOMPARE(browser->fileMode(), QFileDialog::Directory);
                    if (!choose) {
                        browser->reject();
                        return;
                    }
                    auto *name = browser->findChild<QLineEdit *>("fileNameEdit");
                    QVERIFY(name);
                    name->setText(chosen);
                    QTest::keyClick(name, Qt::Key_Return);
                },
                &browserTimedOut);
            QTest::mouseClick(frm->cbSelectFolder, Qt::LeftButton);
            directoryText = frm->cbDirectory->currentText();
            searchFocused = frm->focusWidget() == frm->cbSearch;
            QTest::mouseClick(frm->cbSearch, Qt::LeftButton);
        });
        QVERIFY(!browserTimedOut);
        QCOMPARE(browserTitle, QString("Select Directory"));
        QCOMPARE(directoryText, choose ? chosen : QString());
        QVERIFY(searchFocused);
        QCOMPARE(control.lastWrite("SearchPath"), QVariant(choose ? chosen : QString()));
    }

    void dialogIsOnePerThreadAndKeptBetweenShowings() {
        FakeControl control;
        frmTavrinOptions *first = nullptr;
        show(control, {}, {}, {}, [&](frmTavrinOptions *frm) {
            first = frm;
            QTest::mouseClick(frm->cbCancel, Qt::LeftButton);
        });
        QVERIFY(first);
        QCOMPARE(first, tavrinOptionsDialog());
        QVERIFY(!first->isVisible());
    }
};

QTEST_MAIN(TestShowTavrinDialog)
#include "tst_ShowTavrinDialog.moc"
