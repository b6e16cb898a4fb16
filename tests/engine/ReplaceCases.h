#pragma once

// Replace in the files of a search's findings, and its undo, on trees made for each case: what
// the files hold afterwards byte for byte, what was reported, what the counts say. The same
// cases run in-process against the engine and across processes against sorvik; both have the
// same members and events.

#include "Boolean.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QScopeGuard>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace ReplaceCases {

using Files = QMap<QString, QByteArray>;

inline QByteArray le(const QString &text) {
    return utf16(text, false);
}

// The table; inProcess adds the cases that need a hook inside the engine's thread.
inline void addRows(bool inProcess) {
    const QByteArray kLong = "foo " + QByteArray(1100 * 1024, 'x') + "\n";
    const QString kNoSearch = "OnError -106 There is no completed search to replace in.";
    const QString kDone = "ScanCompleted";

    QTest::addColumn<Files>("files");     // searched: those below s/
    QTest::addColumn<QStringList>("ops"); // run in turn; see run()
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("flags"); // cs: case, ww: whole word, re: pattern
    QTest::addColumn<QString>("with");
    QTest::addColumn<Files>("after");        // contents; "mode P": octal mode; "link P": its target
    QTest::addColumn<QStringList>("events"); // of the last op, "@" for the tree
    QTest::addColumn<QString>("counts");     // lines and files of the last op

    const QStringList searchReplace{"search", "replace"};
    QTest::newRow("ignoring case, every occurrence, each file")
        << Files{{"s/a.txt", "foo Foo\nbar\nFOO\n"}, {"s/b.txt", "x foo"}} << searchReplace << "foo"
        << ""
        << "baz" << Files{{"s/a.txt", "baz baz\nbar\nbaz\n"}, {"s/b.txt", "x baz"}}
        << QStringList{"ScanStarted", kDone} << "3 2";
    QTest::newRow("case") << Files{{"s/a.txt", "foo Foo\nFOO\n"}} << searchReplace << "foo"
                          << "cs"
                          << "baz" << Files{{"s/a.txt", "baz Foo\nFOO\n"}}
                          << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("whole word: lines without a finding untouched")
        << Files{{"s/a.txt", "foo food\nfood\n_foo foo.\n"}} << searchReplace << "foo"
        << "ww"
        << "baz" << Files{{"s/a.txt", "baz food\nfood\n_foo baz.\n"}}
        << QStringList{"ScanStarted", kDone} << "2 1";
    QTest::newRow("plain string: the replacement as it is")
        << Files{{"s/a.txt", "a+b\n"}} << searchReplace << "+"
        << ""
        << "$1$$" << Files{{"s/a.txt", "a$1$$b\n"}} << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("pattern: numbered groups, a dollar")
        << Files{{"s/a.txt", "a=1 b=22\nnone\n"}} << searchReplace << "(\\w)=(\\d+)"
        << "re"
        << "$2=$1$$" << Files{{"s/a.txt", "1=a$ 22=b$\nnone\n"}}
        << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("pattern: named group, a group that took no part")
        << Files{{"s/a.txt", "key: x\n"}} << searchReplace << "(?<k>\\w+)(-)?:"
        << "re"
        << "${k}[$2] ->" << Files{{"s/a.txt", "key[] -> x\n"}} << QStringList{"ScanStarted", kDone}
        << "1 1";
    QTest::newRow("pattern: whole word, ignoring case")
        << Files{{"s/a.txt", "FOO fooz foo\n"}} << searchReplace << "fo+"
        << "ww,re"
        << "<$0>" << Files{{"s/a.txt", "<FOO> fooz <foo>\n"}} << QStringList{"ScanStarted", kDone}
        << "1 1";
    QTest::newRow("pattern: empty matches")
        << Files{{"s/a.txt", "foo\n"}} << searchReplace << "o*"
        << "re"
        << "-" << Files{{"s/a.txt", "-f--\n"}} << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("CR LF and a UTF-8 mark kept")
        << Files{{"s/a.txt", "\xEF\xBB\xBF"
                             "foo\r\nbar\r\nfoo\n\xC3\xA9 foo"}}
        << searchReplace << "foo"
        << ""
        << "b\xC3\xA4r"
        << Files{{"s/a.txt", "\xEF\xBB\xBF"
                             "b\xC3\xA4r\r\nbar\r\nb\xC3\xA4r\n\xC3\xA9 b\xC3\xA4r"}}
        << QStringList{"ScanStarted", kDone} << "3 1";
    QTest::newRow("UTF-16 LE and BE with their marks kept")
        << Files{{"s/le.txt", le("foo\r\nbar foo\n")},
                 {"s/be.txt", utf16(QString::fromUtf8("\xF0\x9F\x98\x80 foo\n"), true)}}
        << searchReplace << "foo"
        << ""
        << "ba\xC3\xA4"
        << Files{{"s/le.txt", le(QString::fromUtf8("ba\xC3\xA4\r\nbar ba\xC3\xA4\n"))},
                 {"s/be.txt", utf16(QString::fromUtf8("\xF0\x9F\x98\x80 ba\xC3\xA4\n"), true)}}
        << QStringList{"ScanStarted", kDone} << "3 2";
    QTest::newRow("mode kept") << Files{{"s/a.txt", "foo\n"}}
                               << QStringList{"mode s/a.txt 751", "search", "replace"} << "foo"
                               << ""
                               << "bar" << Files{{"s/a.txt", "bar\n"}, {"mode s/a.txt", "751"}}
                               << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("links followed and kept; one file by two paths written once")
        << Files{{"s/a.txt", "foo\n"}, {"t.txt", "foo\n"}}
        << QStringList{"link s/l.txt ../t.txt", "link s/m.txt a.txt", "search", "replace"} << "foo"
        << ""
        << "bar"
        << Files{{"s/a.txt", "bar\n"},
                 {"t.txt", "bar\n"},
                 {"link s/l.txt", "../t.txt"},
                 {"link s/m.txt", "a.txt"}}
        << QStringList{"ScanStarted", kDone} << "2 2";
    QTest::newRow("hard links stay one file")
        << Files{{"s/a.txt", "foo\n"}} << QStringList{"hardlink h.txt s/a.txt", "search", "replace"}
        << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "bar\n"}, {"h.txt", "bar\n"}}
        << QStringList{"ScanStarted", kDone} << "1 1";
    QTest::newRow("many files, some searched ahead")
        << Files{{"s/1.txt", "foo\n"}, {"s/2.txt", "x\nfoo\n"},   {"s/3.txt", "foo\n"},
                 {"s/4.txt", "foo\n"}, {"s/5.txt", "foo\n"},      {"s/6.txt", "foo\n"},
                 {"s/7.txt", "foo\n"}, {"s/8.txt", "a\nb\nfoo\n"}}
        << searchReplace << "foo"
        << ""
        << "bar"
        << Files{{"s/1.txt", "bar\n"},
                 {"s/2.txt", "x\nbar\n"},
                 {"s/7.txt", "bar\n"},
                 {"s/8.txt", "a\nb\nbar\n"}}
        << QStringList{"ScanStarted", kDone} << "8 8";
    QTest::newRow("a file changed since the search is left and reported")
        << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "foo\n"}}
        << QStringList{"search", "write s/b.txt foo edited\n", "replace"} << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "bar\n"}, {"s/b.txt", "foo edited\n"}}
        << QStringList{"ScanStarted", "OnError -109 @/s/b.txt: changed since the search", kDone}
        << "1 1";
    if (inProcess)
        QTest::newRow("a file written while it is replaced is left")
            << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "foo\n"}}
            << QStringList{"search", "replace, s/b.txt written meanwhile"} << "foo"
            << ""
            << "bar" << Files{{"s/a.txt", "bar\n"}, {"s/b.txt", "foo\nmore\n"}}
            << QStringList{"ScanStarted", "OnError -109 @/s/b.txt: changed since the search", kDone}
            << "1 1";
    QTest::newRow("a read-only file is left and reported")
        << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "foo\n"}}
        << QStringList{"search", "mode s/a.txt 444", "replace"} << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "bar\n"}, {"mode s/a.txt", "444"}}
        << QStringList{"ScanStarted", "OnError -100 @/s/a.txt: the file is read-only", kDone}
        << "1 1";
    QTest::newRow("a line longer than a finding keeps is not replaced")
        << Files{{"s/a.txt", kLong}} << searchReplace << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", kLong}}
        << QStringList{"ScanStarted",
                       "OnError -100 @/s/a.txt: line 1 is longer than a finding keeps", kDone}
        << "0 0";
    QTest::newRow("a line of bytes that are not text is not replaced")
        << Files{{"s/a.txt", "ok foo\nfoo \xFF\n"}, {"s/b.txt", le(u"foo \xD800\n"_qs)}}
        << searchReplace << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "ok foo\nfoo \xFF\n"}, {"s/b.txt", le(u"foo \xD800\n"_qs)}}
        << QStringList{"ScanStarted",
                       "OnError -100 @/s/a.txt: line 2 holds bytes that are not text of the "
                       "file's encoding",
                       "OnError -100 @/s/b.txt: line 1 holds bytes that are not text of the "
                       "file's encoding",
                       kDone}
        << "0 0";
    QTest::newRow("abort between files")
        << Files{{"s/a.txt", "foo\nfoo\n"}, {"s/b.txt", "foo\n"}, {"s/c.txt", "foo\nfoo\n"}}
        << QStringList{"search", "write s/b.txt edited\n", "replace, aborted at the first error"}
        << "foo"
        << ""
        << "bar"
        << Files{{"s/a.txt", "bar\nbar\n"}, {"s/b.txt", "edited\n"}, {"s/c.txt", "foo\nfoo\n"}}
        << QStringList{"ScanStarted", "OnError -109 @/s/b.txt: changed since the search"} << "2 1";
    QTest::newRow("undo restores every byte") << Files{{"s/a.txt", "\xEF\xBB\xBF"
                                                                   "foo\r\nx\r\nfoo foo"},
                                                       {"s/b.txt", le("a\nfoo\n")}}
                                              << QStringList{"search", "replace", "undo"} << "foo"
                                              << ""
                                              << "longer text"
                                              << Files{{"s/a.txt", "\xEF\xBB\xBF"
                                                                   "foo\r\nx\r\nfoo foo"},
                                                       {"s/b.txt", le("a\nfoo\n")}}
                                              << QStringList{"ScanStarted", kDone} << "3 2";
    QTest::newRow("undo leaves a file edited since the replace")
        << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "foo\nfoo\n"}, {"s/c.txt", "foo\n"}}
        << QStringList{"search", "replace", "write s/b.txt bar\nbar edited\n",
                       "write s/c.txt bar\nbar\n", "undo"}
        << "foo"
        << ""
        << "bar"
        << Files{{"s/a.txt", "foo\n"}, {"s/b.txt", "bar\nbar edited\n"}, {"s/c.txt", "bar\nbar\n"}}
        << QStringList{"ScanStarted", "OnError -109 @/s/b.txt: changed since the replace",
                       "OnError -109 @/s/c.txt: changed since the replace", kDone}
        << "1 1";
    QTest::newRow("an undo left alone is tried again")
        << Files{{"s/a.txt", "foo\n"}}
        << QStringList{"search", "replace", "mode s/a.txt 444", "undo", "mode s/a.txt 644", "undo"}
        << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "foo\n"}} << QStringList{"ScanStarted", kDone} << "1 1";

    // Refusals come before the call returns, and nothing is touched.
    const Files untouched{{"s/a.txt", "foo\n"}};
    QTest::newRow("refused: no search") << untouched << QStringList{"replace"} << "foo"
                                        << ""
                                        << "bar" << untouched << QStringList{kNoSearch} << "0 0";
    QTest::newRow("refused: the search aborted")
        << untouched << QStringList{"search, aborted", "replace"} << "foo"
        << ""
        << "bar" << untouched
        << QStringList{"OnError -107 The last search was aborted; search again before "
                       "replacing."}
        << "0 0";
    QTest::newRow("refused: a setting written while the search ran")
        << untouched << QStringList{"search, a setting written meanwhile", "replace"} << "foo"
        << ""
        << "bar" << untouched
        << QStringList{"OnError -108 The search settings changed while the search ran; search "
                       "again before replacing."}
        << "0 0";
    QTest::newRow("refused: a second replace while one runs")
        << untouched << QStringList{"search", "replace twice"} << "foo"
        << ""
        << "bar" << Files{{"s/a.txt", "bar\n"}}
        << QStringList{"OnError -101 Search is in process, abort current search first.",
                       "ScanStarted", kDone}
        << "1 1";
    QTest::newRow("refused: nothing to undo")
        << untouched << QStringList{"search", "replace", "undo", "undo"} << "foo"
        << ""
        << "bar" << untouched << QStringList{"OnError -110 There is no replace to undo."} << "1 1";
    QTest::newRow("refused: a group the pattern lacks")
        << untouched << searchReplace << "(f)o"
        << "re"
        << "$2" << untouched
        << QStringList{"OnError -111 Invalid Replace With: the pattern has no group 2 (\"$2\" "
                       "at character 1)"}
        << "0 0";
    QTest::newRow("refused: a dollar alone")
        << untouched << searchReplace << "fo"
        << "re"
        << "x$" << untouched
        << QStringList{"OnError -111 Invalid Replace With: \"$\" at character 2 is not followed "
                       "by a group number, {name} or $"}
        << "0 0";
    QTest::newRow("refused: a line end")
        << untouched << searchReplace << "foo"
        << ""
        << "a\nb" << untouched
        << QStringList{"OnError -111 Invalid Replace With: a line end cannot be put into a line"}
        << "0 0";
}

