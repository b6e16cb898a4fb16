#pragma once

#include <QMainWindow>
#include <memory>

class QAction;
class QSettings;
class SearchOptionsBar;
class SearchProgressLabel;
class TavrinX;
class UserControlHost;

// The sample host: the form with one TavrinX control, named TavrinX1, filling the window, with
// menu and toolbar commands for the control's methods, a row of the search options the options
// dialog does not offer, and a progress line while a search runs. Errors go to the status line.
// It remembers the folder, text and file types of its last search in its own settings; the
// control keeps the options in its settings file.
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
    SearchOptionsBar *optionsBar() const { return mOptionsBar; }
    SearchProgressLabel *progress() const { return mProgress; }

    // Runs the last search again; the first time, searches the current folder and its
    // subfolders for "TODO" in files of every type.
    void startWithLastSearch();

protected:
    // The application ends with its window.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createActions();
    void options();
    void search();
    void abort();
    void saveResults();
    void properties();
    void scanStarted();
    void scanCompleted();
    void showError(qint32 &ErrorCode, QString &sErrorString);
    void preview(QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound);
    void setSearching(bool searching);
    // Shows a message in the status line, shortened to fit beside the progress line.
    void showStatus(const QString &message);
    // Grep, with Options and Search disabled until the search ends or is refused.
    void startSearch();
    void rememberSearch();
    // Runs a control call, showing a platform failure in the status line; false when it failed.
    template <class F> bool guarded(F &&call);

    UserControlHost *mHost;
    TavrinX *mControl = nullptr;
    QAction *mOptions = nullptr;
    QAction *mSearch = nullptr;
    QAction *mAbort = nullptr;
    QAction *mSave = nullptr;
    QAction *mProperties = nullptr;
    QAction *mAbout = nullptr;
    SearchOptionsBar *mOptionsBar = nullptr;
    SearchProgressLabel *mProgress = nullptr;
    std::unique_ptr<QSettings> mSettings;
    QString msStatus; // the status line's message, whole
    // Set while Grep runs: an error then means the search was refused.
    bool mbInGrep = false;
    bool mbRefused = false;
};
