#include "IniDocument.h"
#include "PrivateProfile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestPrivateProfile : public QObject {
    Q_OBJECT
private slots:
    void init();

    void readGivesValueAsA500CharBufferHoldsIt_data();
    void readGivesValueAsA500CharBufferHoldsIt();
    void firstWriteCreatesFolderAndFile();
    void writeWhereNoFolderCanBeMadeIsLost();
    void unreadableFileIsNotOverwritten();
    void writeIntoReadOnlyFolderIsLostQuietly();
    void bigJunkFileKeepsEveryOtherByte();

    void concurrentWritersLoseNoKey();
    void killedLockHolderDoesNotBlockLaterWrites();
    void killedWriterLeavesAWholeFile();

private:
    std::unique_ptr<QTemporaryDir> mDir;
    QString file(const QString &name = QStringLiteral("Tavrin.INI")) const {
        return mDir->filePath(name);
    }
};

void TestPrivateProfile::init() {
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

void TestPrivateProfile::readGivesValueAsA500CharBufferHoldsIt_data() {
    QTest::addColumn<QByteArray>("text"); // empty: no file at all
    QTest::addColumn<QString>("def");
    QTest::addColumn<QString>("expected");

    const QString x600(600, QLatin1Char('x'));
    QTest::newRow("no file gives default") << QByteArray() << "d"
                                           << "d";
    QTest::newRow("missing key gives default") << QByteArray("[S]\nOther=1\n") << "d"
                                               << "d";
    QTest::newRow("long value cut to 499")
        << QByteArray("[S]\nK=" + x600.toLatin1() + "\n") << "d" << x600.left(499);
    QTest::newRow("long default cut to 499") << QByteArray("[S]\n") << x600 << x600.left(499);
    QTest::newRow("default cut at NUL")
        << QByteArray("[S]\n") << QStringLiteral("ab") + QChar(u'\0') + "c"
        << "ab";
    // 498 ASCII characters, then one character outside the BMP (two UTF-16 units).
    QTest::newRow("no half of a surrogate pair")
        << QByteArray("[S]\nK=" + QByteArray(498, 'y') + "\xF0\x9F\x98\x80" + "\n") << "d"
        << QString(498, QLatin1Char('y'));
}

void TestPrivateProfile::readGivesValueAsA500CharBufferHoldsIt() {
    QFETCH(QByteArray, text);
    QFETCH(QString, def);
    QFETCH(QString, expected);
    if (!text.isEmpty())
        writeAll(file(), text);
    QCOMPARE(GetPrivateProfileStringA("S", "K", def, 500, file()), expected);
}

void TestPrivateProfile::firstWriteCreatesFolderAndFile() {
    const QString path = mDir->filePath(QStringLiteral("not/yet/Tavrin.INI"));
    QVERIFY(WritePrivateProfileStringA("General", "CaseSensitive", "TRUE", path));
    QVERIFY(WritePrivateProfileStringA("General", "WholeWordOnly", "FALSE", path));
    QCOMPARE(readAll(path), QByteArray("[General]\nCaseSensitive=TRUE\nWholeWordOnly=FALSE\n"));
}

void TestPrivateProfile::writeWhereNoFolderCanBeMadeIsLost() {
    // The folder of the settings file is a plain file: nothing can be created there.
    writeAll(file("blocker"), "old");
    QVERIFY(!WritePrivateProfileStringA("S", "K", "v", file("blocker") + "/Tavrin.INI"));
    QCOMPARE(readAll(file("blocker")), QByteArray("old"));
}

namespace {
// Root ignores file permissions: the permission cases run as the unprivileged user "nobody"
// for as long as this lives, so that they are real under root as well.
class WithoutRootRights {
public:
    WithoutRootRights() : mbWasRoot(geteuid() == 0) {
        if (mbWasRoot)
            QVERIFY(seteuid(65534) == 0);
    }
    ~WithoutRootRights() {
        if (mbWasRoot && seteuid(0) != 0)
            qFatal("cannot take root rights back");
    }

private:
    bool mbWasRoot;
};

constexpr auto AllRights = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                           QFileDevice::WriteOther | QFileDevice::ExeOther;
} // namespace

void TestPrivateProfile::unreadableFileIsNotOverwritten() {
    // Writing a file that cannot be read would drop its keys, so nothing is written. The folder
    // is open to everyone, so only the unreadable file can stop the write.
    writeAll(file(), "[S]\nK=old\n");
    QFile::setPermissions(mDir->path(), AllRights);
    QFile::setPermissions(file(), QFileDevice::WriteOwner);
    bool written = true;
    {
        WithoutRootRights unprivileged;
        QVERIFY(!QFile(file()).open(QIODevice::ReadOnly));
        written = WritePrivateProfileStringA("S", "Other", "v", file());
    }
    QFile::setPermissions(file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!written);
    QCOMPARE(readAll(file()), QByteArray("[S]\nK=old\n"));
}

void TestPrivateProfile::writeIntoReadOnlyFolderIsLostQuietly() {
    writeAll(file(), "[S]\nK=old\n");
    QFile::setPermissions(file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ReadOther);
    QFile::setPermissions(mDir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadOther | QFileDevice::ExeOther);
    bool written = true;
    {
        WithoutRootRights unprivileged;
        written = WritePrivateProfileStringA("S", "K", "new", file());
    }
    QFile::setPermissions(mDir->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!written);
    QCOMPARE(readAll(file()), QByteArray("[S]\nK=old\n"));
}

void TestPrivateProfile::bigJunkFileKeepsEveryOtherByte() {
    // Several MB of junk with NULs and binary bytes, CR LF and LF mixed, around the section.
    QByteArray junk;
    QRandomGenerator rng(7);
    for (int i = 0; i < 4 * 1024 * 1024; ++i) {
        char c = static_cast<char>(rng.bounded(256));
        if (c == '[' || c == '=')
            c = '.';
        junk.append(c);
    }
    const QByteArray before =
        "; big\r\n" + junk + "\r\n[General]\r\nKey=old\r\n" + junk + "\n[Tail]\nT=1";
    writeAll(file(), before);

    QCOMPARE(GetPrivateProfileStringA("general", "KEY", "d", 500, file()), QString("old"));
    QVERIFY(WritePrivateProfileStringA("General", "Key", "new", file()));
    QVERIFY(WritePrivateProfileStringA("Tail", "U", "2", file()));
    QCOMPARE(readAll(file()), "; big\r\n" + junk + "\r\n[General]\r\nKey=new\r\n" + junk +
                                  "\n[Tail]\nT=1\r\nU=2\r\n");
}

void TestPrivateProfile::concurrentWritersLoseNoKey() {
    // Four processes rewrite their own keys of one file, two of them sharing a section.
    constexpr int keys = 5;
    constexpr int rounds = 40;
    const QStringList sections = {"Shared", "Shared", "Own", "General"};
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int p = 0; p < 4; ++p) {
        auto proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start(PROFILE_WRITER, {"write", file(), sections[p], QString("P%1K").arg(p),
                                     QString::number(keys), QString::number(rounds)});
        writers.push_back(std::move(proc));
    }
    for (auto &proc : writers) {
        QVERIFY(proc->waitForFinished(120000));
        QCOMPARE(proc->exitStatus(), QProcess::NormalExit);
        QCOMPARE(proc->exitCode(), 0);
    }

    const IniDocument doc(readAll(file()));
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < keys; ++k)
            QCOMPARE(doc.value(sections[p], QString("P%1K%2").arg(p).arg(k)),
                     std::optional<QString>(QString::number(rounds - 1)));
    // Every key exactly once: 3 section headers and 20 keys.
    QCOMPARE(readAll(file()).count('\n'), 3 + 4 * keys);
}

