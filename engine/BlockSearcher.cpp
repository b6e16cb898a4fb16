#include "BlockSearcher.h"

#include "Avx2.h"

#include <QChar>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <utility>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Characters above this have no case in Unicode; scanning the table stops there.
constexpr char32_t kLastCased = 0x1FFFF;

struct FoldTables {
    bool foldedOnto[128] = {};       // ASCII letters a non-ASCII character folds onto
    std::vector<char32_t> ontoAscii; // those non-ASCII characters
    QHash<char32_t, std::vector<char32_t>> folding; // a folding -> the other characters with it
};

// Built once per process from Qt's case folding data (a few ms).
const FoldTables &foldTables() {
    static const FoldTables tables = [] {
        FoldTables t;
        for (char32_t c = 0x80; c <= kLastCased; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f == c)
                continue;
            t.folding[f].push_back(c);
            if (f < 0x80) {
                t.ontoAscii.push_back(c);
                t.foldedOnto[f] = true;
            }
        }
        return t;
    }();
    return tables;
}

QByteArray utf8Of(char32_t c) {
    return QString::fromUcs4(&c, 1).toUtf8();
}

// How rare a byte is in source code and text: bytes later in the list are rarer, bytes not in
// it the rarest. Only a guess that picks the bytes to look for first.
int rarity(char c) {
    static const char kCommonFirst[] = " etaoinsrlcdhupmfgbyw_.,;()=\n\t\"'/"
                                       "-*0123456789vkxjqzEATSIONRLCDPMUFBGHWVYKXJQZ{}[]:<>+&!#";
    const char *at =
        static_cast<const char *>(std::memchr(kCommonFirst, c, sizeof kCommonFirst - 1));
    return at ? int(at - kCommonFirst) : 256;
}
} // namespace

void BlockSearcher::Pattern::prepare() {
    if (mask.isEmpty())
        mask = QByteArray(bytes.size(), 0);
    exact = !mask.contains(char(0x20));
    first = second = 0;
    for (qsizetype i = 1; i < bytes.size(); ++i)
        if (rarity(bytes.at(i)) > rarity(bytes.at(first)))
            first = i;
    int best = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        // Rather a byte of another value than the same one again.
        const int score = rarity(bytes.at(i)) * 2 + (bytes.at(i) != bytes.at(first));
        if (i != first && score > best) {
            best = score;
            second = i;
        }
    }
    if (bytes.size() == 1)
        second = first;
}

bool BlockSearcher::Pattern::matchesAt(const char *at) const {
    const qsizetype n = bytes.size();
    const char *b = bytes.constData();
    if (exact)
        return std::memcmp(at, b, n) == 0;
    const char *m = mask.constData();
    for (qsizetype i = 0; i < n; ++i)
        if (char(at[i] | m[i]) != b[i])
            return false;
    return true;
}

qsizetype BlockSearcher::Pattern::verify(const char *hay, qsizetype size, qsizetype from,
                                        qsizetype at, qsizetype &misses) const {
    if (matchesAt(hay + at))
        return at;
    // Text where the two bytes keep coming without the rest: memmem's linear search takes over.
    const qsizetype n = bytes.size();
    if (exact && n > 32 && ++misses > 16 && (at - from) < misses * 64) {
        const void *found = ::memmem(hay + at, size - at, bytes.constData(), n);
        return found ? static_cast<const char *>(found) - hay : -1;
    }
    return kGoOn;
}

qsizetype BlockSearcher::Pattern::verifyAll(const char *hay, qsizetype size, qsizetype from,
                                           qsizetype i, quint64 bits, qsizetype &misses) const {
    for (; bits; bits &= bits - 1) {
        const qsizetype found = verify(hay, size, from, i + __builtin_ctzll(bits), misses);
        if (found != kGoOn)
            return found;
    }
    return kGoOn;
}

#if defined(__x86_64__)
namespace {
// 32 places from k whose two bytes both match, as bits; Exact: no mask bit is set.
template <bool Exact>
__attribute__((target("avx2"))) inline quint32 places32(const char *at1, const char *at2,
                                                        qsizetype k, __m256i b1, __m256i m1,
                                                        __m256i b2, __m256i m2) {
    __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at1 + k));
    __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at2 + k));
    if (!Exact) {
        x1 = _mm256_or_si256(x1, m1);
        x2 = _mm256_or_si256(x2, m2);
    }
    return quint32(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(x1, b1), _mm256_cmpeq_epi8(x2, b2))));
}
} // namespace

