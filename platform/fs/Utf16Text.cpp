#include "Utf16Text.h"

#include <QChar>
#include <algorithm>
#include <cstring>

namespace {
qint64 glPieceBytes = 64 * 1024;

void appendUtf8(QByteArray &out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}
} // namespace

void Utf16Text::setPieceBytes(qint64 lBytes) {
    glPieceBytes = std::max<qint64>(4, lBytes & ~qint64(1));
}

Utf16Text::Utf16Text(bool bigEndian, qint64 rawStart, ReadRaw readRaw)
    : mbBigEndian(bigEndian), mReadRaw(std::move(readRaw)) {
    mPieces.push_back({rawStart, 0});
}

qint64 Utf16Text::read(char *into, qint64 maxBytes, qint64 at) {
    qint64 total = 0;
    while (total < maxBytes && load(at + total)) {
        const qint64 offset = at + total - mlTextAt;
        const qint64 n = std::min(maxBytes - total, qint64(mText.size()) - offset);
        std::memcpy(into + total, mText.constData() + offset, size_t(n));
        total += n;
    }
    return total;
}

// Makes mText the piece holding offset at; false when the text ends before it.
bool Utf16Text::load(qint64 at) {
    if (mlTextAt >= 0 && at >= mlTextAt && at < mlTextAt + mText.size())
        return true;
    auto piece = std::upper_bound(mPieces.begin(), mPieces.end(), at,
                                  [](qint64 offset, const Piece &p) { return offset < p.text; });
    std::size_t index = std::size_t(piece - mPieces.begin()) - 1;
    for (;; ++index) {
        if (index + 1 == mPieces.size() && mbEndKnown)
            return false;
        const Piece current = mPieces[index];
        qint64 rawEnd = 0;
        transcode(current, rawEnd);
        mlTextAt = current.text;
        if (index + 1 == mPieces.size()) {
            mPieces.push_back({rawEnd, current.text + mText.size()});
            mbEndKnown = mText.isEmpty();
        }
        if (mText.isEmpty())
            return false;
        if (at < mlTextAt + mText.size())
            return true;
    }
}

void Utf16Text::transcode(const Piece &piece, qint64 &rawEnd) {
    mRaw.resize(glPieceBytes);
    qint64 n = mReadRaw(mRaw.data(), glPieceBytes, piece.raw);
    const bool atEnd = n < glPieceBytes;
    const auto *bytes = reinterpret_cast<const uchar *>(mRaw.constData());
    const auto unitAt = [&](qint64 i) {
        return char16_t(mbBigEndian ? bytes[i] << 8 | bytes[i + 1] : bytes[i + 1] << 8 | bytes[i]);
    };
    // A pair cut by the end of the piece is left whole to the next one.
    if (!atEnd && QChar::isHighSurrogate(unitAt(n - 2)))
        n -= 2;
    rawEnd = piece.raw + n;
    mText.clear();
    mText.reserve(n * 3 / 2 + 4);
    decode(n, unitAt, [this](char32_t c) { appendUtf8(mText, c); });
}
