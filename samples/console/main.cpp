// Searches a folder with an engine object and prints each finding as path:line:column:text.
// Usage: tavrin-console [folder [string]]

#include "TavrinX.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QStringLiteral(TAVRIN_SOURCE_DIR);
    const QString searchFor = args.size() > 2 ? args.at(2) : QStringLiteral("TavrinX");

    QTextStream out(stdout);
    QTextStream err(stderr);
    auto engine = TavrinEXE::TavrinX::create();
    QObject::connect(engine.get(), &TavrinEXE::TavrinX::OnError, &app,
                     [&](qint32 &code, QString &message) {
                         err << "error " << code << ": " << message << Qt::endl;
                     });
    // SearchActive stays True inside ScanCompleted: leave the loop once the tick has ended.
    QObject::connect(engine.get(), &TavrinEXE::TavrinX::ScanCompleted, &app, [&] {
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });

    engine->setSearchPath(folder);
    engine->setSearchString(searchFor);
    engine->Grep();
    if (engine->SearchActive() == vbFalse)
        return 1; // refused; the reason went to stderr
    app.exec();

    const auto files = engine->FoundFiles();
    for (qint32 i = 1; i <= files->Count(); ++i)
        out << files->Item(i).toString() << ':' << engine->FoundLines()->Item(i).toInt() << ':'
            << engine->FoundColumns()->Item(i).toInt() << ':'
            << engine->FoundText()->Item(i).toString() << '\n';
    out << engine->SearchCount() << " found in " << engine->SearchTime() << " ms" << Qt::endl;
    return 0;
}
