#include "Collection.h"
#include "PlatformError.h"

#include <QtTest>
#include <climits>

class tst_Collection : public QObject {
    Q_OBJECT
private slots:
    void itemsReadBackAsAppended_data();
    void itemsReadBackAsAppended();
    void recordTextIsBuiltFromItsParts();
    void indexOutsideOneToCountFails();
};

void tst_Collection::itemsReadBackAsAppended_data() {
    QTest::addColumn<QVariantList>("items");
    QTest::newRow("integers") << QVariantList{1, -7, 2147483647};
    QTest::newRow("strings") << QVariantList{"a", "", "é\tx"};
    QTest::newRow("runs of equal strings") << QVariantList{"a", "a", "b", "", "", "a", "a"};
    // Kept one byte a character when they can be, else as UTF-16, a lone surrogate too.
    QTest::newRow("beyond Latin-1") << QVariantList{"ÿ", "€ 😀", QString(QChar(0xD800)), "ÿ"};
    QTest::newRow("strings then integer") << QVariantList{"a", 5, "b"};
    QTest::newRow("integers then other") << QVariantList{3, 2.5, true, QVariant()};
}

void tst_Collection::itemsReadBackAsAppended() {
    QFETCH(QVariantList, items);
    Collection c;
    for (const QVariant &v : items)
        c.Add(v);
    QCOMPARE(c.Count(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(c.Item(i + 1), items.at(i));
        QCOMPARE(c.Item(i + 1).typeId(), items.at(i).typeId());
    }
    // A run read at once is the same items; one reaching past the end stops there.
    QCOMPARE(QVariantList(c.Items(1, c.Count()).toList()), items);
    QCOMPARE(QVariantList(c.Items(2, c.Count()).toList()), items.mid(1));
    QVERIFY(c.Items(c.Count() + 1, 1).isEmpty());
}

void tst_Collection::recordTextIsBuiltFromItsParts() {
    Collection records;
    records.AddRecord("/a/b", 12, 3, CompactText(u"x\ty"));
    records.AddRecord("/c", 1, 1, CompactText());
    QCOMPARE(records.Item(1), QVariant(QStringLiteral("/a/b\t12\t3\tx\ty")));
    QCOMPARE(records.Item(2), QVariant(QStringLiteral("/c\t1\t1\t")));

    // Runs of one path, a path coming back, and the widest numbers.
    records.AddRecord("/c", 2, 1, CompactText(u"u€"));
    records.AddRecord("/a/b", INT_MIN, INT_MAX, CompactText(u"v"));
    const QStringList expected = {"/a/b\t12\t3\tx\ty", "/c\t1\t1\t", "/c\t2\t1\tu€",
                                  "/a/b\t-2147483648\t2147483647\tv"};
    QStringList read;
    records.Read(2, 10, [&](const Collection::ItemView &item) {
        QString text;
        if (item.record) // records come as their parts
            Collection::buildRecord(*item.record, text);
        read << text;
        return read.size() < 2; // stops where the reader says
    });
    QCOMPARE(read, expected.mid(1, 2));
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(records.Item(i + 1), QVariant(expected.at(i)));

    Collection mixed; // a collection that already holds other items takes the text
    mixed.Add(4);
    mixed.AddRecord("/p", 2, 5, CompactText(u"t"));
    QCOMPARE(mixed.Item(2), QVariant(QStringLiteral("/p\t2\t5\tt")));
    mixed.Add("more");
    QCOMPARE(mixed.Item(1), QVariant(4));
    QCOMPARE(mixed.Count(), 3);
}

void tst_Collection::indexOutsideOneToCountFails() {
    Collection c;
    c.Add(1);
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, c.Item(0));
    QVERIFY_THROWS_EXCEPTION(Tavrin::PlatformError, c.Item(2));
    QCOMPARE(c.Item(1), QVariant(1));
}

QTEST_APPLESS_MAIN(tst_Collection)
#include "tst_Collection.moc"
