#include "FileSystemObject.h"
#include "FolderListing.h"
#include "PlatformError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_FileSystemObject : public QObject {
    Q_OBJECT
private slots:
    void textStreamSplitsLinesAtLfAndCrLf_data();
    void textStreamSplitsLinesAtLfAndCrLf();
    void extensionIsTextAfterLastDot_data();
    void extensionIsTextAfterLastDot();
    void listingsAreInByteOrderWithNormalPaths();
    void openingAFolderOrFifoFails();
    void listedFileOpensByNameInItsFolder();
    void listingKeepsRawNamesAndOpensRelativeToOpenFolder();
};

void tst_FileSystemObject::textStreamSplitsLinesAtLfAndCrLf_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("final line end") << QByteArray("a\n") << QStringList{"a"};
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("empty lines") << QByteArray("\n\r\n\n") << QStringList{"", "", ""};
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a\rb\r"};
    QTest::newRow("invalid utf-8") << QByteArray("\xc3\xa9\xff\n") << QStringList{"é\uFFFD"};
    QTest::newRow("long line") << QByteArray(200000, 'z') + "\nq"
                               << QStringList{QString(200000, u'z'), "q"};
}

void tst_FileSystemObject::textStreamSplitsLinesAtLfAndCrLf() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    QFile f(dir.filePath("t"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(dir.filePath("t"));
    QStringList read;
    while (!stream->AtEndOfStream())
        read << stream->ReadLine();
    QCOMPARE(read, lines);
    QVERIFY_THROWS_EXCEPTION(PlatformError, stream->ReadLine());
    stream->Close();
}

void tst_FileSystemObject::extensionIsTextAfterLastDot_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::newRow("plain") << "/a/b.txt"
                           << "txt";
    QTest::newRow("two dots") << "/a/b.tar.GZ"
                              << "GZ";
    QTest::newRow("none") << "/a.d/b"
                          << "";
    QTest::newRow("trailing dot") << "/a/b."
                                  << "";
    QTest::newRow("dot file") << "/a/.profile"
                              << "profile";
}

void tst_FileSystemObject::extensionIsTextAfterLastDot() {
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QCOMPARE(FileSystemObject().GetExtensionName(path), extension);
}

void tst_FileSystemObject::listingsAreInByteOrderWithNormalPaths() {
    QTemporaryDir dir;
    for (const char *name : {"b", "B", "a", "é", "_"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkpath("sub/inner"));
    QVERIFY(QDir(dir.path()).mkpath("Sub"));
    QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("linked-folder")));
    QVERIFY(QFile::link(dir.filePath("a"), dir.filePath("linked-file")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    QVERIFY(::mkfifo(dir.filePath("fifo").toLocal8Bit(), 0644) == 0);

    FileSystemObject fso;
    const Folder folder = fso.GetFolder(dir.path() + "//");
    QCOMPARE(folder.Path(), dir.path());
    QStringList files;
    for (const File &f : folder.Files())
        files << f.Path().mid(dir.path().size() + 1);
    QCOMPARE(files, (QStringList{"B", "_", "a", "b", "linked-file", "é"}));
    QStringList folders;
    for (const Folder &f : folder.SubFolders())
        folders << f.Name();
    QCOMPARE(folders, (QStringList{"Sub", "sub"}));
    QCOMPARE(fso.GetFolder(dir.path() + "//sub///inner").Path(), dir.path() + "/sub/inner");
    QVERIFY_THROWS_EXCEPTION(PlatformError, fso.GetFolder(dir.filePath("a")));
    QVERIFY_THROWS_EXCEPTION(PlatformError, fso.GetFolder(dir.filePath("missing")));
}

void tst_FileSystemObject::openingAFolderOrFifoFails() {
    QTemporaryDir dir;
    QVERIFY(::mkfifo(dir.filePath("fifo").toLocal8Bit(), 0644) == 0);
    FileSystemObject fso;
    QVERIFY_THROWS_EXCEPTION(PlatformError, fso.OpenTextFile(dir.filePath("fifo")));
    QVERIFY_THROWS_EXCEPTION(PlatformError, fso.OpenTextFile(dir.path()));
    try {
        fso.OpenTextFile(dir.filePath("missing"));
        QFAIL("opened a missing file");
    } catch (const PlatformError &e) {
        QCOMPARE(e.number(), int(PlatformError::FileNotFound));
        QCOMPARE(e.description(), QStringLiteral("No such file or directory"));
    }
}

void tst_FileSystemObject::listedFileOpensByNameInItsFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("sub"));
    for (const char *name : {"a", "b", "c", "sub/a"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("text of ") + name + "\n");
    }
    const std::vector<File> files = FileSystemObject().GetFolder(dir.path()).Files();
    QCOMPARE(files.size(), size_t(3));
    // After the listing: a file replaced by a FIFO must not be opened, one removed is missing.
    QVERIFY(QFile::remove(dir.filePath("b")));
    QVERIFY(::mkfifo(dir.filePath("b").toLocal8Bit(), 0644) == 0);
    QVERIFY(QFile::remove(dir.filePath("c")));

    auto stream = files[0].OpenAsTextStream();
    QCOMPARE(stream->ReadLine(), QStringLiteral("text of a"));
    QVERIFY(stream->AtEndOfStream());
    QVERIFY_THROWS_EXCEPTION(PlatformError, files[1].OpenAsTextStream());
    try {
        files[2].OpenAsTextStream();
        QFAIL("opened a removed file");
    } catch (const PlatformError &e) {
        QCOMPARE(e.number(), int(PlatformError::FileNotFound));
    }
}

void tst_FileSystemObject::listingKeepsRawNamesAndOpensRelativeToOpenFolder() {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    QVERIFY(::mkdir(root + "/\xff", 0755) == 0);
    QVERIFY(::mkdir(root + "/\xff/sub", 0755) == 0);
    const int fd = ::open(root + "/\xff/\xfe", O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "raw\n", 4), 4);
    ::close(fd);

    const FolderListing top(root + "//");
    QCOMPARE(top.path(), root);
    QCOMPARE(top.subFolders(), std::vector<QByteArray>{"\xff"});
    FolderListing inner(top, "\xff");
    QCOMPARE(inner.files(), std::vector<QByteArray>{"\xfe"});
    QCOMPARE(inner.subFolders(), std::vector<QByteArray>{"sub"});
    QCOMPARE(FolderListing::displayPath(inner.childPath("\xfe")),
             dir.path() + QStringLiteral("/\uFFFD/\uFFFD"));

    // Moved away after the listing: the open folder still opens its file by name...
    QVERIFY(::rename(root + "/\xff", root + "/moved") == 0);
    QCOMPARE(inner.openFile("\xfe")->ReadLine(), QStringLiteral("raw"));
    FolderListing sub(inner, "sub");
    QVERIFY(sub.files().empty());
    // ... and once it has given its descriptor back, only by path, which is gone.
    inner.closeDescriptor();
    QVERIFY_THROWS_EXCEPTION(PlatformError, inner.openFile("\xfe"));
    QVERIFY_THROWS_EXCEPTION(PlatformError, FolderListing(inner, "sub"));
}

QTEST_GUILESS_MAIN(tst_FileSystemObject)
#include "tst_FileSystemObject.moc"
