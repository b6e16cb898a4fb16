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

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c | 0x20) : c; }
} // namespace

BlockSearcher::BlockSearcher(const QString &needle, bool caseSensitive) {
    mNeedle = needle.toUtf8();
    const bool faithful = QString::fromUtf8(mNeedle) == needle && !needle.contains(QChar(0xFFFD));
    bool ascii = true;
    for (char c : mNeedle)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (needle.isEmpty() || !faithful || (!caseSensitive && !ascii))
        mMode = Mode::EveryLine;
    else if (!caseSensitive)
        mMode = Mode::FoldedAscii;
    if (mMode == Mode::FoldedAscii)
        for (char &c : mNeedle)
            c = asciiLower(c);
}

void BlockSearcher::appended(const QByteArray &buffer, qsizetype oldSize) {
    if (mMode != Mode::FoldedAscii)
        return;
    const qsizetype size = buffer.size();
    mLowered.resize(size);
    const char *src = buffer.constData();
    char *dst = mLowered.data();
    for (qsizetype i = oldSize; i < size; ++i)
        dst[i] = asciiLower(src[i]);

    // Look again at the last bytes before oldSize: a character may have been cut there.
    const qsizetype from = std::max<qsizetype>(0, oldSize - 3);
    const std::size_t before = mSpecials.size();
    for (const QByteArray &special : foldingOntoAscii()) {
        const char *p = src + from;
        const char *end = src + size;
        while (const void *hit = ::memmem(p, end - p, special.constData(), special.size())) {
            const qsizetype at = static_cast<const char *>(hit) - src;
            if (at + special.size() > oldSize)
                mSpecials.push_back(at);
            p = static_cast<const char *>(hit) + 1;
        }
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

qsizetype BlockSearcher::find(const QByteArray &buffer, qsizetype from) const {
    const qsizetype size = buffer.size();
    if (from >= size)
        return -1;
    if (mMode == Mode::EveryLine)
        return from;
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
