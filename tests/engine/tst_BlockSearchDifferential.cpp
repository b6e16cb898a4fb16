#include "Avx2.h"
#include "BlockSearcher.h"
#include "EngineRun.h"
#include "FileSearch.h"
#include "FileTypeFilter.h"
#include "RegexMatcher.h"
#include "Scan.h"
#include "Utf16Text.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <fnmatch.h>

using TavrinEXE::FileSearch;
using TavrinEXE::Scan;

namespace {
// Straightforward reference: every line read in turn and given to column (1-based, 0 for none).
QStringList referenceFindings(const QString &name, const QByteArray &content,
                              const std::function<qint64(const QString &)> &column) {
    QStringList out;
    QList<QByteArray> lines = content.split('\n');
    if (content.endsWith('\n') || content.isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines[i];
        const bool ended = i + 1 < lines.size() || content.endsWith('\n');
        if (ended && raw.endsWith('\r'))
            raw.chop(1);
        const QString line = QString::fromUtf8(raw);
        if (const qint64 lColumn = column(line))
            out << QStringLiteral("%1:%2:%3:%4").arg(name).arg(i + 1).arg(lColumn).arg(line);
    }
    return out;
}

// The line rules of a plain string: its first occurrence, with whole word the first that
// stands alone.
QStringList referenceFindings(const QString &name, const QByteArray &content, const QString &needle,
                              bool caseSensitive, bool wholeWord) {
    return referenceFindings(name, content, [&](const QString &line) -> qint64 {
        const auto isWordChar = [&](qsizetype k) {
            const char16_t c = line.at(k).unicode();
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' ||
                   (c >= 'a' && c <= 'z');
        };
        qsizetype at = -1;
        while ((at = line.indexOf(needle, at + 1,
                                  caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive)) >= 0) {
            const qsizetype after = at + needle.size();
            if (!wholeWord ||
                !((at > 0 && isWordChar(at - 1)) || (after < line.size() && isWordChar(after))))
                return QStringView(line).left(at).toUcs4().size() + 1;
        }
        return 0;
    });
}

// Dense text mixes every kind of piece; sparse text is mostly ASCII words with a rare other
// piece, so that a line often turns on a single character.
QByteArray randomText(QRandomGenerator &random, int pieces, bool sparse) {
    static const QList<QByteArray> alphabet = {"cat",
                                               "Cat",
                                               "CAT",
                                               "ca",
                                               "t",
                                               "x",
                                               "_",
                                               "9",
                                               " ",
                                               " ",
                                               "(",
                                               "\t",
                                               "\n",
                                               "\n",
                                               "\r\n",
                                               "\r",
                                               "é",
                                               "É",
                                               "ſ",
                                               "\xe2\x84\xaa",
                                               "k",
                                               "s",
                                               "ß",
                                               "\xf0\x9f\x98\x80",
                                               "\xff",
                                               "\xc3",
                                               QByteArray("\0", 1),
                                               "catcat",
                                               "été",
                                               "ÉTÉ",
                                               "sun",
                                               "Key"};
    QByteArray out;
    for (int i = 0; i < pieces; ++i) {
        const bool plain = sparse && random.bounded(40) != 0;
        const QByteArray &piece =
            plain ? alphabet.at(random.bounded(12)) : alphabet.at(random.bounded(alphabet.size()));
        // Now and then a long run, so lines cross block borders.
        out += random.bounded(50) == 0 ? QByteArray(random.bounded(700), 'y') : piece;
    }
    return out;
}
// The files the block search is compared on.
QMap<QString, QByteArray> randomFiles() {
    QMap<QString, QByteArray> files;
    QRandomGenerator random(20261207);
    for (int i = 0; i < 12; ++i)
        files.insert(QStringLiteral("f%1").arg(i, 2, 10, QChar(u'0')),
                     randomText(random, 200 + i * 400, i % 2 == 1));
    files.insert("g-final-newline", "cat\n");
    files.insert("h-crlf-only", "\r\n\r\n");
    return files;
}

// The random files, written once into a folder of their own.
struct RandomTree {
    QTemporaryDir dir;
    QMap<QString, QByteArray> files = randomFiles();
    RandomTree() { writeTree(dir.path(), files); }
};
const RandomTree &randomTree() {
    static const RandomTree tree;
    return tree;
}

// The findings of a scan of root for a plain string, as EngineRun::findings gives them.
QStringList plainScan(const QString &root, const QString &needle, bool caseSensitive,
                      bool wholeWord) {
    EngineRun run;
    run.engine->setSearchPath(root);
    run.engine->setSearchString(needle);
    run.engine->setCaseSensitive(Tavrin::toVBool(caseSensitive));
    run.engine->setWholeWordOnly(wholeWord);
    run.engine->Grep();
    if (!run.waitIdle())
        return {QStringLiteral("the scan did not end")};
    return run.findings(root);
}

// Every character whose simple case folding differs from itself or lands on ASCII, with the
// characters that fold as it does; from Qt's folding data.
struct FoldingClasses {
    std::vector<char32_t> chars;
    QHash<char32_t, QList<char32_t>> byFolding; // folding -> every character folding onto it
};

const FoldingClasses &foldingClasses() {
    static const FoldingClasses classes = [] {
        FoldingClasses out;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            out.byFolding[f] << c;
            if (f != c || (c >= 0x80 && f < 0x80))
                out.chars.push_back(c);
        }
        return out;
    }();
    return classes;
}

