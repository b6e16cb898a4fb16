#pragma once

#include <QByteArray>
#include <QChar>
#include <QtGlobal>
#include <functional>
#include <vector>

// The UTF-8 form of the UTF-16 text of a file, read at offsets of that form, so that a reader
// of UTF-8 needs nothing else. A lone surrogate or an odd last byte becomes U+FFFD. The text is
// transcoded in pieces whose starts in both forms are remembered, so a read at any offset, also
// one going back, transcodes from the piece holding it; the same offset always gives the same
// byte, whoever reads the file.
class Utf16Text {
public:
    // Reads up to maxBytes of the file at offset at; fewer only at its end.
    using ReadRaw = std::function<qint64(char *into, qint64 maxBytes, qint64 at)>;

    // The text is the file's bytes from rawStart (past the byte order mark) to its end.
    Utf16Text(bool bigEndian, qint64 rawStart, ReadRaw readRaw);

    // Up to maxBytes of the UTF-8 form from its offset at; fewer only at its end.
    qint64 read(char *into, qint64 maxBytes, qint64 at);

    // Raw bytes transcoded at once (even); a seam for tests.
    static void setPieceBytes(qint64 lBytes);

    // Calls put(char32_t) for each character of the UTF-16 text of size bytes whose units
    // unitAt(i) gives at byte i: a lone surrogate or an odd last byte is U+FFFD.
    template <typename UnitAt, typename Put>
    static void decode(qint64 size, UnitAt unitAt, Put put) {
        qint64 i = 0;
        for (; i + 1 < size; i += 2) {
            const char16_t unit = unitAt(i);
            if (!QChar::isSurrogate(unit)) {
                put(char32_t(unit));
            } else if (QChar::isHighSurrogate(unit) && i + 3 < size &&
                       QChar::isLowSurrogate(unitAt(i + 2))) {
                put(char32_t(QChar::surrogateToUcs4(unit, unitAt(i + 2))));
                i += 2;
            } else {
                put(char32_t(QChar::ReplacementCharacter));
            }
        }
        if (i < size) // an odd last byte
            put(char32_t(QChar::ReplacementCharacter));
    }

private:
    struct Piece {
        qint64 raw = 0;  // where it begins in the file
        qint64 text = 0; // ... and in the UTF-8 form
    };
    bool load(qint64 at);
    void transcode(const Piece &piece, qint64 &rawEnd);

    const bool mbBigEndian;
    const ReadRaw mReadRaw;
    std::vector<Piece> mPieces; // in order; the last one is the first not transcoded yet
    bool mbEndKnown = false;    // the last piece is the end of the text
    QByteArray mRaw;            // scratch for the raw bytes of a piece
    QByteArray mText;           // the UTF-8 form of the piece at mlTextAt
    qint64 mlTextAt = -1;
};
