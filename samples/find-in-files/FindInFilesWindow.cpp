#include "FindInFilesWindow.h"

#include "CountText.h"
#include "FilePreview.h"
#include "ReplaceBar.h"
#include "SearchOptionsBar.h"
#include "SearchProgressLabel.h"
#include "StatusMessageLabel.h"
#include "TavrinFormLoader.h"
#include <tavrinx/PlainFileIconProvider.h>
#include <tavrinx/PlatformError.h>
#include <tavrinx/PropertyPageFrame.h>
#include <tavrinx/TavrinX.h>
#include <tavrinx/UserControlHost.h>
#include <tavrinx/ppgAbout.h>
#include <tavrinx/ppgGeneral.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

static void initFormResource() {
    Q_INIT_RESOURCE(find_in_files);
}

namespace {
const QString LastFolder = QStringLiteral("LastSearch/Folder");
const QString LastText = QStringLiteral("LastSearch/Text");
const QString LastFilter = QStringLiteral("LastSearch/Filter");
const QString FirstRunDone = QStringLiteral("FirstRun/OptionsSet");
const QString WindowGeometry = QStringLiteral("Window/Geometry");
// The control's code when its engine's server has gone; the search then ends without
// ScanCompleted.
constexpr qint32 EngineLostCode = -105;
// The engine's code for a file left alone because it changed since the search or the replace.
constexpr qint32 ChangedSinceCode = -109;
} // namespace

FindInFilesWindow::FindInFilesWindow(QWidget *parent)
    : QMainWindow(parent), mHost(new Tavrin::UserControlHost(this)),
      mSettings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("tavrin"),
                                            QStringLiteral("find-in-files"))) {
    initFormResource();
    setWindowTitle(QStringLiteral("Find in Files"));
    TavrinFormLoader loader(*mHost);
    QWidget *form = loader.loadForm(QStringLiteral(":/find-in-files/FindInFiles.ui"), this);
    mControl = form->findChild<TavrinX *>(QStringLiteral("TavrinX1"));
    if (!mControl)
        throw Tavrin::PlatformError(Tavrin::PlatformError::ObjectRequired,
                                    QStringLiteral("The form holds no control named TavrinX1"));
    setCentralWidget(form);
    resize(form->size());
    restoreGeometry(mSettings->value(WindowGeometry).toByteArray());

    createActions();
    addToolBarBreak();
    mOptionsBar = new SearchOptionsBar(mControl, this);
    addToolBar(mOptionsBar);
    connect(mOptionsBar, &SearchOptionsBar::errorReported, this,
            [this](const QString &description) { showStatus(description); });
    addToolBarBreak();
    mReplaceBar = new ReplaceBar(this);
    addToolBar(mReplaceBar);
    connect(mReplaceBar->replaceAllAction(), &QAction::triggered, this,
            &FindInFilesWindow::replaceAll);
    connect(mReplaceBar->undoAction(), &QAction::triggered, this, &FindInFilesWindow::undoReplace);
    mSearchMenu->insertActions(mProperties,
                               {mReplaceBar->replaceAllAction(), mReplaceBar->undoAction()});
    mSearchMenu->insertSeparator(mProperties);
    mMessage = new StatusMessageLabel(this);
    statusBar()->addPermanentWidget(mMessage, 1);
    mProgress = new SearchProgressLabel(mControl, this);
    statusBar()->addPermanentWidget(mProgress);
    setFirstRunOptions();
    mOptionsBar->load();
    connect(mControl, &TavrinX::ScanStarted, this, &FindInFilesWindow::scanStarted);
    connect(mControl, &TavrinX::ScanCompleted, this, &FindInFilesWindow::scanCompleted);
    connect(mControl, &TavrinX::OnError, this, &FindInFilesWindow::showError);
    connect(mControl, &TavrinX::DblClick, this, &FindInFilesWindow::preview);
    connect(mControl, &TavrinX::ReplaceCompleted, this, &FindInFilesWindow::replaceCompleted);
    setSearching(false);
    showStatus(QStringLiteral("Ready"));
    mControl->setFocus(); // not the options row: it is the first to take focus
}

