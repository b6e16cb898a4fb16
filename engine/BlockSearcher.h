#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The prefilter of the block search: finds the places in a block of UTF-8 text where a line may
// hold the sought string, so that only those lines are decoded and matched by the line rules.
// Invariant: a line that the line rules accept always holds a candidate (a candidate may still
// be a line they refuse).
//
// Exact, the candidates are the string's bytes. Ignoring case (Unicode simple case folding),
// one anchor of the string is looked for:
// - a run of characters that fold onto ASCII, matched byte for byte with ASCII letters in
//   either case; when every such run holds a letter that a non-ASCII character folds onto
//   (U+017F onto "s", U+212A onto "k"), those characters are candidates as well;
// - else one non-ASCII character, in the UTF-8 form of every character folding as it does.
// An empty string, or one holding U+FFFD (which invalid bytes decode to), makes every line a
// candidate. Setup is linear in the string's length; the search looks at the bytes 16 or 32
// at a time (AVX2 when the processor has it) and never at each byte by itself.
//
// Given several strings, a candidate is where any of them is (every line when there are none).
class BlockSearcher {
public:
    BlockSearcher(const QString &needle, bool caseSensitive);
    BlockSearcher(const QStringList &needles, bool caseSensitive);

    // A new file begins: positions remembered from the last one no longer hold.
    void clear();
    // First candidate of data[from, size) or -1. base is the file offset of data[0]: the same
    // offset always holds the same byte within one file.
    qsizetype find(const char *data, qsizetype size, qsizetype from, qint64 base) const;
    // How many bytes at the end of a searched part must be searched again once more arrives.
    qsizetype overlap() const { return mlOverlap; }
    // Bytes of the longest string looked for.
    qsizetype longest() const { return mlOverlap + 1; }

private:
    // A byte string found by two of its bytes 16 places at a time, then compared whole; the
    // bytes of mMask are or-ed into the text first (0x20 at letters matches either case).
    struct Pattern {
        QByteArray bytes;
        QByteArray mask;
        qsizetype first = 0, second = 0; // offsets of the two rarest bytes
        bool exact = true;               // no mask bit set
        void prepare();
        qsizetype find(const char *hay, qsizetype size, qsizetype from) const;
        bool matchesAt(const char *at) const;

        // The vector loops of find: from i on, while a whole vector fits before end; i is left
        // where they stop. They give what find gives, or kGoOn when nothing was found.
        static constexpr qsizetype kGoOn = -2;
        template <bool Exact>
        qsizetype findAvx2(const char *hay, qsizetype size, qsizetype from, qsizetype end,
                           qsizetype &i, qsizetype &misses) const;
        qsizetype findSse2(const char *hay, qsizetype size, qsizetype from, qsizetype end,
                           qsizetype &i, qsizetype &misses) const;
        // A place where both filter bytes match: at when the pattern is there, else kGoOn, or
        // memmem's answer once too many places were false.
        qsizetype verify(const char *hay, qsizetype size, qsizetype from, qsizetype at,
                         qsizetype &misses) const;
        // verify for each place i + k of the bits k set, in turn.
        qsizetype verifyAll(const char *hay, qsizetype size, qsizetype from, qsizetype i,
                            quint64 bits, qsizetype &misses) const;
    };
    // One of several strings any of which is a candidate; remembers where it was last found so
    // that repeated searches stay linear.
    struct Alternative {
        Pattern pattern;
        mutable qint64 searchedFrom = -1; // file offset the last search began at
        mutable qint64 searchedTo = -1;   // ... and the end of the data it had
        mutable qint64 foundAt = -1;      // its first occurrence there, -1 for none
    };

    void addNeedle(const QString &needle, bool caseSensitive);
    qsizetype findAlternative(const char *data, qsizetype size, qsizetype from, qint64 base) const;

    bool mbEveryLine = false;
    bool mbHasMain = false;
    Pattern mMain;
    std::vector<Alternative> mAlternatives;
    qsizetype mlOverlap = 0;
};
