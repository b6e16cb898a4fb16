#include "BusMessageLimit.h"
#include "MessageSize.h"

#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace TavrinEXE;

// What sorvik takes the bus's message limit to be, and what it takes a reply to weigh.
class tst_MessageLimit : public QObject {
    Q_OBJECT
private slots:
    void limitFromDaemonConfiguration_data();
    void limitFromDaemonConfiguration();
    void sizeIsNeverBelowTheMarshalledSize_data();
    void sizeIsNeverBelowTheMarshalledSize();
};

namespace {
QByteArray config(const QByteArray &body) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>\n" +
           body + "\n</busconfig>\n";
}
} // namespace

void tst_MessageLimit::limitFromDaemonConfiguration_data() {
    // Files of a configuration; the first is the one the daemon was started with.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<qint64>("limit");
    const QByteArray limit1000 = "<limit name=\"max_message_size\">1000</limit>";
    QTest::newRow("none set") << QStringList{"main.conf"}
                              << QList<QByteArray>{"<limit name=\"max_replies\">5</limit>"}
                              << qint64(-1);
    QTest::newRow("set") << QStringList{"main.conf"} << QList<QByteArray>{limit1000}
                         << qint64(1000);
    QTest::newRow("a later include wins")
        << QStringList{"main.conf", "local.conf"}
        << QList<QByteArray>{limit1000 + "<include>local.conf</include>",
                             "<limit name=\"max_message_size\"> 2000 </limit>"}
        << qint64(2000);
    QTest::newRow("a later setting wins over an include")
        << QStringList{"main.conf", "local.conf"}
        << QList<QByteArray>{"<include>local.conf</include>" + limit1000,
                             "<limit name=\"max_message_size\">2000</limit>"}
        << qint64(1000);
    QTest::newRow("folder included in name order")
        << QStringList{"main.conf", "d/b.conf", "d/a.conf", "d/c.txt"}
        << QList<QByteArray>{"<includedir>d</includedir>",
                             "<limit name=\"max_message_size\">3000</limit>",
                             "<limit name=\"max_message_size\">4000</limit>",
                             "<limit name=\"max_message_size\">5000</limit>"}
        << qint64(3000);
    QTest::newRow("missing include ignored")
        << QStringList{"main.conf"}
        << QList<QByteArray>{limit1000 + "<include ignore_missing=\"yes\">gone.conf</include>"}
        << qint64(1000);
    QTest::newRow("include of itself ends")
        << QStringList{"main.conf"} << QList<QByteArray>{"<include>main.conf</include>"}
        << qint64(-1);
}

void tst_MessageLimit::limitFromDaemonConfiguration() {
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(qint64, limit);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("d"));
    for (qsizetype i = 0; i < names.size(); ++i) {
        QFile f(dir.filePath(names.at(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(config(bodies.at(i)));
    }
    QCOMPARE(BusMessageLimit::fromConfig(dir.filePath(names.first())), limit);
}

void tst_MessageLimit::sizeIsNeverBelowTheMarshalledSize_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << QStringLiteral("path/to/file.txt\t12\t3\ttext");
    QTest::newRow("two-byte characters") << QStringLiteral("Größe ÄÖÜ");
    QTest::newRow("three-byte characters") << QStringLiteral("検索文字列");
    QTest::newRow("characters beyond 16 bits") << QStringLiteral("😀𝄞 x");
    QTest::newRow("empty") << QString();
}

// A string travels as its length, its UTF-8 bytes and a terminator, padded to 8 bytes at most;
// in a variant, its signature comes first.
void tst_MessageLimit::sizeIsNeverBelowTheMarshalledSize() {
    QFETCH(QString, text);
    const qint64 utf8 = text.toUtf8().size();
    const qint64 bytes = MessageSize::of(text);
    QVERIFY2(bytes >= 4 + utf8 + 1 && bytes <= 4 + utf8 + 1 + 7,
             qPrintable(QString::number(bytes)));
    QVERIFY(MessageSize::of(QVariant::fromValue(QDBusVariant(text))) >= bytes + 3);
    const QVariantMap map{{text, text}};
    QVERIFY(MessageSize::of(map) >= 2 * bytes + 3);
}

QTEST_GUILESS_MAIN(tst_MessageLimit)
#include "tst_messagelimit.moc"
