// The find-in-files sample host.
//   find-in-files                      the window; repeats the last search (a first run searches
//                                      the current folder)
//   find-in-files --headless DIR TEXT  one search on the offscreen platform: prints the findings
//                 [--ext FILTER] [--screenshot PNG]     and saves a picture of the window

#include "FindInFilesWindow.h"
#include "HeadlessSearch.h"
#include <tavrinx/PlatformError.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>
#include <QTimer>
#include <memory>

int main(int argc, char *argv[]) {
    // The headless mode needs no display: choose the platform before the application starts.
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        headless = headless || qstrcmp(argv[i], "--headless") == 0;
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("find-in-files"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Searches the text files below a folder."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("headless"),
                      QStringLiteral("Search once without a user, print the findings, quit.")});
    parser.addOption({QStringLiteral("ext"), QStringLiteral("File-type filter (headless)."),
                      QStringLiteral("filter"), QStringLiteral("*.*")});
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Where the headless mode saves a picture of the window."),
                      QStringLiteral("png")});
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Folder (headless)."));
    parser.addPositionalArgument(QStringLiteral("text"), QStringLiteral("Text (headless)."));
    parser.process(app);

    QTextStream err(stderr);
    std::unique_ptr<FindInFilesWindow> window;
    try {
        window = std::make_unique<FindInFilesWindow>();
    } catch (const Tavrin::PlatformError &error) {
        err << "Cannot create the control: " << error.description() << Qt::endl;
        return 1;
    }

    if (!parser.isSet(QStringLiteral("headless"))) {
        window->show();
        QTimer::singleShot(0, window.get(), [&window] { window->startWithLastSearch(); });
        return app.exec();
    }

    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        err << "--headless needs a folder and a text to search for" << Qt::endl;
        return 2;
    }
    HeadlessSearch::Request request;
    request.folder = QDir(args.at(0)).absolutePath();
    request.searchString = args.at(1);
    request.searchExt = parser.value(QStringLiteral("ext"));
    request.screenshot =
        parser.isSet(QStringLiteral("screenshot"))
            ? parser.value(QStringLiteral("screenshot"))
            : QDir::temp().filePath(
                  QStringLiteral("find-in-files-%1.png").arg(QCoreApplication::applicationPid()));
    window->resize(900, 520);
    window->show();
    HeadlessSearch search(*window, request);
    QObject::connect(&search, &HeadlessSearch::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &search, &HeadlessSearch::start);
    return app.exec();
}
