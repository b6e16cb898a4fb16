#include "FilePreview.h"
#include "FindInFilesWindow.h"
#include "SearchOptionsBar.h"
#include "SearchProgressLabel.h"
#include "StatusMessageLabel.h"
#include <tavrinx/PlainFileIconProvider.h>
#include <tavrinx/TavrinX.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
void writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QSettings sampleSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tavrin"),
                     QStringLiteral("find-in-files"));
}
} // namespace

// The sample host around a live control and sorvik on the test bus.
class TestFindInFilesWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(mConfig.isValid() && mData.isValid());
        // The control's settings files go to a scratch folder.
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        QVERIFY(QDir(mData.path()).mkpath(QStringLiteral("sub")));
        writeFile(mData.filePath(QStringLiteral("a.txt")), "alpha needle\n// TODO: more\n");
        writeFile(mData.filePath(QStringLiteral("sub/b.txt")), "x\n  needle two\n");
    }

    // Each test starts with the control's options at their defaults, past the sample's first run.
    void init() { sampleSettings().setValue(QStringLiteral("FirstRun/OptionsSet"), true); }
    void cleanup() { QFile::remove(controlSettingsFile()); }

    void searchAndOptionsAreDisabledAndAbortEnabledWhileSearching() {
        FindInFilesWindow window;
        TavrinX *control = window.control();
        control->setSearchPath(mData.path());
        control->setSearchString(QStringLiteral("needle"));
        control->setLookInSubfolders(true);
        bool searchEnabledDuring = true;
        bool optionsEnabledDuring = true;
        bool abortEnabledDuring = false;
        bool saveEnabledDuring = true;
        bool propertiesEnabledDuring = true;
        connect(control, &TavrinX::ScanStarted, this, [&] {
            searchEnabledDuring = window.searchAction()->isEnabled();
            optionsEnabledDuring = window.optionsAction()->isEnabled();
            saveEnabledDuring = window.saveAction()->isEnabled();
            propertiesEnabledDuring = window.propertiesAction()->isEnabled();
            abortEnabledDuring = window.abortAction()->isEnabled();
        });
        QSignalSpy completed(control, &TavrinX::ScanCompleted);
        QVERIFY(window.searchAction()->isEnabled());
        QVERIFY(!window.abortAction()->isEnabled());

        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
        QVERIFY(!searchEnabledDuring);
        QVERIFY(!optionsEnabledDuring);
        QVERIFY(!saveEnabledDuring);
        QVERIFY(!propertiesEnabledDuring);
        QVERIFY(abortEnabledDuring);
        QVERIFY(window.searchAction()->isEnabled());
        QVERIFY(window.saveAction()->isEnabled());
        QVERIFY(!window.abortAction()->isEnabled());
        QCOMPARE(window.statusText(), QStringLiteral("2 findings"));
    }

    void firstRunSkipsBinaryFilesAndLeavesOutGitThenKeepsTheChoice() {
        sampleSettings().clear();
        {
            FindInFilesWindow window;
            SearchOptionsBar *row = window.optionsBar();
            QCOMPARE(window.control()->SkipBinaryFiles(), Tavrin::vbTrue);
            QCOMPARE(window.control()->ExcludeFolders(), QStringLiteral(".git"));
            QVERIFY(row->skipBinaryFiles()->isChecked());
            QCOMPARE(row->excludeFolders()->text(), QStringLiteral(".git"));
            row->skipBinaryFiles()->setChecked(false);
            row->excludeFolders()->clear();
            emit row->excludeFolders()->editingFinished();
        }
        FindInFilesWindow window;
        QCOMPARE(window.control()->SkipBinaryFiles(), Tavrin::vbFalse);
        QCOMPARE(window.control()->ExcludeFolders(), QString());
        QVERIFY(!window.optionsBar()->skipBinaryFiles()->isChecked());
        QCOMPARE(window.optionsBar()->excludeFolders()->text(), QString());
    }

    void optionsRowWritesTheControlAndShowsItsValuesNextTime() {
        {
            FindInFilesWindow window;
            SearchOptionsBar *row = window.optionsBar();
            QCOMPARE(row->excludeFolders()->text(), QString());
            QVERIFY(!row->skipBinaryFiles()->isChecked());
            row->excludeFolders()->setText(QStringLiteral("sub;.git"));
            emit row->excludeFolders()->editingFinished();
            row->skipBinaryFiles()->setChecked(true);
            row->useRegularExpression()->setChecked(true);
            QCOMPARE(window.control()->ExcludeFolders(), QStringLiteral("sub;.git"));
            QCOMPARE(window.control()->SkipBinaryFiles(), Tavrin::vbTrue);
            QCOMPARE(window.control()->UseRegularExpression(), Tavrin::vbTrue);
        }
        FindInFilesWindow window;
        SearchOptionsBar *row = window.optionsBar();
        QCOMPARE(row->excludeFolders()->text(), QStringLiteral("sub;.git"));
        QVERIFY(row->skipBinaryFiles()->isChecked());
        QVERIFY(row->useRegularExpression()->isChecked());
        // The row is off while a search runs, with the rest of the search commands.
        QSignalSpy completed(window.control(), &TavrinX::ScanCompleted);
        bool rowEnabledDuring = true;
        connect(window.control(), &TavrinX::ScanStarted, this,
                [&] { rowEnabledDuring = row->isEnabled(); });
        window.control()->setSearchPath(mData.path());
        window.control()->setSearchString(QStringLiteral("ne+dle"));
        window.control()->setLookInSubfolders(true);
        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
        QVERIFY(!rowEnabledDuring);
        QVERIFY(row->isEnabled());
        QCOMPARE(window.control()->SearchCount(), 1); // sub/ left out, the pattern matched
        QCOMPARE(window.progress()->text(), QStringLiteral("1 file searched"));
        // A list still being typed when the search starts is the one searched with.
        row->excludeFolders()->setText(QStringLiteral(".git"));
        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 2, 20000);
        QCOMPARE(window.control()->ExcludeFolders(), QStringLiteral(".git"));
        QCOMPARE(window.control()->SearchCount(), 2);
    }

    void progressLineShowsFilesAndFolderWhileSearching() {
        FindInFilesWindow window;
        TavrinX *control = window.control();
        // A pattern that backtracks beyond the engine's limit on the new file's line: the engine
        // reports that file while it is in the folder, and waits for the handler.
        writeFile(mData.filePath(QStringLiteral("sub/c.txt")), QByteArray(40, 'x') + "z y\n");
        control->setSearchPath(mData.filePath(QStringLiteral("sub")));
        control->setSearchString(QStringLiteral("(x+x+)+y"));
        control->setUseRegularExpression(Tavrin::vbTrue);
        QString during;
        bool messageFits = false;
        window.show();
        connect(control, &TavrinX::OnError, this, [&] {
            QTest::qWait(3 * SearchProgressLabel::PollInterval);
            during = window.progress()->text();
            // The error's message is cut to the room left of the progress line.
            auto *message = window.findChild<StatusMessageLabel *>();
            messageFits = message->fontMetrics().horizontalAdvance(message->text()) +
                              window.progress()->sizeHint().width() <
                          window.width();
        });
        QSignalSpy completed(control, &TavrinX::ScanCompleted);
        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
        QFile::remove(mData.filePath(QStringLiteral("sub/c.txt")));
        // The listing's order decides whether the file is the first or the second taken.
        QVERIFY2(QRegularExpression(QStringLiteral("^(1 file|2 files) · .*sub$"))
                     .match(during)
                     .hasMatch(),
                 qPrintable(during));
        QVERIFY(messageFits);
        QVERIFY(!window.progress()->isPolling());
        QCOMPARE(window.progress()->text(), QStringLiteral("2 files searched"));
    }

    void abortEndsTheSearchStateWithoutCompletion() {
        FindInFilesWindow window;
        window.abortAction()->setEnabled(true);
        window.searchAction()->setEnabled(false);
        window.abortAction()->trigger();
        QVERIFY(window.searchAction()->isEnabled());
        QVERIFY(!window.abortAction()->isEnabled());
        QCOMPARE(window.statusText(), QStringLiteral("Search aborted"));
        // The scan of the aborted search may still announce its start.
        emit window.control()->ScanStarted();
        QVERIFY(window.searchAction()->isEnabled());
        QVERIFY(window.optionsAction()->isEnabled());
    }

    void engineRefusalGoesToTheStatusLineAndEndsTheSearchState() {
        FindInFilesWindow window;
        window.show();
        window.control()->setSearchPath(mData.path());
        window.control()->setSearchString(QStringLiteral("TODO(x"));
        window.control()->setUseRegularExpression(Tavrin::vbTrue);
        window.searchAction()->trigger();
        QVERIFY2(window.statusText().startsWith(QStringLiteral("Error -13: ")),
                 qPrintable(window.statusText()));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(window.searchAction()->isEnabled());
        QVERIFY(window.optionsAction()->isEnabled());
        QVERIFY(!window.abortAction()->isEnabled());
    }

    void searchThatCannotRunKeepsTheFindingsAndSaysWhy_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("status");
        const QString missing = mData.filePath(QStringLiteral("missing"));
        QTest::newRow("missing folder")
            << missing << "needle" << QStringLiteral("The folder %1 does not exist").arg(missing);
        QTest::newRow("a file") << mData.filePath(QStringLiteral("a.txt")) << "needle"
                                << mData.filePath(QStringLiteral("a.txt is not a folder"));
        QTest::newRow("no text") << mData.path() << ""
                                 << QStringLiteral("Nothing to search for: type the text to find");
    }
    void searchThatCannotRunKeepsTheFindingsAndSaysWhy() {
        QFETCH(QString, folder);
        QFETCH(QString, text);
        QFETCH(QString, status);
        FindInFilesWindow window;
        TavrinX *control = window.control();
        control->setSearchPath(mData.path());
        control->setSearchString(QStringLiteral("needle"));
        control->setLookInSubfolders(true);
        QSignalSpy completed(control, &TavrinX::ScanCompleted);
        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);

        QSignalSpy errors(control, &TavrinX::OnError);
        control->setSearchPath(folder);
        control->setSearchString(text);
        window.searchAction()->trigger();
        QCOMPARE(window.statusText(), status);
        QVERIFY(errors.isEmpty()); // Grep was not called: it would have emptied the grid
        qint32 row = 2;
        qint32 column = 0;
        QCOMPARE(control->GetDataMatrix(row, column), mData.filePath(QStringLiteral("sub/b.txt")));
        QVERIFY(window.searchAction()->isEnabled());
    }

    // It is reported, and not written to the control, which would keep it as a recent folder.
    void lastSearchsFolderGoneSinceIsReportedNotSearched() {
        const QString gone = mData.filePath(QStringLiteral("gone"));
        sampleSettings().setValue(QStringLiteral("LastSearch/Folder"), gone);
        FindInFilesWindow window;
        QSignalSpy errors(window.control(), &TavrinX::OnError);
        window.startWithLastSearch();
        sampleSettings().clear();
        QCOMPARE(window.statusText(), QStringLiteral("The folder %1 does not exist").arg(gone));
        QVERIFY(errors.isEmpty());
        QVERIFY(window.control()->SearchPath() != gone);
        QFile settings(controlSettingsFile());
        QVERIFY(!settings.open(QIODevice::ReadOnly) || !settings.readAll().contains(gone.toUtf8()));
    }

    void filterThatMatchesNoFileSaysSo() {
        FindInFilesWindow window;
        window.control()->setSearchPath(mData.path());
        window.control()->setSearchString(QStringLiteral("needle"));
        window.control()->setSearchExt(QStringLiteral("*.xyz"));
        QSignalSpy completed(window.control(), &TavrinX::ScanCompleted);
        window.searchAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
        QCOMPARE(window.statusText(),
                 QStringLiteral("No file in %1 matches *.xyz").arg(mData.path()));
    }

    void doubleClickOpensPreviewAtTheFinding() {
        FindInFilesWindow window;
        window.control()->setSearchString(QStringLiteral("needle"));
        QString file = mData.filePath(QStringLiteral("sub/b.txt"));
        qint32 line = 2;
        qint32 column = 3;
        QString found = QStringLiteral("  needle two");
        emit window.control()->DblClick(file, line, column, found);
        auto *preview = window.findChild<FilePreview *>();
        QVERIFY(preview);
        QVERIFY(preview->isVisible());
        QVERIFY(!preview->isModal());
        QCOMPARE(preview->highlightedText(), QStringLiteral("needle"));

        // The next finding opened shows in the same preview.
        file = mData.filePath(QStringLiteral("a.txt"));
        line = 1;
        column = 7;
        emit window.control()->DblClick(file, line, column, found);
        QCOMPARE(window.findChildren<FilePreview *>(), QList<FilePreview *>{preview});
        QVERIFY(preview->windowTitle().startsWith(file));

        QString missing = mData.filePath(QStringLiteral("gone.txt"));
        emit window.control()->DblClick(missing, line, column, found);
        QCOMPARE(window.findChildren<FilePreview *>().size(), 1);
        QVERIFY(window.statusText().contains(missing));
    }

    void firstStartSearchesTheCurrentFolderThenRepeatsTheLastSearch() {
        sampleSettings().clear();
        const QString before = QDir::currentPath();
        QDir::setCurrent(mData.path());
        {
            FindInFilesWindow window;
            QSignalSpy completed(window.control(), &TavrinX::ScanCompleted);
            window.startWithLastSearch();
            QDir::setCurrent(before);
            QCOMPARE(window.control()->SearchPath(), mData.path());
            QCOMPARE(window.control()->SearchString(), QStringLiteral("TODO"));
            QCOMPARE(window.control()->SearchExt(), QStringLiteral("*.*"));
            QVERIFY(window.control()->LookInSubfolders().toBool());
            QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
            QCOMPARE(window.control()->SearchCount(), 1);

            // The user searches elsewhere for something else, with another filter.
            window.control()->setSearchPath(mData.filePath(QStringLiteral("sub")));
            window.control()->setSearchString(QStringLiteral("needle"));
            window.control()->setSearchExt(QStringLiteral("*.txt"));
            window.searchAction()->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 2, 20000);
        }
        FindInFilesWindow window;
        window.control()->setLookInSubfolders(false);
        QSignalSpy completed(window.control(), &TavrinX::ScanCompleted);
        window.startWithLastSearch();
        QCOMPARE(window.control()->SearchPath(), mData.filePath(QStringLiteral("sub")));
        QCOMPARE(window.control()->SearchString(), QStringLiteral("needle"));
        QCOMPARE(window.control()->SearchExt(), QStringLiteral("*.txt"));
        // Only a first run turns subfolders on.
        QVERIFY(!window.control()->LookInSubfolders().toBool());
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 20000);
        QCOMPARE(window.control()->SearchCount(), 1);
    }

    void headlessRunPrintsTheFindingsAndSavesAPicture() {
        const QString png = mConfig.filePath(QStringLiteral("shot.png"));
        QProcess sample;
        sample.start(QStringLiteral(FIND_IN_FILES_PATH),
                     {QStringLiteral("--headless"), mData.path(), QStringLiteral("needle"),
                      QStringLiteral("--screenshot"), png});
        QVERIFY(sample.waitForFinished(60000));
        const QString err = QString::fromUtf8(sample.readAllStandardError());
        QCOMPARE(sample.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(sample.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("2 findings for \"needle\"")),
                 qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), mData.filePath(QStringLiteral("a.txt:1:7:alpha needle")));
        QCOMPARE(lines.at(2), mData.filePath(QStringLiteral("sub/b.txt:2:3:  needle two")));
        QCOMPARE(lines.at(3), QStringLiteral("Screenshot: ") + png);
        const QImage shot(png);
        QVERIFY2(!shot.isNull(), qPrintable(err));
        QVERIFY(shot.width() >= 400 && shot.height() >= 200);
    }

    void headlessRefusedSearchFailsInsteadOfWaiting() {
        QProcess sample;
        sample.start(QStringLiteral(FIND_IN_FILES_PATH),
                     {QStringLiteral("--headless"), mData.filePath(QStringLiteral("missing")),
                      QStringLiteral("needle")});
        QVERIFY(sample.waitForFinished(60000));
        QCOMPARE(sample.exitCode(), 1);
        QVERIFY(sample.readAllStandardError().contains("error -11: Invalid Search Path"));
    }

    void doubleClickOnAnErrorRowSaysItIsAnError() {
        FindInFilesWindow window;
        window.show();
        QString message = QStringLiteral("Cannot open /d/x.txt: Permission denied");
        qint32 line = 0; // what the control reports for the cells of an error row
        qint32 column = 0;
        QString found;
        emit window.control()->DblClick(message, line, column, found);
        QVERIFY(window.findChildren<FilePreview *>().isEmpty());
        auto *box = window.findChild<QMessageBox *>(QStringLiteral("errorRowMessage"));
        QVERIFY(box);
        QVERIFY(box->text().contains(QStringLiteral("error")));
        QVERIFY(box->text().contains(message));
        box->close();
    }

    // The dialog would otherwise guess file types by reading files, and block on /proc/kmsg.
    void saveDialogNeverReadsFilesToShowThem() {
        FindInFilesWindow window;
        QFileDialog *dialog = nullptr;
        bool nonNative = false;
        bool plainIcons = false;
        QTimer::singleShot(0, &window, [&] {
            dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
            plainIcons = dynamic_cast<Tavrin::PlainFileIconProvider *>(dialog->iconProvider());
            dialog->reject();
        });
        window.saveAction()->trigger();
        QVERIFY(dialog);
        QVERIFY(nonNative);
        QVERIFY(plainIcons);
    }

    // Last: it runs the application's event loop to its end.
    void closingTheWindowEndsTheApplication() {
        FindInFilesWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(0, &window, &QWidget::close);
        QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

private:
    QString controlSettingsFile() const {
        return mConfig.filePath(QStringLiteral("tavrin/TavrinX1.INI"));
    }

    QTemporaryDir mConfig;
    QTemporaryDir mData;
};

QTEST_MAIN(TestFindInFilesWindow)
#include "tst_findinfileswindow.moc"
