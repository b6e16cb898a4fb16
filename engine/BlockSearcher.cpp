#include "BlockSearcher.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// UTF-8 forms of the non-ASCII characters whose simple case folding is an ASCII character.
const std::vector<QByteArray> &foldingOntoAscii() {
    static const std::vector<QByteArray> list = [] {
        std::vector<QByteArray> out;
        for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            if (QChar::toCaseFolded(c) < 0x80 || QChar::toLower(c) < 0x80 ||
                QChar::toUpper(c) < 0x80)
                out.push_back(QString::fromUcs4(&c, 1).toUtf8());
        }
        return out;
    }();
    return list;
}

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c | 0x20) : c;
}

// How rare a byte is in source code and text: bytes later in the list are rarer, bytes not in
// it the rarest. Only a guess that picks the byte to look for first.
int rarity(char c) {
    static const char kCommonFirst[] = " etaoinsrlcdhupmfgbyw_.,;()=\n\t\"'/"
                                       "-*0123456789vkxjqzEATSIONRLCDPMUFBGHWVYKXJQZ{}[]:<>+&!#";
    const char *at =
        static_cast<const char *>(std::memchr(kCommonFirst, c, sizeof kCommonFirst - 1));
    return at ? int(at - kCommonFirst) : 256;
}

// Lowers ASCII letters of src[0, n) into dst; true when a byte of 0x80 or more was seen.
bool lowerAscii(const unsigned char *src, char *dst, qsizetype n) {
    qsizetype i = 0;
    unsigned char any = 0;
#if defined(__SSE2__)
    __m128i high = _mm_setzero_si128();
    const __m128i shift = _mm_set1_epi8(char(0x80 - 'A')); // 'A'..'Z' to -128..-103
    const __m128i lastUpper = _mm_set1_epi8(char(-128 + 26));
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        const __m128i upper = _mm_cmplt_epi8(_mm_add_epi8(x, shift), lastUpper);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                         _mm_or_si128(x, _mm_and_si128(upper, caseBit)));
        high = _mm_or_si128(high, x);
    }
    any = _mm_movemask_epi8(high) ? 0x80 : 0;
#endif
    for (; i < n; ++i) {
        const unsigned char c = src[i];
        any |= c;
        dst[i] = char(c - 'A' < 26u ? c | 0x20 : c);
    }
    return any & 0x80;
}
} // namespace

BlockSearcher::BlockSearcher(const QString &needle, bool caseSensitive) {
    mNeedle = needle.toUtf8();
    const bool faithful = QString::fromUtf8(mNeedle) == needle && !needle.contains(QChar(0xFFFD));
    if (needle.isEmpty() || !faithful) {
        mMode = Mode::EveryLine;
        return;
    }
    if (caseSensitive) {
        for (qsizetype i = 1; i < mNeedle.size(); ++i)
            if (rarity(mNeedle.at(i)) > rarity(mNeedle.at(mlRareAt)))
                mlRareAt = i;
        return;
    }
    // Ignoring case, an ASCII character of the string is matched only by itself in either case
    // or by a character folding onto it; the other characters only by non-ASCII ones. So the
    // longest ASCII run of the string is searched for, or else any non-ASCII byte.
    QByteArray run, longest;
    for (char c : mNeedle) {
        if (static_cast<unsigned char>(c) < 0x80)
            run += asciiLower(c);
        else
            run.clear();
        if (run.size() > longest.size())
            longest = run;
    }
    mNeedle = longest;
    mMode = longest.isEmpty() ? Mode::NonAscii : Mode::FoldedAscii;
    for (qsizetype i = 1; i < mNeedle.size(); ++i)
        if (rarity(mNeedle.at(i)) > rarity(mNeedle.at(mlRareAt)))
            mlRareAt = i;
}

qsizetype BlockSearcher::overlap() const {
    if (mMode != Mode::FoldedAscii)
        return mMode == Mode::Bytes ? mNeedle.size() - 1 : 0;
    static const qsizetype longestFolding = [] {
        qsizetype n = 1;
        for (const QByteArray &special : foldingOntoAscii())
            n = std::max(n, special.size());
        return n;
    }();
    return std::max(mNeedle.size(), longestFolding) - 1;
}