QString text(char32_t c) {
    return QString::fromUcs4(&c, 1);
}

// The needle with each character replaced by a random one that folds as it does.
QString caseVariant(QRandomGenerator &random, const QString &needle) {
    QString out;
    for (uint c : needle.toUcs4()) {
        const QList<char32_t> &forms = foldingClasses().byFolding[QChar::toCaseFolded(char32_t(c))];
        out += text(forms.isEmpty() ? char32_t(c) : forms.at(random.bounded(forms.size())));
    }
    return out;
}
} // namespace

class tst_BlockSearchDifferential : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        Scan::setBlockSize(FileSearch::kBlockSize);
        Utf16Text::setPieceBytes(64 * 1024);
        setUseAvx2(true);
    }
    void blockSearchFindsWhatLineByLineFinds_data();
    void blockSearchFindsWhatLineByLineFinds();
    void patternPrefilterKeepsEveryLineThePatternMatches_data();
    void patternPrefilterKeepsEveryLineThePatternMatches();
    void fileTypesMatchAsShellWildcards();
    void utf16TextFindsWhatItsUtf8FormFinds_data();
    void utf16TextFindsWhatItsUtf8FormFinds();
    void lineNumbersHoldInLargeFiles_data();
    void lineNumbersHoldInLargeFiles();
    void prefilterKeepsEveryLineTheMatcherAccepts_data();
    void prefilterKeepsEveryLineTheMatcherAccepts();
};

void tst_BlockSearchDifferential::blockSearchFindsWhatLineByLineFinds_data() {
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<qsizetype>("blockSize");
    QTest::addColumn<bool>("avx2");
    const QStringList needles = {"cat", "Cat", "t", "s", "k", "key", "é", "ÉTÉ", "ß", "😀", "cat\r",
                                 "t\nx", "\uFFFD", "aé", "Éſ",
                                 // the rarest byte of these is frequent in the text
                                 "ya", "xcat"};
    // Tiny blocks cut lines and characters everywhere; the real size keeps most lines whole.
    const qsizetype blocks[] = {3, 256 * 1024};
    for (const QString &needle : needles)
        for (bool cs : {true, false})
            for (bool ww : {false, true})
                for (qsizetype block : blocks)
                    for (bool avx2 : {true, false}) // tiny blocks never reach the vector loops
                        if (avx2 || block > 64)
                            QTest::addRow("%s cs=%d ww=%d block=%lld avx2=%d", qPrintable(needle),
                                          cs, ww, qint64(block), avx2)
                                << needle << cs << ww << block << avx2;
}

