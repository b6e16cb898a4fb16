#pragma once

#include <QString>
#include <functional>
#include <vector>

class BlockSearcher;
class TextStream;

namespace TavrinEXE {

class Scan;

// The search of one file, block by block: only lines where the prefilter (BlockSearcher) finds
// a candidate are decoded and matched; the others are only counted. What it reports is what
// reading and matching every line in turn would report: the same findings, line numbers and
// columns, a yield after every matched line, settings read again after every yield.
//
// Invariants, all positions being file offsets:
// - the buffer holds [base, base + size) and never more than max(2 blocks, the longest
//   searched string + 1 block), whatever the length of a line;
// - lineStart is where the current line begins; while the line fits in the buffer, base <=
//   lineStart; a longer line is searched on with its start dropped, and when it holds a
//   candidate it is matched by streaming it again from lineStart (matchLongLine), in pieces,
//   yielding between them;
// - no candidate of the current searcher begins in [lineStart, searched);
// - [lineStart, lfFreeUntil) holds no line end;
// - linesBefore counts the line ends before countedTo; countedTo passes lineStart only inside
//   the current line, where no line end is; the line ends of [countedTo, lineStart) are
//   counted only when a line number is needed (a finding, the line limit), reading again what
//   has left the buffer, at most 256 KiB; a file larger than that counts bytes as they leave;
// - the text kept for a finding is cut to kTextLimit bytes of UTF-8 at a character boundary.
class FileSearch {
public:
    static constexpr qint64 kTextLimit = 1024 * 1024;
    // Reads of 32 KiB cost the system less per byte here than larger ones (their target stays in
    // the cache) and keep the yields inside a long line far less than 2 ms apart.
    static constexpr qsizetype kBlockSize = 32 * 1024;

    // path gives the file's path as reported; it is asked for at the first finding only.
    FileSearch(Scan &scan, TextStream &stream, std::function<QString()> path,
               std::vector<char> &buffer);
    // Searches the whole file, or up to an abort. Throws PlatformError when reading fails or a
    // line number passes the limit.
    void run();

    // The line text as a finding keeps it.
    static QString cutText(const QString &line);

    // Seams for tests: the size of the blocks read, the largest line number.
    static void setBlockSize(qsizetype lBytes);
    static void setLastLineNumber(qint32 lLast);

private:
    enum class Next { More, Done };
    struct LongLine {
        qint32 column = 0; // 0: no finding
        QString text;
        qint64 end = -1;    // offset of its line end, or of the end of the file
        bool ended = false; // by a line end
        bool aborted = false;
    };

    Next searchBuffer();
    void readBlock();
    Next matchLongLine();
    LongLine streamLine(qint64 from);
    void afterYield();
    void useCurrentSearcher();
    void setLineStart(qint64 offset);
    void checkLineNumber();
    void countToLineStart();
    void countTo(qint64 to); // to <= lineStart
    void countLeaving(qint64 to); // to <= lfFreeUntil, before bytes up to it leave the buffer
    qint64 capacity() const;
    const char *at(qint64 offset) const { return mBuffer.data() + (offset - mBase); }

    Scan &mScan;
    TextStream &mStream;
    const QString &path();

    std::function<QString()> mPathOf;
    QString msPath; // once asked for
    std::vector<char> &mBuffer;
    std::vector<char> mScratch; // for counting bytes that have left mBuffer
    BlockSearcher *mSearcher = nullptr;
    quint64 mlVersion = 0; // settings version mSearcher was made for

    qint64 mBase = 0;
    qint64 mSize = 0;
    bool mEof = false;
    qint64 mLineStart = 0;
    qint64 mSearched = 0;
    qint64 mLfFreeUntil = 0;
    qint64 mCountedTo = 0;
    qint64 mLinesBefore = 0;
};

} // namespace TavrinEXE
