#include "Collection.h"
#include "ItemPacking.h"

#include <QtTest>
#include <climits>

using TavrinEXE::ItemPacking::unpack;

namespace {
// Packs items from the first on while they fit budget; taken tells how many.
QByteArray pack(const QVariantList &items, qint64 budget, qsizetype &taken) {
    TavrinEXE::ItemPacking::Packer packer(budget);
    for (const QVariant &item : items)
        if (!packer.add(item))
            break;
    taken = packer.count();
    return packer.packed();
}
} // namespace

class tst_ItemPacking : public QObject {
    Q_OBJECT
private slots:
    void itemsComeBackAsPacked_data();
    void itemsComeBackAsPacked();
    void cutRunsNeverYieldOtherItems();
    void recordsComeBackAsTheirText();
};

void tst_ItemPacking::itemsComeBackAsPacked_data() {
    QTest::addColumn<QVariantList>("items");
    QTest::newRow("records of one file") << QVariantList{
        "/a/b.h\t1\t1\tx", "/a/b.h\t2\t5\ty\tz", "/a/c.h\t10\t1\t", "/a/b.h\t1\t1\tx"};
    QTest::newRow("text beyond ASCII")
        << QVariantList{"é", "", "日本語", "日本", QString::fromUtf8("\xf0\x9d\x84\x9e clef")};
    // U+1D11E and U+1D120 share their high surrogate: the shared start may not split a pair.
    QTest::newRow("pair at the shared end")
        << QVariantList{QString::fromUcs4(U"a\U0001D11E"), QString::fromUcs4(U"a\U0001D120")};
    const QString lone = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y");
    QTest::newRow("lone surrogate kept") << QVariantList{lone, lone + u'z', "xy"};
    QTest::newRow("strings around others") << QVariantList{"abc", 5, "abd", 2.5, "ab"};
    QTest::newRow("other kinds") << QVariantList{1, -7, 2.5, true, QVariant(),
                                                QByteArray("\0x", 2), QStringList{"p", "q"}};
    QString longText(70000, u'w');
    QTest::newRow("long strings") << QVariantList{longText, longText + u'v', longText.left(3)};
}

void tst_ItemPacking::itemsComeBackAsPacked() {
    QFETCH(QVariantList, items);
    qsizetype taken = -1;
    const QByteArray packed = pack(items, std::numeric_limits<qint64>::max(), taken);
    QCOMPARE(taken, items.size());
    QVector<QVariant> back;
    QVERIFY(unpack(packed, back));
    QCOMPARE(back.size(), items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        QCOMPARE(back.at(i).metaType(), items.at(i).metaType());
        QCOMPARE(back.at(i), items.at(i));
    }

    // A budget keeps whole items from the first on, and a run the budget cuts reads back as
    // the items it took.
    for (qint64 budget : {qint64(0), qint64(packed.size() / 2), qint64(packed.size() - 1)}) {
        const QByteArray part = pack(items, budget, taken);
        QVERIFY(part.size() <= budget);
        QVERIFY(taken < items.size());
        QVector<QVariant> taken_;
        QVERIFY(unpack(part, taken_));
        QCOMPARE(taken_.size(), taken);
        QCOMPARE(QVariantList(taken_.begin(), taken_.end()), items.mid(0, taken));
    }
}

void tst_ItemPacking::cutRunsNeverYieldOtherItems() {
    const QVariantList items{"/a/b.h\t1\t1\tx", "/a/b.h\t2\t2\té", 7, "/a/c.h\t3\t3\t日本"};
    qsizetype taken = 0;
    const QByteArray packed = pack(items, std::numeric_limits<qint64>::max(), taken);
    // Cut anywhere, a run is refused or reads back as whole leading items.
    for (qsizetype size = 0; size < packed.size(); ++size) {
        QVector<QVariant> back;
        if (!unpack(packed.left(size), back))
            continue;
        QVERIFY(back.size() < items.size());
        QCOMPARE(QVariantList(back.begin(), back.end()), items.mid(0, back.size()));
    }
    QVector<QVariant> back;
    QVERIFY2(!unpack(QByteArray("x"), back), "unknown kind of item");
    QVERIFY2(!unpack(QByteArray("s\x05\x01z", 4), back), "more shared than the string before");
    QVERIFY2(!unpack(QByteArray("s\x00\xff\xff\xff\xff\x7f", 7), back), "length past 2^31");
}

// Records packed from their parts, amid strings and other items, read back as the text each
// would be: a record shares its path with a record of the same path just before it only.
void tst_ItemPacking::recordsComeBackAsTheirText() {
    const QString lone(QChar(0xDC00));
    struct Item {
        QString path; // a record's, unless other is valid
        qint32 line = 0, column = 0;
        QString text;
        QVariant other;
    };
    const QList<Item> items = {
        {"/a/b.h", 1, 1, "x"},
        {"/a/b.h", 12, 3, "y\tz"},
        {"/a/c.h", 7, 2, "é ÿ"},
        {{}, 0, 0, {}, "/a/c.h\t7\t2\tafter a record"},
        {"/a/c.h", 8, 1, "日本語"},
        {{}, 0, 0, {}, 5},
        {"/a/c.h", 9, 1, "x" + lone},
        {"/a/c.h", 10, 1, "after a lone surrogate"},
        {"/p" + lone, 1, 1, "t"},
        {"", -1, INT_MAX, ""},
        {"", 2, 2, "same empty path"},
        {{}, 0, 0, {}, "/q/one"},
        {"/a/b.h", 3, 1, "between two strings alike"},
        {{}, 0, 0, {}, "/q/two"},
    };
    TavrinEXE::ItemPacking::Packer packer(std::numeric_limits<qint64>::max());
    QVariantList expected;
    for (const Item &item : items) {
        if (item.other.isValid()) {
            expected << item.other;
            QVERIFY(packer.add(item.other));
            continue;
        }
        const CompactText text(item.text);
        const Collection::RecordView parts{item.path, item.line, item.column, text};
        QString built;
        Collection::buildRecord(parts, built);
        expected << built;
        QVERIFY(packer.addRecord(parts));
    }
    QVector<QVariant> back;
    QVERIFY(unpack(packer.packed(), back));
    QCOMPARE(QVariantList(back.toList()), expected);
}

QTEST_GUILESS_MAIN(tst_ItemPacking)
#include "tst_itempacking.moc"