void tst_BlockSearchDifferential::blockSearchFindsWhatLineByLineFinds() {
    QFETCH(QString, needle);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, wholeWord);
    QFETCH(qsizetype, blockSize);
    QFETCH(bool, avx2);

    const auto &[dir, files] = randomTree();
    QStringList expected;
    for (auto it = files.begin(); it != files.end(); ++it)
        expected += referenceFindings(it.key(), it.value(), needle, caseSensitive, wholeWord);

    Scan::setBlockSize(blockSize);
    setUseAvx2(avx2);
    QCOMPARE(plainScan(dir.path(), needle, caseSensitive, wholeWord), expected);
    if (needle == "cat" && !wholeWord)
        QVERIFY(expected.size() > 50); // the inputs do exercise the search
}

void tst_BlockSearchDifferential::patternPrefilterKeepsEveryLineThePatternMatches_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    const QStringList patterns = {
        "cat|Key", "(?:cat|sun)s?_", "\\b(ca|é)t",       "ca(t|T)|x+9",
        "(é|ß)|k", "cat|😀",          "(?:ca|ſ)(?:t|un)", "t\\(|_9|\\x{212A}ey"};
    for (const QString &pattern : patterns)
        for (bool cs : {true, false})
            for (bool ww : {false, true})
                QTest::addRow("%s cs=%d ww=%d", qPrintable(pattern), cs, ww) << pattern << cs << ww;
}

// The literals taken from a pattern's alternatives only pass lines over: the findings are
// those of the pattern matched against every line.
void tst_BlockSearchDifferential::patternPrefilterKeepsEveryLineThePatternMatches() {
    QFETCH(QString, pattern);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, wholeWord);

    const auto &[dir, files] = randomTree();
    QString error;
    const auto matcher = RegexMatcher::compile(pattern, caseSensitive, wholeWord, &error);
    QVERIFY2(matcher, qPrintable(error));
    QStringList expected;
    for (auto it = files.begin(); it != files.end(); ++it)
        expected += referenceFindings(it.key(), it.value(),
                                      [&](const QString &line) { return matcher->match(line); });
    QVERIFY(!expected.isEmpty());

    EngineRun run;
    run.engine->setSearchPath(dir.path());
    run.engine->setSearchString(pattern);
    run.engine->setUseRegularExpression(Tavrin::vbTrue);
    run.engine->setCaseSensitive(Tavrin::toVBool(caseSensitive));
    run.engine->setWholeWordOnly(wholeWord);
    run.engine->Grep();
    QVERIFY(run.waitIdle());
    QCOMPARE(run.events.filter("OnError"), QStringList{});
    QCOMPARE(run.findings(dir.path()), expected);
}

// Random ASCII names against random lists of entries: a name passes when an entry matches it
// as the shell's wildcards do, ignoring case (fnmatch), or the entry is "*.*".
void tst_BlockSearchDifferential::fileTypesMatchAsShellWildcards() {
    QRandomGenerator random(9122026);
    const QStringList namePieces = {"a", "B", ".", "c", "pp", "H", "x", "Make", "file", ".."};
    const QStringList entryPieces = {"*", "?", ".", "c", "PP", "h", "[ab]", "[!c]", "make", "a"};
    const QStringList separators = {";", ",", " ", "; ", " ,"};
    QStringList names;
    for (int i = 0; i < 200; ++i) {
        QString name;
        for (int k = random.bounded(1, 5); k > 0; --k)
            name += namePieces.at(random.bounded(namePieces.size()));
        names << name;
    }
    int taken = 0;
    for (int round = 0; round < 300; ++round) {
        QStringList entries;
        for (int e = random.bounded(1, 4); e > 0; --e) {
            QString entry;
            for (int k = random.bounded(1, 4); k > 0; --k)
                entry += entryPieces.at(random.bounded(entryPieces.size()));
            entries << entry;
        }
        QString list = entries.first();
        for (qsizetype e = 1; e < entries.size(); ++e)
            list += separators.at(random.bounded(separators.size())) + entries.at(e);
        const FileTypeFilter filter(list);
        for (const QString &name : names) {
            bool expected = false;
            for (const QString &entry : entries)
                expected = expected || entry == "*.*" ||
                           ::fnmatch(entry.toLatin1().constData(), name.toLatin1().constData(),
                                     FNM_CASEFOLD) == 0;
            QVERIFY2(filter.takes(name.toLatin1()) == expected,
                     qPrintable(QStringLiteral("%1 against %2").arg(name, list)));
            taken += expected;
        }
    }
    QVERIFY(taken > 1000 && taken < 50000); // both outcomes are exercised
}