FindInFilesWindow::~FindInFilesWindow() = default;

QString FindInFilesWindow::statusText() const {
    return mMessage->message();
}

FilePreview *FindInFilesWindow::filePreview() const {
    return mPreview;
}

void FindInFilesWindow::setFirstRunOptions() {
    // A search of a source tree would otherwise list mostly build outputs and repository
    // objects. An earlier run's last search also marks a run as not the first.
    if (mSettings->contains(FirstRunDone) || mSettings->contains(LastFolder))
        return;
    guarded([this] {
        mControl->setSkipBinaryFiles(Tavrin::vbTrue);
        mControl->setExcludeFolders(QStringLiteral(".git"));
    });
    mSettings->setValue(FirstRunDone, true);
}

void FindInFilesWindow::closeEvent(QCloseEvent *event) {
    mSettings->setValue(WindowGeometry, saveGeometry());
    QMainWindow::closeEvent(event);
    // Qt's quit on the last window's close did not end this application (the process stayed,
    // idle, with no window), so the window ends it itself: queued, after the control's
    // termination that the close scheduled.
    if (event->isAccepted())
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void FindInFilesWindow::createActions() {
    QStyle *s = style();
    mOptions = new QAction(s->standardIcon(QStyle::SP_FileDialogDetailedView),
                           QStringLiteral("&Options..."), this);
    mOptions->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mSearch = new QAction(s->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("&Search"), this);
    mSearch->setShortcut(QKeySequence(Qt::Key_F5));
    mAbort = new QAction(s->standardIcon(QStyle::SP_MediaStop), QStringLiteral("&Abort"), this);
    mAbort->setShortcut(QKeySequence(Qt::Key_Escape));
    mSave = new QAction(s->standardIcon(QStyle::SP_DialogSaveButton),
                        QStringLiteral("Save &results..."), this);
    mSave->setShortcut(QKeySequence::Save);
    mProperties = new QAction(s->standardIcon(QStyle::SP_FileDialogInfoView),
                              QStringLiteral("&Properties..."), this);
    mAbout = new QAction(s->standardIcon(QStyle::SP_MessageBoxInformation),
                         QStringLiteral("&About Tavrin..."), this);
    auto *quit = new QAction(QStringLiteral("&Quit"), this);
    quit->setShortcut(QKeySequence::Quit);

    connect(mOptions, &QAction::triggered, this, &FindInFilesWindow::options);
    connect(mSearch, &QAction::triggered, this, &FindInFilesWindow::search);
    connect(mAbort, &QAction::triggered, this, &FindInFilesWindow::abort);
    connect(mSave, &QAction::triggered, this, &FindInFilesWindow::saveResults);
    connect(mProperties, &QAction::triggered, this, &FindInFilesWindow::properties);
    connect(mAbout, &QAction::triggered, this,
            [this] { guarded([this] { mControl->ShowAboutBox(); }); });
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(mSave);
    file->addSeparator();
    file->addAction(quit);
    mSearchMenu = menuBar()->addMenu(QStringLiteral("&Search"));
    mSearchMenu->addAction(mOptions);
    mSearchMenu->addAction(mSearch);
    mSearchMenu->addAction(mAbort);
    mSearchMenu->addSeparator();
    mSearchMenu->addAction(mProperties);
    menuBar()->addMenu(QStringLiteral("&Help"))->addAction(mAbout);

    QToolBar *tools = addToolBar(QStringLiteral("Search"));
    tools->setObjectName(QStringLiteral("searchToolBar"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction *action : {mOptions, mSearch, mAbort, mSave, mProperties, mAbout})
        tools->addAction(action);
}

void FindInFilesWindow::showStatus(const QString &message) {
    mMessage->setMessage(message);
}

QString FindInFilesWindow::searchProblem(const QString &folder, const QString &text) {
    if (text.isEmpty())
        return QStringLiteral("Nothing to search for: type the text to find");
    if (folder.isEmpty())
        return QStringLiteral("No folder to search in: choose one");
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("The folder %1 does not exist").arg(folder);
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(folder);
    return QString();
}

template <class F> bool FindInFilesWindow::guarded(F &&call) {
    try {
        call();
        return true;
    } catch (const Tavrin::PlatformError &error) {
        showStatus(QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description()));
        return false;
    }
}

void FindInFilesWindow::startWithLastSearch() {
    const QString folder = mSettings->value(LastFolder, QDir::currentPath()).toString();
    const QString text = mSettings->value(LastText, QStringLiteral("TODO")).toString();
    // A folder removed since is not written to the control, which would keep it as a recent
    // value.
    if (const QString problem = searchProblem(folder, text); !problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    const bool ready = guarded([&] {
        // The control starts without a folder, text or file types; a first run also looks in
        // subfolders, and searches files of every type.
        if (!mSettings->contains(LastFolder))
            mControl->setLookInSubfolders(true);
        const QString filter = mSettings->value(LastFilter).toString();
        mControl->setSearchExt(filter.isEmpty() ? QStringLiteral("*.*") : filter);
        mControl->setSearchPath(folder);
        mControl->setSearchString(text);
    });
    if (ready)
        startSearch();
}

void FindInFilesWindow::startSearch() {
    mOptionsBar->commit(); // Search by its key leaves the folder list being typed
    // The control's Grep empties the grid even when the engine then refuses the search: what
    // can be seen to fail here keeps the findings on show.
    QString problem;
    if (!guarded(
            [&] { problem = searchProblem(mControl->SearchPath(), mControl->SearchString()); }))
        return;
    if (!problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    showStatus(QString());
    setSearching(true);
    mbRefused = false;
    mbInGrep = true;
    mProgress->start();
    const bool called = guarded([this] { mControl->Grep(); });
    mbInGrep = false;
    if (!called || mbRefused) {
        setSearching(false);
        mProgress->cancel();
    }
}

void FindInFilesWindow::rememberSearch() {
    guarded([this] {
        mSettings->setValue(LastFolder, mControl->SearchPath());
        mSettings->setValue(LastText, mControl->SearchString());
        mSettings->setValue(LastFilter, mControl->SearchExt());
    });
}

void FindInFilesWindow::options() {
    bool chosen = false;
    guarded([&] { chosen = mControl->ShowTavrinDialog() == Tavrin::vbTrue; });
    if (chosen)
        startSearch();
}

void FindInFilesWindow::search() {
    startSearch();
}

void FindInFilesWindow::abort() {
    guarded([this] { mControl->Abort(); });
    if (mReplacing != Replacing::No) {
        // It stops between files; ReplaceCompleted tells what it did until then.
        mbReplaceAborted = true;
        showStatus(QStringLiteral("Aborting..."));
        return;
    }
    // An aborted search raises no ScanCompleted.
    setSearching(false);
    mProgress->finish();
    showStatus(QStringLiteral("Search aborted"));
}

void FindInFilesWindow::saveResults() {
    Tavrin::PlainFileIconProvider icons; // outlives the dialog that uses it
    QFileDialog dialog(this, QStringLiteral("Save Results"),
                       QDir::homePath() + QStringLiteral("/findings.txt"),
                       QStringLiteral("Tab-delimited text (*.txt *.tsv);;All files (*)"));
    dialog.setObjectName(QStringLiteral("saveResultsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog, so that its file types come from the provider and not from reading files.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString fileName = dialog.selectedFiles().constFirst();
    guarded([&] {
        // A failure arrives as OnError -104 and shows in the status line.
        if (mControl->SaveDataToTabFile(fileName) == Tavrin::vbTrue)
            showStatus(QStringLiteral("Saved to %1").arg(fileName));
    });
}

void FindInFilesWindow::properties() {
    Tavrin::PropertyPageFrame frame({mControl}, {new Tavrin::ppgGeneral, new Tavrin::ppgAbout},
                                    this);
    frame.setWindowTitle(QStringLiteral("TavrinX1 Properties"));
    connect(&frame, &Tavrin::PropertyPageFrame::errorReported, this,
            [this](const QString &description) { showStatus(description); });
    frame.exec();
}

void FindInFilesWindow::scanStarted() {
    if (mReplacing != Replacing::No) {
        showStatus(mReplacing == Replacing::Undo ? QStringLiteral("Undoing the replace...")
                                                 : QStringLiteral("Replacing..."));
        return;
    }
    // Search and Options went off when the search was asked for; a scan that starts after an
    // Abort in between (it raises no ScanCompleted) must not turn them off again.
    if (!mAbort->isEnabled())
        return;
    rememberSearch();
    showStatus(QStringLiteral("Searching..."));
}

void FindInFilesWindow::scanCompleted() {
    if (mReplacing != Replacing::No)
        return; // ReplaceCompleted follows
    setSearching(false);
    mProgress->finish();
    guarded([this] {
        if (mControl->FilesSearched() == 0)
            showStatus(QStringLiteral("No file in %1 matches %2")
                           .arg(mControl->SearchPath(), mControl->SearchExt()));
        else
            showStatus(countText(mControl->SearchCount(), QStringLiteral("finding"),
                                 QStringLiteral("findings")));
    });
}

void FindInFilesWindow::showError(qint32 &ErrorCode, QString &sErrorString) {
    showStatus(QStringLiteral("Error %1: %2").arg(ErrorCode).arg(sErrorString));
    if (mReplacing != Replacing::No && !mbInGrep) {
        // A file left alone; the outcome line counts them at the end.
        if (ErrorCode == ChangedSinceCode)
            ++mlChangedSince;
        else if (ErrorCode != EngineLostCode)
            ++mlNotWritten;
    }
    if (mbInGrep)
        mbRefused = true;
    else if (ErrorCode == EngineLostCode) {
        setSearching(false);
        mProgress->cancel();
    }
}

void FindInFilesWindow::preview(QString &sFileName, qint32 &lLine, qint32 &lColumn,
                                QString &sFound) {
    Q_UNUSED(sFound)
    if (lLine < 1) {
        // An engine-error row: its message stands in the file cell, it has no line.
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Search Error"),
                                    QStringLiteral("This row reports an error of the search, "
                                                   "not a finding:\n\n%1")
                                        .arg(sFileName),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("errorRowMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    // A pattern's match has no length known here: the preview then marks the line and column.
    qint32 length = 0;
    guarded([&] {
        if (mControl->UseRegularExpression() == Tavrin::vbFalse)
            length = qint32(mControl->SearchString().toUcs4().size());
    });
    // One preview follows the findings opened; it leaves the focus where it was, so that the
    // grid's keys go on choosing findings.
    if (!mPreview) {
        mPreview = new FilePreview(this);
        mPreview->setAttribute(Qt::WA_ShowWithoutActivating);
        placeBeside(mPreview);
    }
    if (!mPreview->showFinding(sFileName, lLine, lColumn, length)) {
        showStatus(mPreview->errorString());
        return;
    }
    mPreview->show();
}

void FindInFilesWindow::placeBeside(QWidget *window) const {
    // On the side of the screen with more room, narrowed to it, so that the grid stays in view;
    // where neither side has room enough the window manager places it.
    constexpr int MinimumWidth = 400;
    const QRect screen = this->screen()->availableGeometry();
    const QRect frame = frameGeometry();
    const int right = screen.right() - frame.right();
    const int left = frame.left() - screen.left();
    const int room = qMax(left, right);
    if (room < MinimumWidth)
        return;
    window->resize(qMin(window->width(), room), window->height());
    window->move(right >= left ? frame.right() + 1 : frame.left() - window->width(), frame.top());
}

int FindInFilesWindow::filesFound() const {
    QSet<QString> files;
    for (qint32 row = 1; row <= mControl->SearchCount(); ++row) {
        qint32 r = row, column = 0;
        files.insert(mControl->GetDataMatrix(r, column));
    }
    return int(files.size());
}

void FindInFilesWindow::replaceAll() {
    qint32 lines = 0;
    int files = 0;
    if (!guarded([&] {
            mControl->setReplaceWith(mReplaceBar->replaceWith()->text());
            lines = mControl->SearchCount();
            files = filesFound();
        }))
        return;
    if (lines == 0) {
        showStatus(QStringLiteral("Nothing to replace: search first"));
        return;
    }
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Replace All"),
                    QStringLiteral("Replace %1 in %2?")
                        .arg(countText(lines, QStringLiteral("line"), QStringLiteral("lines")),
                             countText(files, QStringLiteral("file"), QStringLiteral("files"))),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("replaceConfirmation"));
    ask.setInformativeText(
        QStringLiteral("Each occurrence on those lines becomes \"%1\". A file changed since the "
                       "search is left alone.")
            .arg(mReplaceBar->replaceWith()->text()));
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() == QMessageBox::Yes)
        startReplace(false);
}

void FindInFilesWindow::undoReplace() {
    startReplace(true);
}

void FindInFilesWindow::startReplace(bool undo) {
    mReplacing = undo ? Replacing::Undo : Replacing::Replace;
    mbReplaceAborted = false;
    mlChangedSince = 0;
    mlNotWritten = 0;
    setSearching(true);
    mbRefused = false;
    mbInGrep = true;
    const bool called = guarded([&] {
        if (undo)
            mControl->UndoReplace();
        else
            mControl->Replace();
    });
    mbInGrep = false;
    if (!called || mbRefused) {
        mReplacing = Replacing::No;
        setSearching(false);
    }
}

void FindInFilesWindow::replaceCompleted(qint32 &lLinesReplaced, qint32 &lFilesReplaced) {
    const bool undo = mReplacing == Replacing::Undo;
    mReplacing = Replacing::No;
    QStringList parts{
        QStringLiteral("%1 %2 in %3")
            .arg(undo ? QStringLiteral("Restored") : QStringLiteral("Replaced"),
                 countText(lLinesReplaced, QStringLiteral("line"), QStringLiteral("lines")),
                 countText(lFilesReplaced, QStringLiteral("file"), QStringLiteral("files")))};
    if (mlChangedSince > 0)
        parts << QStringLiteral("%1 changed since the %2 %3 left alone")
                     .arg(
                         countText(mlChangedSince, QStringLiteral("file"), QStringLiteral("files")),
                         undo ? QStringLiteral("replace") : QStringLiteral("search"),
                         mlChangedSince == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    if (mlNotWritten > 0)
        parts << QStringLiteral("%1 could not be %2 (see the grid)")
                     .arg(countText(mlNotWritten, QStringLiteral("file"), QStringLiteral("files")),
                          undo ? QStringLiteral("restored") : QStringLiteral("replaced"));
    if (mbReplaceAborted)
        parts << QStringLiteral("aborted");
    showStatus(parts.join(QStringLiteral("; ")));
    // The engine keeps what an undo left alone, to be tried again.
    mbUndoAvailable =
        undo ? mbReplaceAborted || mlChangedSince + mlNotWritten > 0 : lFilesReplaced > 0;
    setSearching(false);
}

void FindInFilesWindow::setSearching(bool searching) {
    mOptions->setEnabled(!searching);
    mSearch->setEnabled(!searching);
    mAbort->setEnabled(searching);
    // Saving would write part of the findings; the pages would change the search halfway.
    mSave->setEnabled(!searching);
    mProperties->setEnabled(!searching);
    // Option writes while a search runs would change it halfway, or be refused.
    mOptionsBar->setEnabled(!searching);
    mReplaceBar->replaceWith()->setEnabled(!searching);
    mReplaceBar->replaceAllAction()->setEnabled(!searching);
    mReplaceBar->undoAction()->setEnabled(!searching && mbUndoAvailable);
}
