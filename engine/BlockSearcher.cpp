#include "BlockSearcher.h"

#include <QChar>
#include <algorithm>
#include <cstring>

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
} // namespace

BlockSearcher::BlockSearcher(const QString &needle, bool caseSensitive) {
    mNeedle = needle.toUtf8();
    const bool faithful = QString::fromUtf8(mNeedle) == needle && !needle.contains(QChar(0xFFFD));
    if (needle.isEmpty() || !faithful) {
        mMode = Mode::EveryLine;
        return;
    }
    if (caseSensitive)
        return;
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
}

qsizetype BlockSearcher::overlap() const {
    static const qsizetype longestFolding = [] {
        qsizetype n = 1;
        for (const QByteArray &special : foldingOntoAscii())
            n = std::max(n, special.size());
        return n;
    }();
    if (mMode == Mode::FoldedAscii)
        return std::max(mNeedle.size(), longestFolding) - 1;
    return mMode == Mode::Bytes ? mNeedle.size() - 1 : 0;
}

void BlockSearcher::clear() {
    mLowered.resize(0);
    mSpecials.clear();
}

void BlockSearcher::appended(const QByteArray &buffer, qsizetype oldSize) {
    if (mMode != Mode::FoldedAscii)
        return;
    const qsizetype size = buffer.size();
    mLowered.resize(size);
    const auto *src = reinterpret_cast<const unsigned char *>(buffer.constData());
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
        unsigned char any = 0;
        for (qsizetype j = 0; j < n; ++j) {
            const unsigned char c = src[i + j];
            any |= c;
            dst[i + j] = char(c - 'A' < 26u ? c | 0x20 : c);
        }
        if (any & 0x80)
            for (qsizetype j = 0; j < n; ++j)
                checkAt(i + j);
    }
    if (mSpecials.size() != before)
        std::sort(mSpecials.begin() + before, mSpecials.end());
}

void BlockSearcher::removedPrefix(qsizetype count) {
    if (mMode != Mode::FoldedAscii)
        return;
    mLowered.remove(0, count);
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

qsizetype BlockSearcher::find(const QByteArray &buffer, qsizetype from) const {
    const qsizetype size = buffer.size();
    if (from >= size)
        return -1;
    if (mMode == Mode::EveryLine)
        return from;
    if (mMode == Mode::NonAscii)
        return findNonAscii(buffer.constData(), from, size);
    const char *hay = mMode == Mode::Bytes ? buffer.constData() : mLowered.constData();
    const void *hit = ::memmem(hay + from, size - from, mNeedle.constData(), mNeedle.size());
    qsizetype at = hit ? static_cast<const char *>(hit) - hay : -1;
    if (mMode == Mode::FoldedAscii) {
        const auto special = std::lower_bound(mSpecials.begin(), mSpecials.end(), from);
        if (special != mSpecials.end() && (at < 0 || *special < at))
            at = *special;
    }
    return at;
}
