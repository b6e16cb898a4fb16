// The highlight length of a pattern's match at the column the engine reported.

#include "PatternMatchLength.h"

#include <QTest>

class tst_PatternMatchLength : public QObject {
    Q_OBJECT
private slots:
    void lengthOfTheMatchAtTheColumn_data();
    void lengthOfTheMatchAtTheColumn();
};

void tst_PatternMatchLength::lengthOfTheMatchAtTheColumn_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::newRow("varying length") << "ne+dle" << false << false << "x neeeedle" << 3 << 8;
    QTest::newRow("ignoring case") << "NEEDLE" << false << false << "a needle" << 3 << 6;
    QTest::newRow("case kept: no match there") << "NEEDLE" << true << false << "a needle" << 3 << 0;
    QTest::newRow("whole word skips the longer run")
        << "ab+" << false << true << "abbbc abb" << 7 << 3;
    QTest::newRow("whole word, no word there") << "ab+" << false << true << "abbbc" << 1 << 0;
    QTest::newRow("columns count code points")
        << "b.c" << true << false
        << QString::fromUtf8("\xF0\x9F\x98\x80 b\xF0\x9F\x98\x80"
                             "c")
        << 3 << 3;
    QTest::newRow("open \\Q with whole word") << "a\\Qb" << false << true << "x ab y" << 3 << 2;
    QTest::newRow("column beyond the line") << "a" << false << false << "a" << 5 << 0;
    QTest::newRow("column 0") << "a" << false << false << "a" << 0 << 0;
    QTest::newRow("invalid pattern") << "a(" << false << false << "a(" << 1 << 0;
}

void tst_PatternMatchLength::lengthOfTheMatchAtTheColumn() {
    QFETCH(QString, pattern);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, wholeWord);
    QFETCH(QString, line);
    QFETCH(int, position);
    QFETCH(int, length);
    QCOMPARE(PatternMatchLength(pattern, caseSensitive, wholeWord)(line, position), length);
}

QTEST_APPLESS_MAIN(tst_PatternMatchLength)
#include "tst_patternmatchlength.moc"