void BlockSearcher::clear() {
    mlLoweredSize = 0;
    mSpecials.clear();
}

void BlockSearcher::appended(const char *data, qsizetype size, qsizetype oldSize) {
    if (mMode != Mode::FoldedAscii)
        return;
    if (qsizetype(mLowered.size()) < size)
        mLowered.resize(std::max(size, qsizetype(mLowered.size()) * 2));
    mlLoweredSize = size;
    const auto *src = reinterpret_cast<const unsigned char *>(data);
    char *dst = mLowered.data();
    const std::size_t before = mSpecials.size();
    // A character that folds onto ASCII starting at p, complete in the buffer, is recorded once.
    const auto checkAt = [&](qsizetype p) {
        if (src[p] < 0xC0)
            return;
        for (const QByteArray &special : foldingOntoAscii())
            if (p + special.size() <= size && p + special.size() > oldSize &&
                std::memcmp(src + p, special.constData(), special.size()) == 0)
                mSpecials.push_back(p);
    };
    // Characters cut at the old end are complete now.
    for (qsizetype p = std::max<qsizetype>(0, oldSize - overlap()); p < oldSize; ++p)
        checkAt(p);
    // Lower in chunks; only a chunk holding a non-ASCII byte is looked at again.
    constexpr qsizetype kChunk = 64;
    for (qsizetype i = oldSize; i < size; i += kChunk) {
        const qsizetype n = std::min(kChunk, size - i);
        if (lowerAscii(src + i, dst + i, n))
            for (qsizetype j = 0; j < n; ++j)
                checkAt(i + j);
    }
    if (mSpecials.size() != before)
        std::sort(mSpecials.begin() + before, mSpecials.end());
}

void BlockSearcher::removedPrefix(qsizetype count) {
    if (mMode != Mode::FoldedAscii)
        return;
    std::memmove(mLowered.data(), mLowered.data() + count, mlLoweredSize - count);
    mlLoweredSize -= count;
    const auto keep = std::lower_bound(mSpecials.begin(), mSpecials.end(), count);
    mSpecials.erase(mSpecials.begin(), keep);
    for (qsizetype &at : mSpecials)
        at -= count;
}

qsizetype BlockSearcher::findNonAscii(const char *data, qsizetype from, qsizetype size) {
    qsizetype i = from;
    for (; i + 8 <= size; i += 8) { // eight bytes at a time: any high bit set?
        quint64 word;
        std::memcpy(&word, data + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
    }
    for (; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return i;
    return -1;
}

// The needle's least common byte is looked for with memchr and each place it appears is
// compared whole; when that byte turns out to be frequent, memmem takes over.
qsizetype BlockSearcher::findNeedle(const char *hay, qsizetype size, qsizetype from) const {
    const qsizetype n = mNeedle.size();
    const char *needle = mNeedle.constData();
    const char rare = needle[mlRareAt];
    qsizetype at = from + mlRareAt;                // where the rare byte may be
    const qsizetype end = size - n + mlRareAt + 1; // ... and before where it may not
    qsizetype misses = 0;
    while (at < end) {
        const void *hit = std::memchr(hay + at, rare, end - at);
        if (!hit)
            return -1;
        const qsizetype start = static_cast<const char *>(hit) - hay - mlRareAt;
        if (std::memcmp(hay + start, needle, n) == 0)
            return start;
        at = start + mlRareAt + 1;
        if (++misses > 16 && (at - from) < misses * 64) {
            const void *found = ::memmem(hay + start + 1, size - start - 1, needle, n);
            return found ? static_cast<const char *>(found) - hay : -1;
        }
    }
    return -1;
}

qsizetype BlockSearcher::find(const char *data, qsizetype size, qsizetype from) const {
    if (from >= size)
        return -1;
    if (mMode == Mode::EveryLine)
        return from;
    if (mMode == Mode::NonAscii)
        return findNonAscii(data, from, size);
    const char *hay = mMode == Mode::Bytes ? data : mLowered.data();
    qsizetype at = findNeedle(hay, size, from);
    if (mMode == Mode::FoldedAscii) {
        const auto special = std::lower_bound(mSpecials.begin(), mSpecials.end(), from);
        if (special != mSpecials.end() && (at < 0 || *special < at))
            at = *special;
    }
    return at;
}