template <bool Exact>
__attribute__((target("avx2"))) qsizetype
BlockSearcher::Pattern::findAvx2(const char *hay, qsizetype size, qsizetype from, qsizetype end,
                                 qsizetype &i, qsizetype &misses) const {
    const __m256i b1 = _mm256_set1_epi8(bytes.at(first)), m1 = _mm256_set1_epi8(mask.at(first));
    const __m256i b2 = _mm256_set1_epi8(bytes.at(second)), m2 = _mm256_set1_epi8(mask.at(second));
    const char *at1 = hay + first, *at2 = hay + second;
    const auto places = [&](qsizetype k) __attribute__((target("avx2"))) {
        return places32<Exact>(at1, at2, k, b1, m1, b2, m2);
    };
    while (i + 32 <= end) {
        quint64 bits = places(i);
        qsizetype step = 32;
        if (i + 128 <= end) { // four at once while nothing matches
            bits |= quint64(places(i + 32)) << 32;
            const quint64 more = places(i + 64) | quint64(places(i + 96)) << 32;
            if (!bits && !more) {
                i += 128;
                continue;
            }
            if (!bits) {
                bits = more;
                i += 64;
            }
            step = 64;
        } else if (i + 64 <= end) {
            bits |= quint64(places(i + 32)) << 32;
            step = 64;
        }
        if (const qsizetype found = verifyAll(hay, size, from, i, bits, misses); found != kGoOn)
            return found;
        i += step;
    }
    return kGoOn;
}
#endif

#if defined(__SSE2__)
qsizetype BlockSearcher::Pattern::findSse2(const char *hay, qsizetype size, qsizetype from,
                                           qsizetype end, qsizetype &i, qsizetype &misses) const {
    const __m128i b1 = _mm_set1_epi8(bytes.at(first)), m1 = _mm_set1_epi8(mask.at(first));
    const __m128i b2 = _mm_set1_epi8(bytes.at(second)), m2 = _mm_set1_epi8(mask.at(second));
    const char *at1 = hay + first, *at2 = hay + second;
    // 16 places whose two bytes both match, as bits.
    const auto places = [&](qsizetype k) {
        const __m128i x1 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at1 + k)), m1);
        const __m128i x2 =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at2 + k)), m2);
        return unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x1, b1), _mm_cmpeq_epi8(x2, b2))));
    };
    while (i + 16 <= end) {
        quint64 bits = places(i);
        qsizetype step = 16;
        if (i + 64 <= end) { // four at once while nothing matches
            bits |= quint64(places(i + 16)) << 16 | quint64(places(i + 32)) << 32 |
                    quint64(places(i + 48)) << 48;
            step = 64;
        }
        if (const qsizetype found = verifyAll(hay, size, from, i, bits, misses); found != kGoOn)
            return found;
        i += step;
    }
    return kGoOn;
}
#endif

// Hand-written: memchr looks for one byte in one case; this filters on two bytes of the pattern
// at their distance, either case, 16 or 32 places at a time.
qsizetype BlockSearcher::Pattern::find(const char *hay, qsizetype size, qsizetype from) const {
    const qsizetype n = bytes.size();
    if (size - from < n)
        return -1;
    const qsizetype end = size - n + 1; // last place + 1 where the pattern may begin
    qsizetype i = from;
    qsizetype misses = 0;
    qsizetype found = kGoOn;
#if defined(__x86_64__)
    if (useAvx2())
        found = exact ? findAvx2<true>(hay, size, from, end, i, misses)
                      : findAvx2<false>(hay, size, from, end, i, misses);
    else
#endif
#if defined(__SSE2__)
        found = findSse2(hay, size, from, end, i, misses);
#endif
    if (found != kGoOn)
        return found;
    const char b1 = bytes.at(first), m1 = mask.at(first);
    const char b2 = bytes.at(second), m2 = mask.at(second);
    for (; i < end; ++i)
        if (char(hay[i + first] | m1) == b1 && char(hay[i + second] | m2) == b2) {
            found = verify(hay, size, from, i, misses);
            if (found != kGoOn)
                return found;
        }
    return -1;
}

BlockSearcher::BlockSearcher(const QString &needle, bool caseSensitive)
    : BlockSearcher(QStringList{needle}, caseSensitive) {}

BlockSearcher::BlockSearcher(const QStringList &needles, bool caseSensitive) {
    mbEveryLine = needles.isEmpty();
    for (const QString &needle : needles) {
        addNeedle(needle, caseSensitive);
        if (mbEveryLine)
            return;
        if (needles.size() > 1 && mbHasMain) {
            // Each string of several is searched by itself, remembering where it was found.
            Alternative alternative;
            alternative.pattern = std::exchange(mMain, Pattern());
            mAlternatives.push_back(std::move(alternative));
            mbHasMain = false;
        }
    }
}