void TestPrivateProfile::killedLockHolderDoesNotBlockLaterWrites() {
    writeAll(file(), "[S]\nK=old\n");
    QProcess holder;
    holder.start(PROFILE_WRITER, {"hold", file()});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readAll().trimmed(), QByteArray("locked"));
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));

    QCOMPARE(readAll(file()), QByteArray("[S]\nK=old\n"));
    QVERIFY(WritePrivateProfileStringA("S", "K", "new", file()));
    QCOMPARE(GetPrivateProfileStringA("S", "K", "d", 500, file()), QString("new"));
}

void TestPrivateProfile::killedWriterLeavesAWholeFile() {
    // A writer rewriting a 4 MB value is killed at several moments; each time the file holds one
    // whole version of the value and the keys around it.
    constexpr int size = 4 * 1024 * 1024;
    writeAll(file(), "[Head]\nH=1\n");
    for (int attempt = 0; attempt < 4; ++attempt) {
        QProcess writer;
        writer.start(PROFILE_WRITER, {"churn", file(), QString::number(size)});
        QVERIFY(writer.waitForReadyRead(30000));
        QTest::qWait(37 * attempt + 10);
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));

        const QByteArray bytes = readAll(file());
        QVERIFY(bytes.startsWith("[Head]\nH=1\n[Big]\nValue="));
        const QByteArray value = bytes.mid(bytes.indexOf("Value=") + 6);
        QCOMPARE(value.size(), size + 1);
        QVERIFY(value.endsWith('\n'));
        QVERIFY(value.count(value.at(0)) == size);
    }
}

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
