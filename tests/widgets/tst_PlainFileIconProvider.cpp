#include "PlainFileIconProvider.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

// File dialogs must not block on special files: the provider tells types by metadata and
// extension, never by reading a file.
class tst_PlainFileIconProvider : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(mDir.isValid());
        const auto write = [this](const char *name, const QByteArray &content) {
            QFile file(mDir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        };
        // PNG content under a name without extension: only reading it tells it is a picture.
        write("picture", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        write("notes.txt", "plain\n");
        QVERIFY(QDir(mDir.path()).mkdir(QStringLiteral("folder")));
        // Opening a pipe for reading waits for a writer: a provider that reads would hang here.
        QCOMPARE(mkfifo(QFile::encodeName(mDir.filePath(QStringLiteral("pipe"))).constData(), 0600),
                 0);
    }

    void typesComeFromMetadataAndExtension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::newRow("content that looks like a picture") << "picture"
                                                           << "File";
        QTest::newRow("known extension") << "notes.txt"
                                         << "";
        QTest::newRow("folder") << "folder"
                                << "Folder";
        QTest::newRow("pipe") << "pipe"
                              << "Special file";
    }
    void typesComeFromMetadataAndExtension() {
        QFETCH(QString, name);
        QFETCH(QString, type);
        Tavrin::PlainFileIconProvider provider;
        const QFileInfo info(mDir.filePath(name));
        const QString shown = provider.type(info);
        if (type.isEmpty())
            QVERIFY2(!shown.isEmpty() && shown != QLatin1String("File"), qPrintable(shown));
        else
            QCOMPARE(shown, type);
        QVERIFY(!provider.icon(info).isNull());
    }

private:
    QTemporaryDir mDir;
};

QTEST_MAIN(tst_PlainFileIconProvider)
#include "tst_PlainFileIconProvider.moc"
