#include "FolderListing.h"
#include "PlatformError.h"
#include "TextStream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readAll(TextStream &stream) {
    QByteArray content(64, '\0');
    content.truncate(stream.ReadBlockAt(content.data(), content.size(), 0));
    return content;
}
} // namespace

class tst_FolderListing : public QObject {
    Q_OBJECT
private slots:
    void listingsAreInByteOrderWithNormalPaths();
    void listedFileOpensOnlyWhileRegular_data();
    void listedFileOpensOnlyWhileRegular();
    void listingKeepsRawNamesAndOpensRelativeToOpenFolder();
};

void tst_FolderListing::listingsAreInByteOrderWithNormalPaths() {
    QTemporaryDir dir;
    for (const char *name : {"b", "B", "a", "é", "_"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkpath("sub/inner"));
    QVERIFY(QDir(dir.path()).mkpath("Sub"));
    QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("linked-folder")));
    QVERIFY(QFile::link(dir.filePath("a"), dir.filePath("linked-file")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    QVERIFY(::mkfifo(dir.filePath("fifo").toLocal8Bit(), 0644) == 0);

    const QByteArray root = QFile::encodeName(dir.path());
    const FolderListing folder(root + "//");
    QCOMPARE(folder.path(), root);
    QCOMPARE(folder.files(),
             (std::vector<QByteArray>{"B", "_", "a", "b", "linked-file", "\xc3\xa9"}));
    QCOMPARE(folder.subFolders(), (std::vector<QByteArray>{"Sub", "sub"}));
    QCOMPARE(FolderListing(root + "//sub///inner").path(), root + "/sub/inner");
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, FolderListing(root + "/a"));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, FolderListing(root + "/missing"));
}

void tst_FolderListing::listedFileOpensOnlyWhileRegular_data() {
    QTest::addColumn<bool>("byPath");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("error"); // 0: opens
    for (const bool byPath : {false, true}) {
        const char *how = byPath ? "by path: " : "in the open folder: ";
        QTest::addRow("%sfile", how) << byPath << QByteArray("a") << 0;
        QTest::addRow("%sreplaced by a FIFO", how) << byPath << QByteArray("b") << -1;
        QTest::addRow("%sreplaced by a folder", how) << byPath << QByteArray("c") << -1;
        QTest::addRow("%sremoved", how)
            << byPath << QByteArray("d") << int(Tavrin::PlatformError::FileNotFound);
    }
}

void tst_FolderListing::listedFileOpensOnlyWhileRegular() {
    QFETCH(bool, byPath);
    QFETCH(QByteArray, name);
    QFETCH(int, error);
    QTemporaryDir dir;
    for (const char *file : {"a", "b", "c", "d"}) {
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("text of ") + file + "\n");
    }
    FolderListing folder(QFile::encodeName(dir.path()));
    QCOMPARE(folder.files().size(), size_t(4));
    if (byPath)
        folder.closeDescriptor();
    // After the listing: a file replaced by a FIFO or a folder must not be opened.
    for (const char *file : {"b", "c", "d"})
        QVERIFY(QFile::remove(dir.filePath(file)));
    QVERIFY(::mkfifo(dir.filePath("b").toLocal8Bit(), 0644) == 0);
    QVERIFY(QDir(dir.path()).mkdir("c"));

    try {
        const auto stream = folder.openFile(name);
        QCOMPARE(error, 0);
        QCOMPARE(readAll(*stream), QByteArray("text of a\n"));
    } catch (const Tavrin::PlatformError &e) {
        QVERIFY2(error != 0, qPrintable(e.description()));
        if (error > 0) {
            QCOMPARE(e.number(), error);
            QCOMPARE(e.description(), QStringLiteral("No such file or directory"));
        }
    }
}

void tst_FolderListing::listingKeepsRawNamesAndOpensRelativeToOpenFolder() {
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
    QCOMPARE(readAll(*inner.openFile("\xfe")), QByteArray("raw\n"));
    FolderListing sub(inner, "sub");
    QVERIFY(sub.files().empty());
    // ... and once it has given its descriptor back, only by path, which is gone.
    inner.closeDescriptor();
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, inner.openFile("\xfe"));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, FolderListing(inner, "sub"));
}

QTEST_GUILESS_MAIN(tst_FolderListing)
#include "tst_FolderListing.moc"
