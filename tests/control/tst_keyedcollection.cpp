#include "KeyedCollection.h"
#include "PlatformError.h"

#include <QtTest>

namespace {
QStringList items(const KeyedCollection &c) {
    QStringList byIndex;
    for (qint32 i = 1; i <= c.Count(); ++i)
        byIndex << c.Item(i);
    return byIndex;
}
QStringList enumerated(const KeyedCollection &c) {
    return QStringList(c.begin(), c.end());
}
} // namespace

class TestKeyedCollection : public QObject {
    Q_OBJECT
private slots:
    void keysMatchWithoutRegardToCase();
    void failuresThrowThePlatformError();
    void orderSurvivesManyRemovalsAndAdditions();
};

void TestKeyedCollection::keysMatchWithoutRegardToCase() {
    KeyedCollection c;
    c.Add("C:/Src", "C:/Src");
    c.Add("Straße", "Straße");
    QVERIFY(c.Contains("c:/SRC"));
    QCOMPARE(c.find("STRAßE"), std::optional<QString>("Straße"));
    c.Remove("c:/src");
    QCOMPARE(items(c), QStringList{"Straße"});
    c.Clear();
    QCOMPARE(c.Count(), 0);
    QVERIFY(!c.Contains("Straße"));
}

void TestKeyedCollection::failuresThrowThePlatformError() {
    KeyedCollection c;
    c.Add("a", "a");
    const auto number = [](auto &&call) {
        try {
            call();
        } catch (const Tavrin::PlatformError &e) {
            return e.number();
        }
        return 0;
    };
    QCOMPARE(number([&] { c.Add("x", "A"); }), 457);
    QCOMPARE(number([&] { c.Remove("b"); }), int(Tavrin::PlatformError::InvalidProcedureCall));
    QCOMPARE(number([&] { c.Item(0); }), int(Tavrin::PlatformError::SubscriptOutOfRange));
    QCOMPARE(number([&] { c.Item(2); }), int(Tavrin::PlatformError::SubscriptOutOfRange));
    QCOMPARE(items(c), QStringList{"a"});
}

void TestKeyedCollection::orderSurvivesManyRemovalsAndAdditions() {
    // Mirror of the collection in a plain list; removals land between index reads so that
    // holes are closed both while adding and while reading.
    KeyedCollection c;
    QStringList expected;
    for (int i = 0; i < 5000; ++i) {
        const QString v = QString("v%1").arg(i % 1700);
        if (c.Contains(v.toUpper())) {
            c.Remove(v.toUpper());
            expected.removeOne(v);
        }
        c.Add(v, v);
        expected << v;
        if (i % 3 == 0 && c.Count() > 10) {
            const QString gone = c.Item(c.Count() / 2);
            c.Remove(gone);
            expected.removeOne(gone);
        }
        if (i % 997 == 0)
            QCOMPARE(items(c), expected);
    }
    QCOMPARE(c.Count(), expected.size());
    QCOMPARE(items(c), expected);
    QCOMPARE(enumerated(c), expected);
    for (const QString &v : expected)
        QCOMPARE(c.find(v), std::optional<QString>(v));
}

QTEST_APPLESS_MAIN(TestKeyedCollection)
#include "tst_keyedcollection.moc"
