#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

class FilePreview;
class QAction;
class QMenu;
class QSettings;
class ReplaceBar;
class SearchOptionsBar;
class SearchProgressLabel;
class StatusMessageLabel;
class TavrinX;
namespace Tavrin {
class UserControlHost;
}

// The sample host: the form with one TavrinX control, named TavrinX1, filling the window, with
// menu and toolbar commands for the control's methods, a row of the search options the options
// dialog does not offer, a row that replaces in the files found and undoes it, and a progress
// line while a search runs. Errors go to the status line.
// It remembers the folder, text and file types of its last search and its own size and place in
// its own settings; the control keeps the options in its settings file.
class FindInFilesWindow : public QMainWindow {
    Q_OBJECT
public:
    // Loads the form; a control that cannot be created (e.g. no engine server) throws.
    explicit FindInFilesWindow(QWidget *parent = nullptr);
    ~FindInFilesWindow() override;

    TavrinX *control() const { return mControl; }
    QAction *searchAction() const { return mSearch; }
    QAction *abortAction() const { return mAbort; }
    QAction *optionsAction() const { return mOptions; }
    QAction *saveAction() const { return mSave; }
    QAction *propertiesAction() const { return mProperties; }
    SearchOptionsBar *optionsBar() const { return mOptionsBar; }
    ReplaceBar *replaceBar() const { return mReplaceBar; }
    SearchProgressLabel *progress() const { return mProgress; }
    // The status line's message, whole.
    QString statusText() const;
    FilePreview *filePreview() const;

    // Why a search of `text` in `folder` cannot run, for the status line; empty when it can.
    static QString searchProblem(const QString &folder, const QString &text);

    // Runs the last search again; the first time, searches the current folder and its
    // subfolders for "TODO" in files of every type.
    void startWithLastSearch();

protected:
    // The application ends with its window.
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    // The first run skips binary files and leaves out .git; later runs keep the user's choice.
    void setFirstRunOptions();
    void options();
    void search();
    void abort();
    void saveResults();
    void properties();
    void scanStarted();
    void scanCompleted();
    // Asks "Replace N lines in M files?" and replaces in the files of the findings on show.
    void replaceAll();
    void undoReplace();
    // Runs the control's Replace or UndoReplace with the window busy until it ends.
    void startReplace(bool undo);
    void replaceCompleted(qint32 &lLinesReplaced, qint32 &lFilesReplaced);
    // Files among the findings on show.
    int filesFound() const;
    void showError(qint32 &ErrorCode, QString &sErrorString);
    void preview(QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound);
    void setSearching(bool searching);
    // Moves a new top-level window beside this one.
    void placeBeside(QWidget *window) const;
    void showStatus(const QString &message);
    // Grep, with Options and Search disabled until the search ends or is refused; a missing
    // folder or an empty text is reported instead, and the findings stay.
    void startSearch();
    void rememberSearch();
    // Runs a control call, showing a platform failure in the status line; false when it failed.
    template <class F> bool guarded(F &&call);

    Tavrin::UserControlHost *mHost;
    TavrinX *mControl = nullptr;
    QAction *mOptions = nullptr;
    QAction *mSearch = nullptr;
    QAction *mAbort = nullptr;
    QAction *mSave = nullptr;
    QAction *mProperties = nullptr;
    QAction *mAbout = nullptr;
    QMenu *mSearchMenu = nullptr;
    SearchOptionsBar *mOptionsBar = nullptr;
    ReplaceBar *mReplaceBar = nullptr;
    SearchProgressLabel *mProgress = nullptr;
    StatusMessageLabel *mMessage = nullptr;
    QPointer<FilePreview> mPreview;
    std::unique_ptr<QSettings> mSettings;
    // Set while Grep runs: an error then means the search was refused.
    bool mbInGrep = false;
    bool mbRefused = false;
    // The replace or undo under way, and what it has reported.
    enum class Replacing { No, Replace, Undo } mReplacing = Replacing::No;
    bool mbReplaceAborted = false;
    bool mbUndoAvailable = false; // the last replace wrote files an undo may restore
    int mlChangedSince = 0; // files left alone because they changed
    int mlNotWritten = 0;   // files that could not be read or written
};