// Runs the current row against engine. ownOp runs an op the table adds for this side only and
// says whether it was one.
template <typename Engine>
void run(Engine &engine, const std::function<bool(const QString &op, const QString &root)> &ownOp) {
    QFETCH(Files, files);
    QFETCH(QStringList, ops);
    QFETCH(QString, find);
    QFETCH(QString, flags);
    QFETCH(QString, with);
    QFETCH(Files, after);
    QFETCH(QStringList, events);
    QFETCH(QString, counts);

    QTemporaryDir dir;
    const QString root = dir.path();
    writeTree(root, files);
    QStringList seen;
    bool abortAtError = false;
    const auto started = QObject::connect(&engine, &Engine::ScanStarted, &engine,
                                          [&] { seen << QStringLiteral("ScanStarted"); });
    const auto completed = QObject::connect(&engine, &Engine::ScanCompleted, &engine,
                                            [&] { seen << QStringLiteral("ScanCompleted"); });
    const auto error =
        QObject::connect(&engine, &Engine::OnError, &engine, [&](qint32 &code, QString &message) {
            seen << QStringLiteral("OnError %1 %2").arg(code).arg(message.replace(root, "@"));
            if (abortAtError)
                engine.Abort();
        });
    const auto disconnect = qScopeGuard([&] {
        for (const auto &c : {started, completed, error})
            QObject::disconnect(c);
    });
    engine.setSearchPath(root + "/s");
    engine.setSearchString(find);
    engine.setCaseSensitive(Tavrin::toVBool(flags.contains("cs")));
    engine.setWholeWordOnly(flags.contains("ww"));
    engine.setUseRegularExpression(Tavrin::toVBool(flags.contains("re")));
    engine.setReplaceWith(with);

    for (const QString &op : ops) {
        seen.clear();
        const QString path = root + u'/' + op.section(u' ', 1, 1);
        const QString argument = op.section(u' ', 2);
        if (ownOp && ownOp(op, root)) {
        } else if (op == "search" || op == "search, aborted") {
            engine.Grep();
            if (op.endsWith("aborted"))
                engine.Abort();
        } else if (op == "search, a setting written meanwhile") {
            // The engine waits for the handler, which writes a setting of the line rules.
            const auto once = QObject::connect(&engine, &Engine::ScanStarted, &engine, [&] {
                engine.setCaseSensitive(engine.CaseSensitive());
            });
            engine.Grep();
            QDeadlineTimer deadline(20000);
            while (engine.SearchActive() != Tavrin::vbFalse && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QObject::disconnect(once);
        } else if (op.startsWith("replace") || op == "undo") {
            abortAtError = op == "replace, aborted at the first error";
            if (op == "undo")
                engine.UndoReplace();
            else
                engine.Replace();
            if (op == "replace twice")
                engine.Replace();
        } else if (op.startsWith("write ")) {
            writeTree(root, {{op.section(u' ', 1, 1), argument.toUtf8()}});
        } else if (op.startsWith("mode ")) {
            QCOMPARE(::chmod(QFile::encodeName(path), argument.toUInt(nullptr, 8)), 0);
        } else if (op.startsWith("link ")) {
            QCOMPARE(::symlink(QFile::encodeName(argument), QFile::encodeName(path)), 0);
        } else if (op.startsWith("hardlink ")) {
            QCOMPARE(::link(QFile::encodeName(root + u'/' + argument), QFile::encodeName(path)), 0);
        } else {
            QFAIL(qPrintable("unknown op " + op));
        }
        QDeadlineTimer deadline(20000);
        while (engine.SearchActive() != Tavrin::vbFalse && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCOMPARE(engine.SearchActive(), Tavrin::vbFalse);
        abortAtError = false;
    }

    QCOMPARE(seen, events);
    QCOMPARE(QStringLiteral("%1 %2").arg(engine.LinesReplaced()).arg(engine.FilesReplaced()),
             counts);
    for (auto it = after.begin(); it != after.end(); ++it) {
        const QString path = root + u'/' + it.key().section(u' ', -1);
        struct stat st {};
        if (it.key().startsWith("mode ")) {
            QCOMPARE(::stat(QFile::encodeName(path), &st), 0);
            QCOMPARE(QString::number(st.st_mode & 07777, 8).toUtf8(), it.value());
        } else if (it.key().startsWith("link ")) {
            char target[256] = {};
            QVERIFY(::readlink(QFile::encodeName(path), target, sizeof target - 1) > 0);
            QCOMPARE(QByteArray(target), it.value());
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), it.value());
        }
    }
    // No file is left behind by a write.
    const QStringList left = QDir(root + "/s").entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : left)
        QVERIFY2(!name.startsWith(u'.'), qPrintable(name));
}

} // namespace ReplaceCases
