#include "IniDocument.h"

#include <QtTest>

class TestIniDocument : public QObject {
    Q_OBJECT
private slots:
    void readsTheFirstMatchWithoutRegardToCaseOrBlanks_data();
    void readsTheFirstMatchWithoutRegardToCaseOrBlanks();
    void writeChangesOnlyItsOwnLine_data();
    void writeChangesOnlyItsOwnLine();
};

void TestIniDocument::readsTheFirstMatchWithoutRegardToCaseOrBlanks_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected"); // invalid: missing

    const QString g = QStringLiteral("General");
    const QString k = QStringLiteral("Key");
    QTest::newRow("plain") << QByteArray("[General]\nKey=v\n") << g << k << QVariant("v");
    QTest::newRow("other case names") << QByteArray("[gEnErAl]\nkEY=v") << g << k << QVariant("v");
    QTest::newRow("blanks around names and value")
        << QByteArray("  [ General ]  \n\t Key  =  a b  \n") << g << k << QVariant("a b");
    QTest::newRow("crlf") << QByteArray("[General]\r\nKey=v\r\n") << g << k << QVariant("v");
    QTest::newRow("empty value") << QByteArray("[General]\nKey=\n") << g << k << QVariant("");
    QTest::newRow("value holding =")
        << QByteArray("[General]\nKey=a=b\n") << g << k << QVariant("a=b");
    QTest::newRow("first duplicate key counts")
        << QByteArray("[General]\nKey=1\nKEY=2\n") << g << k << QVariant("1");
    QTest::newRow("first duplicate section counts")
        << QByteArray("[General]\nOther=1\n[general]\nKey=2\n") << g << k << QVariant();
    QTest::newRow("key of a later section not taken")
        << QByteArray("[General]\n[Next]\nKey=v\n") << g << k << QVariant();
    QTest::newRow("key before any section not taken")
        << QByteArray("Key=v\n[General]\n") << g << k << QVariant();
    QTest::newRow("comment is no key") << QByteArray("[General]\n;Key=v\n") << g << k << QVariant();
    QTest::newRow("value cut at NUL")
        << QByteArray("[General]\nKey=ab\0cd\n", 18) << g << k << QVariant("ab");
    QTest::newRow("junk lines and binary around")
        << QByteArray("\x01\xff\xfe garbage\n[General]\nno equals here\n\x80\x81=\x82\nKey=v\n")
        << g << k << QVariant("v");
    QTest::newRow("missing section") << QByteArray("[Other]\nKey=v\n") << g << k << QVariant();
    QTest::newRow("empty text") << QByteArray() << g << k << QVariant();
    QTest::newRow("non-ASCII names fold case")
        << QByteArray("[ÄRGER]\nÖL=v\n") << QStringLiteral("ärger") << QStringLiteral("öl")
        << QVariant("v");
    QTest::newRow("UTF-8 value") << QByteArray("[General]\nKey=naïve\n") << g << k
                                 << QVariant(QStringLiteral("naïve"));
}

void TestIniDocument::readsTheFirstMatchWithoutRegardToCaseOrBlanks() {
    QFETCH(QByteArray, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);

    const std::optional<QString> value = IniDocument(text).value(section, key);
    QCOMPARE(value.has_value(), expected.isValid());
    if (value)
        QCOMPARE(*value, expected.toString());
}

void TestIniDocument::writeChangesOnlyItsOwnLine_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QString g = QStringLiteral("General");
    const QString k = QStringLiteral("Key");
    QTest::newRow("replaces in place, keeps the rest byte for byte")
        << QByteArray("; note\r\n[General]\r\nA=1\r\n  key = old \r\njunk \x01\r\nB=2\r\n") << g
        << k << QStringLiteral("new")
        << QByteArray("; note\r\n[General]\r\nA=1\r\n  key =new\r\njunk \x01\r\nB=2\r\n");
    QTest::newRow("replaces the first of duplicates")
        << QByteArray("[General]\nKey=1\nKey=2\n") << g << k << QStringLiteral("x")
        << QByteArray("[General]\nKey=x\nKey=2\n");
    QTest::newRow("adds key at end of section, before blank lines")
        << QByteArray("[General]\nA=1\n\n[Next]\nB=2\n") << g << k << QStringLiteral("v")
        << QByteArray("[General]\nA=1\nKey=v\n\n[Next]\nB=2\n");
    QTest::newRow("adds key to the first of duplicate sections")
        << QByteArray("[General]\n[GENERAL]\n") << g << k << QStringLiteral("v")
        << QByteArray("[General]\nKey=v\n[GENERAL]\n");
    QTest::newRow("adds key after a last line without line end")
        << QByteArray("[General]\nA=1") << g << k << QStringLiteral("v")
        << QByteArray("[General]\nA=1\nKey=v\n");
    QTest::newRow("adds section at end, in the file's line ends")
        << QByteArray("[Other]\r\nA=1") << g << k << QStringLiteral("v")
        << QByteArray("[Other]\r\nA=1\r\n[General]\r\nKey=v\r\n");
    QTest::newRow("empty file") << QByteArray() << g << k << QStringLiteral("v")
                                << QByteArray("[General]\nKey=v\n");
    QTest::newRow("value cannot add lines")
        << QByteArray("[General]\nKey=1\n") << g << k
        << QStringLiteral("x\r\n[General]\nCaseSensitive=FALSE")
        << QByteArray("[General]\nKey=x  [General] CaseSensitive=FALSE\n");
    QTest::newRow("value ends at NUL")
        << QByteArray("[General]\nKey=1\n") << g << k << QStringLiteral("ab") + QChar(u'\0') + "cd"
        << QByteArray("[General]\nKey=ab\n");
}

void TestIniDocument::writeChangesOnlyItsOwnLine() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    IniDocument doc(before);
    doc.setValue(section, key, value);
    QCOMPARE(doc.toByteArray(), after);
}

QTEST_APPLESS_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