void tst_BlockSearchDifferential::utf16TextFindsWhatItsUtf8FormFinds_data() {
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<qsizetype>("blockSize");
    QTest::addColumn<qint64>("pieceBytes"); // of UTF-16 transcoded at once
    for (const QString &needle : {QStringLiteral("cat"), QStringLiteral("é"), QStringLiteral("😀"),
                                  QStringLiteral("\uFFFD")})
        for (bool cs : {true, false})
            for (bool ww : {false, true}) {
                // Tiny blocks read back across tiny pieces; large ones as in a scan.
                QTest::addRow("%s cs=%d ww=%d tiny", qPrintable(needle), cs, ww)
                    << needle << cs << ww << qsizetype(3) << qint64(6);
                QTest::addRow("%s cs=%d ww=%d large", qPrintable(needle), cs, ww)
                    << needle << cs << ww << FileSearch::kBlockSize << qint64(64 * 1024);
            }
}

// The random files as UTF-16, both byte orders, with lone surrogates put in: the findings are
// those of their text in UTF-8, a lone surrogate being U+FFFD.
void tst_BlockSearchDifferential::utf16TextFindsWhatItsUtf8FormFinds() {
    QFETCH(QString, needle);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, wholeWord);
    QFETCH(qsizetype, blockSize);
    QFETCH(qint64, pieceBytes);

    static QTemporaryDir dir;
    static QMap<QString, QByteArray> asText; // the UTF-8 form of each file's text
    if (asText.isEmpty()) {
        QRandomGenerator random(8122026);
        QMap<QString, QByteArray> files;
        const QMap<QString, QByteArray> sources = randomFiles();
        for (auto it = sources.begin(); it != sources.end(); ++it) {
            QString text = QString::fromUtf8(it.value());
            for (int k = 0; k < 3; ++k) { // a low surrogate with no high one before it
                const auto at = qsizetype(random.bounded(int(text.size()) + 1));
                if (at == 0 || !text.at(at - 1).isHighSurrogate())
                    text.insert(at, QChar(0xDC00));
            }
            const bool bigEndian = random.bounded(2) == 1;
            files.insert(it.key(), utf16(text, bigEndian) + (random.bounded(4) == 0 ? "\x41" : ""));
            text.replace(QChar(0xDC00), QChar::ReplacementCharacter);
            asText.insert(it.key(), text.toUtf8() + (files[it.key()].size() % 2 ? "\uFFFD" : ""));
        }
        writeTree(dir.path(), files);
    }
    QStringList expected;
    for (auto it = asText.begin(); it != asText.end(); ++it)
        expected += referenceFindings(it.key(), it.value(), needle, caseSensitive, wholeWord);
    QVERIFY(!expected.isEmpty());

    Scan::setBlockSize(blockSize);
    Utf16Text::setPieceBytes(pieceBytes);
    QCOMPARE(plainScan(dir.path(), needle, caseSensitive, wholeWord), expected);
}

// Files larger than what may be left uncounted count line ends as bytes leave the buffer;
// smaller ones count them again at a finding. Long lines, binary runs with scattered line ends
// and lines longer than the buffer come before and between the findings.
void tst_BlockSearchDifferential::lineNumbersHoldInLargeFiles_data() {
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<qsizetype>("blockSize");
    for (qsizetype block : {qsizetype(4096), FileSearch::kBlockSize}) {
        QTest::addRow("cat block=%lld", qint64(block)) << QStringLiteral("cat") << true << block;
        QTest::addRow("ÉTÉ ignoring case block=%lld", qint64(block))
            << QStringLiteral("ÉTÉ") << false << block;
    }
}

