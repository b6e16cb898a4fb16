#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>

class FindInFilesWindow;

// One search without a user: runs it in the window's control, prints the number of findings
// and the first ones as path:line:column:text, and saves a picture of the window.
class HeadlessSearch : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString folder;
        QString searchString;
        QString searchExt = QStringLiteral("*.*");
        QString screenshot; // PNG path
        int shownFindings = 10;
    };

    HeadlessSearch(FindInFilesWindow &window, Request request, QObject *parent = nullptr);

    // Starts the search; finished() follows with the process exit code.
    void start();

signals:
    void finished(int exitCode);

private:
    void completed();
    void fail(const QString &message);

    FindInFilesWindow &mWindow;
    Request mRequest;
    QTextStream mOut;
    QTextStream mErr;
    bool mbInGrep = false;
    bool mbRefused = false;
};
