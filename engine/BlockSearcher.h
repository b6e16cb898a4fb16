#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Finds the places in a block of UTF-8 text where a line may hold the sought string, so that
// only those lines are decoded and matched by the exact line rule. A candidate is never missed:
// exact search looks for the string's bytes; ignoring case it looks in an ASCII-lowered copy
// of the block, and also at every character that case folding maps onto an ASCII letter
// (such as U+017F, U+212A). Ignoring case, a string with non-ASCII characters is looked for by
// its longest ASCII run, or else by any non-ASCII byte. A string holding U+FFFD (which invalid
// bytes decode to) or an empty one makes every line a candidate.
class BlockSearcher {
public:
    BlockSearcher(const QString &needle, bool caseSensitive);

    // The buffer was emptied (a new file begins).
    void clear();
    // The buffer (data, size) gained bytes from oldSize on / lost its first count bytes.
    void appended(const char *data, qsizetype size, qsizetype oldSize);
    void removedPrefix(qsizetype count);

    // First candidate byte of the buffer (data, size) at or after from, or -1 when there is none.
    qsizetype find(const char *data, qsizetype size, qsizetype from) const;
    // How many bytes at the end of a searched part must be searched again once more arrives.
    // Ignoring case this also covers a folding character cut at the end.
    qsizetype overlap() const;

private:
    enum class Mode { Bytes, FoldedAscii, NonAscii, EveryLine };
    static qsizetype findNonAscii(const char *data, qsizetype from, qsizetype size);
    qsizetype findNeedle(const char *hay, qsizetype size, qsizetype from) const;

    Mode mMode = Mode::Bytes;
    QByteArray mNeedle;
    qsizetype mlRareAt = 0;           // offset in mNeedle of its least common byte
    std::vector<char> mLowered;       // ASCII-lowered copy of the buffer (FoldedAscii)
    qsizetype mlLoweredSize = 0;      // bytes of mLowered in use
    std::vector<qsizetype> mSpecials; // sorted offsets of characters folding onto ASCII
};
