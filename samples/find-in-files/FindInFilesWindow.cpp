#include "FindInFilesWindow.h"

#include "FilePreview.h"
#include "TavrinFormLoader.h"
#include <tavrinx/PlatformError.h>
#include <tavrinx/PropertyPageFrame.h>
#include <tavrinx/TavrinX.h>
#include <tavrinx/UserControlHost.h>
#include <tavrinx/ppgAbout.h>
#include <tavrinx/ppgGeneral.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

static void initFormResource() {
    Q_INIT_RESOURCE(find_in_files);
}

FindInFilesWindow::FindInFilesWindow(QWidget *parent)
    : QMainWindow(parent), mHost(new UserControlHost(this)) {
    initFormResource();
    setWindowTitle(QStringLiteral("Find in Files"));
    TavrinFormLoader loader(*mHost);
    QWidget *form = loader.loadForm(QStringLiteral(":/find-in-files/FindInFiles.ui"), this);
    mControl = form->findChild<TavrinX *>(QStringLiteral("TavrinX1"));
    if (!mControl)
        throw PlatformError(PlatformError::ObjectRequired,
                            QStringLiteral("The form holds no control named TavrinX1"));
    setCentralWidget(form);
    resize(form->size());

    createActions();
    connect(mControl, &TavrinX::ScanStarted, this, &FindInFilesWindow::scanStarted);
    connect(mControl, &TavrinX::ScanCompleted, this, &FindInFilesWindow::scanCompleted);
    connect(mControl, &TavrinX::OnError, this, &FindInFilesWindow::showError);
    connect(mControl, &TavrinX::DblClick, this, &FindInFilesWindow::preview);
    setSearching(false);
    statusBar()->showMessage(QStringLiteral("Ready"));
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
    QMenu *searchMenu = menuBar()->addMenu(QStringLiteral("&Search"));
    searchMenu->addAction(mOptions);
    searchMenu->addAction(mSearch);
    searchMenu->addAction(mAbort);
    searchMenu->addSeparator();
    searchMenu->addAction(mProperties);
    menuBar()->addMenu(QStringLiteral("&Help"))->addAction(mAbout);

    QToolBar *tools = addToolBar(QStringLiteral("Search"));
    tools->setObjectName(QStringLiteral("searchToolBar"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction *action : {mOptions, mSearch, mAbort, mSave, mProperties, mAbout})
        tools->addAction(action);
}

template <class F> void FindInFilesWindow::guarded(F &&call) {
    try {
        call();
    } catch (const PlatformError &error) {
        statusBar()->showMessage(
            QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description()));
    }
}

void FindInFilesWindow::searchHereIfUnset() {
    guarded([this] {
        if (!mControl->SearchPath().isEmpty())
            return;
        mControl->setSearchPath(QDir::currentPath());
        mControl->setSearchString(QStringLiteral("TODO"));
        mControl->Grep();
    });
}

void FindInFilesWindow::options() {
    guarded([this] {
        if (mControl->ShowTavrinDialog() == vbTrue)
            mControl->Grep();
    });
}

void FindInFilesWindow::search() {
    statusBar()->clearMessage();
    guarded([this] { mControl->Grep(); });
}

void FindInFilesWindow::abort() {
    guarded([this] { mControl->Abort(); });
    // An aborted search raises no ScanCompleted.
    setSearching(false);
    statusBar()->showMessage(QStringLiteral("Search aborted"));
}

void FindInFilesWindow::saveResults() {
    QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Results"), QDir::homePath() + QStringLiteral("/findings.txt"),
        QStringLiteral("Tab-delimited text (*.txt *.tsv);;All files (*)"));
    if (fileName.isEmpty())
        return;
    guarded([&] {
        // A failure arrives as OnError -104 and shows in the status line.
        if (mControl->SaveDataToTabFile(fileName) == vbTrue)
            statusBar()->showMessage(QStringLiteral("Saved to %1").arg(fileName));
    });
}

void FindInFilesWindow::properties() {
    PropertyPageFrame frame({mControl}, {new ppgGeneral, new ppgAbout}, this);
    frame.setWindowTitle(QStringLiteral("TavrinX1 Properties"));
    connect(&frame, &PropertyPageFrame::errorReported, this,
            [this](const QString &description) { statusBar()->showMessage(description); });
    frame.exec();
}

void FindInFilesWindow::scanStarted() {
    setSearching(true);
    statusBar()->showMessage(QStringLiteral("Searching..."));
}

void FindInFilesWindow::scanCompleted() {
    setSearching(false);
    guarded([this] {
        const qint32 count = mControl->SearchCount();
        statusBar()->showMessage(count == 1 ? QStringLiteral("1 finding")
                                            : QStringLiteral("%1 findings").arg(count));
    });
}

void FindInFilesWindow::showError(qint32 &ErrorCode, QString &sErrorString) {
    statusBar()->showMessage(QStringLiteral("Error %1: %2").arg(ErrorCode).arg(sErrorString));
}

void FindInFilesWindow::preview(QString &sFileName, qint32 &lLine, qint32 &lColumn,
                                QString &sFound) {
    Q_UNUSED(sFound)
    QString searchString;
    guarded([&] { searchString = mControl->SearchString(); });
    auto *view = new FilePreview(this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    if (!view->showFinding(sFileName, lLine, lColumn, searchString.toUcs4().size())) {
        statusBar()->showMessage(view->errorString());
        delete view;
        return;
    }
    view->show();
}

void FindInFilesWindow::setSearching(bool searching) {
    mSearch->setEnabled(!searching);
    mAbort->setEnabled(searching);
}
