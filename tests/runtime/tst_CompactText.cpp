#include "CompactText.h"

#include <QFile>
#include <QtTest>
#include <thread>
#include <vector>

class tst_CompactText : public QObject {
    Q_OBJECT
private slots:
    void textComesBackAsMade_data();
    void textComesBackAsMade();
    void textsOutliveTheirArena();
    void blocksAreFreedWithTheirLastText();
};

namespace {
QString sample(int i) {
    // Lengths around a block's end, Latin-1 and beyond.
    QString text = QString(i % 97, QChar(u'a' + i % 26)) + QString::number(i);
    if (i % 5 == 0)
        text += QChar(0x20ac);
    if (i % 11 == 0)
        text += QChar(0xe9);
    return text;
}

// The process's mapped bytes.
qint64 mapped() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').at(0).toLongLong() * 4096
                                           : -1;
}
} // namespace

void tst_CompactText::textComesBackAsMade_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("ASCII") << QStringLiteral("int main(void)");
    QTest::newRow("Latin-1") << QStringLiteral("ÿ café\t");
    QTest::newRow("CJK and emoji") << QStringLiteral("漢字 😀");
    QTest::newRow("Latin-1 then one beyond") << QString(300, u'x') + QChar(0x100);
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QLatin1Char('x');
    QTest::newRow("larger than a block shares") << QString(200000, u'q');
    QTest::newRow("large, beyond Latin-1") << QString(70000, QChar(0x3042));
}

void tst_CompactText::textComesBackAsMade() {
    QFETCH(QString, text);
    CompactText::Arena arena;
    const CompactText own(text), inArena(text, arena);
    for (const CompactText &kept : {own, inArena}) {
        QCOMPARE(kept.toString(), text);
        QCOMPARE(kept.size(), text.size());
        QByteArray utf8("x");
        QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        const bool encoded = kept.appendUtf8(utf8, encoder);
        const bool loneSurrogate = text.startsWith(QChar(0xD800));
        QCOMPARE(encoded, !loneSurrogate);
        QCOMPARE(utf8, loneSurrogate ? QByteArray("x") : "x" + text.toUtf8());
    }
    QVERIFY(own == inArena);
    QVERIFY(own != CompactText(text + QLatin1Char('!'), arena));
}

void tst_CompactText::textsOutliveTheirArena() {
    // Texts over several blocks, some kept past the arena and freed on another thread.
    std::vector<CompactText> kept;
    {
        CompactText::Arena arena;
        std::vector<CompactText> all;
        for (int i = 0; i < 100000; ++i)
            all.emplace_back(sample(i), arena);
        for (std::size_t i = 0; i < all.size(); i += 7)
            kept.push_back(all[i]);
    }
    for (std::size_t k = 0; k < kept.size(); ++k)
        QCOMPARE(kept[k].toString(), sample(int(k * 7)));
    std::thread([gone = std::move(kept)] {}).join();
}

void tst_CompactText::blocksAreFreedWithTheirLastText() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer maps memory of its own as the test allocates");
#endif
    constexpr qint64 kBlock = 2 << 20;
    std::vector<CompactText> texts;
    texts.reserve(100000); // before counting: only blocks are mapped from here on
    const qint64 before = mapped();
    {
        CompactText::Arena arena;
        for (int i = 0; i < int(texts.capacity()); ++i)
            texts.emplace_back(sample(i), arena);
        QVERIFY(mapped() - before >= 3 * kBlock);
    }
    texts.resize(1); // the first block stays for its first text
    QCOMPARE(mapped() - before, kBlock);
    texts.clear();
    QCOMPARE(mapped(), before);
}

QTEST_GUILESS_MAIN(tst_CompactText)
#include "tst_CompactText.moc"
