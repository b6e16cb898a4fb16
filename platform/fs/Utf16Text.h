#pragma once

#include <QByteArray>
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
