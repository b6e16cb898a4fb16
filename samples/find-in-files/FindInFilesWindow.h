#pragma once

#include <QMainWindow>

class QAction;
class TavrinX;
class UserControlHost;

// The sample host: the form with one TavrinX control, named TavrinX1, filling the window, with
// menu and toolbar commands for the control's methods. Errors go to the status line.
class FindInFilesWindow : public QMainWindow {
    Q_OBJECT
public:
    // Loads the form; a control that cannot be created (e.g. no engine server) throws.
    explicit FindInFilesWindow(QWidget *parent = nullptr);

    TavrinX *control() const { return mControl; }
    QAction *searchAction() const { return mSearch; }
    QAction *abortAction() const { return mAbort; }

    // When the control has no search folder yet (it starts without one), search the current
    // folder for "TODO".
    void searchHereIfUnset();

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
    // Runs a control call, showing a platform failure in the status line.
    template <class F> void guarded(F &&call);

    UserControlHost *mHost;
    TavrinX *mControl = nullptr;
    QAction *mOptions = nullptr;
    QAction *mSearch = nullptr;
    QAction *mAbort = nullptr;
    QAction *mSave = nullptr;
    QAction *mProperties = nullptr;
    QAction *mAbout = nullptr;
};
