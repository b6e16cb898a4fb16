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
    auto *host = new UserControlHost(&window); // terminates the control when the window goes
    auto *tavrin = host->createNew<TavrinX>(QStringLiteral("TavrinX1"));
    window.setCentralWidget(tavrin);

    QObject::connect(
        tavrin, &TavrinX::OnFileFound,
        [&](qint32 &, QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound) {
            out << sFileName << ':' << lLine << ':' << lColumn << ':' << sFound << Qt::endl;
        });
    QObject::connect(tavrin, &TavrinX::OnError, [&](qint32 &ErrorCode, QString &sErrorString) {
        out << "error " << ErrorCode << ": " << sErrorString << Qt::endl;
    });
    QObject::connect(tavrin, &TavrinX::ScanCompleted, &app, &QCoreApplication::quit);

    tavrin->setSearchPath(QString::fromLocal8Bit(argv[1]));
    tavrin->setSearchString(QString::fromLocal8Bit(argv[2]));
    tavrin->setLookInSubfolders(true);
    tavrin->Grep();
    if (tavrin->SearchActive() == vbFalse)
        return 1; // refused: the reason came through OnError
    window.show();
    app.exec();
    out << tavrin->SearchCount() << " findings" << Qt::endl;
    return 0;
}
