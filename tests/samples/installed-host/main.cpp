// A host built against the installed TavrinX: searches a folder and prints the findings.
// Usage: installed-host FOLDER TEXT
#include <tavrinx/TavrinX.h>
#include <tavrinx/UserControlHost.h>

#include <QApplication>
#include <QMainWindow>
#include <QTextStream>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QTextStream out(stdout);

    QMainWindow window;
    // The host terminates the control when the window goes.
    auto *host = new Tavrin::UserControlHost(&window);
    auto *tavrin = host->createNew<TavrinX>(QStringLiteral("TavrinX1"));
    window.setCentralWidget(tavrin);

    QObject::connect(
        tavrin, &TavrinX::OnFileFound,
        [&](qint32 &, QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound) {
            out << sFileName << ':' << lLine << ':' << lColumn << ':' << sFound << Qt::endl;
        });
    // A refusal comes through OnError before Grep returns; the search may also start, and even
    // end, before then, since the engine searches on while the call waits.
    bool started = false, refused = false, completed = false;
    QObject::connect(tavrin, &TavrinX::OnError, [&](qint32 &ErrorCode, QString &sErrorString) {
        out << "error " << ErrorCode << ": " << sErrorString << Qt::endl;
        refused = refused || !started;
    });
    QObject::connect(tavrin, &TavrinX::ScanStarted, [&] { started = true; });
    QObject::connect(tavrin, &TavrinX::ScanCompleted, [&] {
        completed = true;
        app.quit();
    });

    tavrin->setSearchPath(QString::fromLocal8Bit(argv[1]));
    tavrin->setSearchString(QString::fromLocal8Bit(argv[2]));
    tavrin->setLookInSubfolders(true);
    tavrin->Grep();
    if (refused)
        return 1;
    window.show();
    if (!completed)
        app.exec();
    out << tavrin->SearchCount() << " findings" << Qt::endl;
    return 0;
}
