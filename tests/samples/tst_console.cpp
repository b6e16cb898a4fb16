// The console client: a search through sorvik printed as path:line:column:text, and a refused
// search reported on stderr with a failing exit code.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_Console : public QObject {
    Q_OBJECT
private slots:
    void printsEachFindingThenTheCount();
    void refusedSearchFails();
    void relativeFolderIsTakenFromTheWorkingFolder();

private:
    static QProcess *run(const QStringList &arguments, const QString &workingFolder = {}) {
        auto *process = new QProcess;
        process->setWorkingDirectory(workingFolder);
        process->start(QStringLiteral(TAVRIN_CONSOLE_PATH), arguments);
        process->waitForFinished(30000);
        return process;
    }
};

void tst_Console::printsEachFindingThenTheCount() {
    QTemporaryDir tree;
    QFile file(tree.filePath("a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("alpha\nbeta alpha\tgamma\nnone\n");
    file.close();
    QDir(tree.path()).mkdir("sub");
    QFile nested(tree.filePath("sub/b.txt"));
    QVERIFY(nested.open(QIODevice::WriteOnly));
    nested.write("ALPHA\n");
    nested.close();

    std::unique_ptr<QProcess> process(run({tree.path(), "alpha"}));
    QCOMPARE(process->exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process->readAllStandardOutput()).split('\n');
    const QString a = tree.filePath("a.txt");
    QCOMPARE(lines.mid(0, 3), QStringList({a + ":1:1:alpha", a + ":2:6:beta alpha\tgamma",
                                           tree.filePath("sub/b.txt") + ":1:1:ALPHA"}));
    QVERIFY(lines.at(3).startsWith("3 found in "));
}

void tst_Console::refusedSearchFails() {
    std::unique_ptr<QProcess> process(run({"/no/such/folder", "alpha"}));
    QCOMPARE(process->exitCode(), 1);
    QCOMPARE(process->readAllStandardError().trimmed(),
             QByteArray("error -11: Invalid Search Path"));
    QCOMPARE(process->readAllStandardOutput(), QByteArray());
}

void tst_Console::relativeFolderIsTakenFromTheWorkingFolder() {
    QTemporaryDir tree;
    QVERIFY(QDir(tree.path()).mkpath("sub/deeper"));
    QFile file(tree.filePath("sub/deeper/a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("alpha\n");
    file.close();

    std::unique_ptr<QProcess> process(run({"./sub/../sub/deeper", "alpha"}, tree.path()));
    QCOMPARE(process->readAllStandardError(), QByteArray());
    QCOMPARE(process->exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process->readAllStandardOutput()).section('\n', 0, 0),
             tree.filePath("sub/deeper/a.txt") + ":1:1:alpha");
}

QTEST_GUILESS_MAIN(tst_Console)
#include "tst_console.moc"