void BlockSearcher::addNeedle(const QString &needle, bool caseSensitive) {
    // One pass over the string: whether its UTF-8 form is faithful (no lone surrogate, no
    // U+FFFD), the longest run folding onto ASCII, and the longest such run free of letters
    // that non-ASCII characters fold onto. Positions are in UTF-16 units; a run holds only
    // characters of one unit.
    const FoldTables &tables = foldTables();
    const auto fold = [](char32_t c) {
        return c < 0x80 ? ((c >= 'A' && c <= 'Z') ? c | 0x20 : c) : QChar::toCaseFolded(c);
    };
    bool faithful = !needle.isEmpty();
    bool anyOther = false; // a character folding onto a non-ASCII one
    qsizetype runAt = 0, runLength = 0, run = 0;
    qsizetype pureAt = 0, pureLength = 0, pure = 0;
    for (qsizetype i = 0; i < needle.size() && faithful; ++i) {
        char32_t c = needle.at(i).unicode();
        if (QChar::isSurrogate(c)) {
            faithful = QChar::isHighSurrogate(c) && i + 1 < needle.size() &&
                       needle.at(i + 1).isLowSurrogate();
            if (faithful)
                c = QChar::surrogateToUcs4(needle.at(i), needle.at(++i));
        }
        faithful = faithful && c != 0xFFFD;
        const char32_t folded = caseSensitive ? c : fold(c);
        if (folded >= 0x80) {
            run = pure = 0;
            anyOther = true;
            continue;
        }
        if (++run > runLength) {
            runLength = run;
            runAt = i + 1 - run;
        }
        pure = tables.foldedOnto[folded] ? 0 : pure + 1;
        if (pure > pureLength) {
            pureLength = pure;
            pureAt = i + 1 - pure;
        }
    }
    if (!faithful) {
        mbEveryLine = true;
        return;
    }
    if (caseSensitive) {
        mMain.bytes = needle.toUtf8();
        mMain.prepare();
        mbHasMain = true;
        mlOverlap = std::max(mlOverlap, mMain.bytes.size() - 1);
        return;
    }

    const auto addAlternative = [&](char32_t c) {
        Alternative alternative;
        alternative.pattern.bytes = utf8Of(c);
        alternative.pattern.prepare();
        mlOverlap = std::max(mlOverlap, alternative.pattern.bytes.size() - 1);
        mAlternatives.push_back(std::move(alternative));
    };
    const auto useRun = [&](qsizetype at, qsizetype length) {
        mMain.bytes.reserve(length);
        mMain.mask.reserve(length);
        for (qsizetype i = at; i < at + length; ++i) {
            const char folded = char(fold(needle.at(i).unicode()));
            mMain.bytes += folded;
            mMain.mask += (folded >= 'a' && folded <= 'z') ? char(0x20) : char(0);
        }
        mMain.prepare();
        mbHasMain = true;
        mlOverlap = std::max(mlOverlap, length - 1);
    };

    if (pureLength >= 2 || (pureLength == 1 && !anyOther)) {
        useRun(pureAt, pureLength);
    } else if (anyOther) {
        // The non-ASCII character with the fewest case forms.
        char32_t best = 0;
        std::size_t bestForms = 0;
        for (char32_t c : needle.toUcs4()) {
            const char32_t folded = fold(c);
            if (folded < 0x80)
                continue;
            const auto forms = tables.folding.constFind(folded);
            const std::size_t count = forms == tables.folding.cend() ? 1 : forms->size() + 1;
            if (best == 0 || count < bestForms) {
                best = folded;
                bestForms = count;
            }
        }
        addAlternative(best);
        const auto forms = tables.folding.constFind(best);
        if (forms != tables.folding.cend())
            for (char32_t c : *forms)
                addAlternative(c);
    } else {
        // Only letters such as "s" and "k": those and the characters folding onto them.
        useRun(runAt, runLength);
        for (char32_t c : tables.ontoAscii)
            if (mMain.bytes.contains(char(QChar::toCaseFolded(c))))
                addAlternative(c);
    }
}

void BlockSearcher::clear() {
    for (const Alternative &alternative : mAlternatives)
        alternative.searchedFrom = -1;
}

qsizetype BlockSearcher::findAlternative(const char *data, qsizetype size, qsizetype from,
                                         qint64 base) const {
    const qint64 absFrom = base + from, absEnd = base + size;
    qint64 best = -1;
    for (const Alternative &a : mAlternatives) {
        const qsizetype n = a.pattern.bytes.size();
        qint64 at = -1;
        const bool known =
            a.searchedFrom >= 0 && a.searchedFrom <= absFrom && a.searchedTo <= absEnd;
        if (known && a.foundAt >= absFrom) {
            at = a.foundAt;
        } else {
            // None begins in [searchedFrom, searchedTo - n + 1) when the last search found none.
            const qint64 resume =
                known && a.foundAt < 0 ? std::max(absFrom, a.searchedTo - n + 1) : absFrom;
            const qsizetype hit = a.pattern.find(data, size, qsizetype(resume - base));
            at = hit < 0 ? -1 : base + hit;
            a.searchedFrom = absFrom;
            a.searchedTo = absEnd;
            a.foundAt = at;
        }
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    return best < 0 ? -1 : qsizetype(best - base);
}

qsizetype BlockSearcher::find(const char *data, qsizetype size, qsizetype from, qint64 base) const {
    if (from >= size)
        return -1;
    if (mbEveryLine)
        return from;
    qsizetype at = mbHasMain ? mMain.find(data, size, from) : -1;
    if (!mAlternatives.empty()) {
        const qsizetype other = findAlternative(data, size, from, base);
        if (other >= 0 && (at < 0 || other < at))
            at = other;
    }
    return at;
}
