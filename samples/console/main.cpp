// Searches a folder with an engine object of sorvik, reached over the session bus, and prints
// each finding as path:line:column:text.
// Usage: tavrin-console [options] [folder [string]]; --help lists the options.

#include "FindingRecord.h"
#include "PlatformError.h"
#include "TavrinXProxy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QStringEncoder>
#include <QTimer>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Folder to search."));
    parser.addPositionalArgument(QStringLiteral("string"), QStringLiteral("What to look for."));
    const QCommandLineOption caseSensitive({QStringLiteral("s"), QStringLiteral("case-sensitive")},
                                           QStringLiteral("Match case."));
    const QCommandLineOption wholeWord({QStringLiteral("w"), QStringLiteral("word")},
                                       QStringLiteral("Whole words only."));
    const QCommandLineOption regex({QStringLiteral("e"), QStringLiteral("regex")},
                                   QStringLiteral("The string is a regular expression (PCRE2)."));
    const QCommandLineOption exclude({QStringLiteral("x"), QStringLiteral("exclude")},
                                     QStringLiteral("Folders to leave out, ';'-separated globs."),
                                     QStringLiteral("list"));
    const QCommandLineOption skipBinary(QStringLiteral("skip-binary"),
                                        QStringLiteral("Leave out files holding a NUL byte."));
    parser.addOptions({caseSensitive, wholeWord, regex, exclude, skipBinary});
    parser.process(app);
    const QStringList args = QStringList{app.arguments().value(0)} + parser.positionalArguments();
    QString folder = args.size() > 1 ? args.at(1) : QStringLiteral(TAVRIN_SOURCE_DIR);
    // sorvik has its own working folder: a relative folder is taken from this process's.
    if (!folder.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    const QString searchFor = args.size() > 2 ? args.at(2) : QStringLiteral("TavrinX");

    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        TavrinEXE::TavrinXProxy engine;
        bool refused = false;
        QObject::connect(&engine, &TavrinEXE::TavrinXProxy::OnError, &app,
                         [&](qint32 &code, QString &message) {
                             err << "error " << code << ": " << message << Qt::endl;
                             refused = code != -100;
                         });
        // Findings are printed while the scan runs, from the collection the scan fills, so
        // that reading them over the bus overlaps the search. Count asks the server: it is read
        // once a poll, not once a finding. The items come in batches.
        std::shared_ptr<TavrinEXE::CollectionProxy> results;
        qint32 printed = 0;
        bool printing = false; // a call waits in a nested loop, where the poll may fire again
        // Lines go out a megabyte at a time: a write a line costs more than printing it.
        constexpr qsizetype kOutputChunk = 1 << 20;
        QByteArray lines;
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        // A record's line, encoded straight into lines: the tabs between its fields become ':'.
        const auto appendLine = [&](QStringView record) {
            const QList<QStringView> fields = FindingRecord::fields(record);
            const qsizetype size = lines.size();
            lines.resize(size + utf8.requiredSpace(record.size()) + 1); // room for all, and '\n'
            char *out = lines.data() + size;
            for (qsizetype f = 0; f < fields.size(); ++f) {
                if (f > 0)
                    *out++ = ':';
                out = utf8.appendToBuffer(out, fields.at(f));
            }
            *out++ = '\n';
            lines.truncate(out - lines.constData());
        };
        const auto writeLines = [&] {
            out.flush();
            std::fwrite(lines.constData(), 1, lines.size(), stdout);
            std::fflush(stdout);
            lines.truncate(0); // keeps the buffer
        };
        const auto printUpTo = [&](qint32 count) {
            if (printing)
                return;
            printing = true;
            for (; printed < count; ++printed) {
                appendLine(results->Item(printed + 1).toString());
                if (lines.size() >= kOutputChunk)
                    writeLines();
            }
            writeLines();
            printing = false;
        };
        QObject::connect(&engine, &TavrinEXE::TavrinXProxy::ScanStarted, &app,
                         [&] { results = engine.ResultsFound(); });
        // The loop is left from the poll, never while a call waits: quitting ends every loop
        // of the thread, the call's own too.
        bool completed = false;
        QObject::connect(&engine, &TavrinEXE::TavrinXProxy::ScanCompleted, &app,
                         [&] { completed = true; });
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, &app, [&] {
            if (printing)
                return;
            if (completed)
                QCoreApplication::quit();
            else if (results)
                printUpTo(results->Count());
        });

        engine.setSearchPath(folder);
        engine.setSearchString(searchFor);
        engine.setCaseSensitive(Tavrin::toVBool(parser.isSet(caseSensitive)));
        engine.setWholeWordOnly(Tavrin::vboolVariant(Tavrin::toVBool(parser.isSet(wholeWord))));
        if (parser.isSet(regex))
            engine.setUseRegularExpression(Tavrin::vbTrue);
        if (parser.isSet(exclude))
            engine.setExcludeFolders(parser.value(exclude));
        if (parser.isSet(skipBinary))
            engine.setSkipBinaryFiles(Tavrin::vbTrue);
        poll.start();
        engine.Grep();
        if (refused)
            return 1; // the reason went to stderr before Grep returned
        app.exec();
        if (!results)
            results = engine.ResultsFound();
        printUpTo(results->Count());
        out << engine.SearchCount() << " found in " << engine.SearchTime() << " ms" << Qt::endl;
    } catch (const Tavrin::PlatformError &error) {
        err << "error " << error.number() << ": " << error.description() << Qt::endl;
        return 2;
    }
    return 0;
}