void tst_BlockSearchDifferential::lineNumbersHoldInLargeFiles() {
    QFETCH(QString, needle);
    QFETCH(bool, caseSensitive);
    QFETCH(qsizetype, blockSize);

    static QTemporaryDir dir;
    static QMap<QString, QByteArray> files;
    if (files.isEmpty()) {
        QRandomGenerator random(7122026);
        const auto binary = [&](int bytes) {
            QByteArray out(bytes, '\0');
            for (char &c : out)
                c = char(random.bounded(256));
            return out;
        };
        QByteArray large;
        for (int part = 0; part < 6; ++part) {
            large += randomText(random, 20000, true);
            large += part % 2 ? binary(150000) : QByteArray(300000, 'y');
            large += " cat été\r\n";
        }
        files.insert("large", large);
        files.insert("middle", randomText(random, 30000, true) + QByteArray(120000, 'y') +
                                   "\ncat été\n");
        writeTree(dir.path(), files);
    }
    QVERIFY(files["large"].size() > 2 * 1024 * 1024);
    QStringList expected;
    for (auto it = files.begin(); it != files.end(); ++it)
        expected += referenceFindings(it.key(), it.value(), needle, caseSensitive, false);
    QVERIFY(expected.size() > 20);

    Scan::setBlockSize(blockSize);
    QCOMPARE(plainScan(dir.path(), needle, caseSensitive, false), expected);
}

void tst_BlockSearchDifferential::prefilterKeepsEveryLineTheMatcherAccepts_data() {
    QTest::addColumn<int>("shape");
    QTest::newRow("alone") << 0;
    QTest::newRow("between ascii") << 1;
    QTest::newRow("with another folding character") << 2;
    QTest::newRow("in an ascii word") << 3;
}

// Needles drawn from every folding character, alone and mixed with ASCII; each is put, in a
// random mix of case forms, into lines of other text. Whatever the line matcher (the
// case-insensitive search of a line) accepts, the prefilter must offer.
void tst_BlockSearchDifferential::prefilterKeepsEveryLineTheMatcherAccepts() {
    QFETCH(int, shape);
    const FoldingClasses &classes = foldingClasses();
    QVERIFY(classes.chars.size() > 1400); // the table really is Unicode's
    QRandomGenerator random(uint(20261207 + shape));
    const QStringList fillers = {"", "x", "é", "\u212A", "ſ", "zz k s", "\u00DF", "\U0001F600"};
    int accepted = 0;
    for (char32_t c : classes.chars) {
        const char32_t other = classes.chars.at(random.bounded(int(classes.chars.size())));
        QString needle;
        switch (shape) {
        case 0:
            needle = text(c);
            break;
        case 1:
            needle = "a" + text(c) + "b";
            break;
        case 2:
            needle = text(c) + text(other);
            break;
        default:
            needle = "kis" + text(c) + "ss";
            break;
        }
        for (int round = 0; round < 3; ++round) {
            const QString line = fillers.at(random.bounded(fillers.size())) +
                                 caseVariant(random, needle) +
                                 fillers.at(random.bounded(fillers.size()));
            if (line.indexOf(needle, 0, Qt::CaseInsensitive) < 0)
                continue; // e.g. a character whose case forms differ in length
            ++accepted;
            const QByteArray bytes = "first\n" + line.toUtf8() + "\nlast";
            const BlockSearcher searcher(needle, false);
            const qsizetype at = searcher.find(bytes.constData(), bytes.size(), 6, 0);
            QVERIFY2(at >= 6 && at <= bytes.size() - 5,
                     qPrintable(QStringLiteral("U+%1 in %2").arg(uint(c), 4, 16).arg(line)));
        }
    }
    QVERIFY(accepted > int(classes.chars.size())); // the lines do exercise the prefilter
}

QTEST_GUILESS_MAIN(tst_BlockSearchDifferential)
#include "tst_BlockSearchDifferential.moc"
