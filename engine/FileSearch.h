#pragma once

#include "MatchPause.h"

#include <QString>
#include <QStringDecoder>
#include <functional>
#include <vector>

class BlockSearcher;
class LineRules;
class TextStream;

namespace TavrinEXE {

// What a file search asks of the side it serves (the scan, or the helper searching ahead of
// it): the line rules of now, the yields, and where the findings go.
class SearchContext {
public:
    // The rules for the settings of now; settingsVersion changes with every write of a setting
    // they depend on.
    virtual LineRules &rules() = 0;
    virtual quint64 settingsVersion() const = 0;
    virtual bool skipsBinaryFiles() const = 0;
    // A yield: events are served; true when the search is to stop there.
    virtual bool yieldAndCheckAbort() = 0;
    // A turn taken from inside a long match of a pattern, about every millisecond of it: true
    // when the search is to stop (the match is abandoned, and the next yield stops it).
    virtual bool turnInMatch() = 0;
    // A line the rules accept; next is the offset of the line after it, -1 when it is the last.
    virtual void addFinding(const QString &path, qint32 lLine, qint32 lColumn,
                            const QString &line, qint64 next) = 0;

protected:
    ~SearchContext() = default;
};

// The search of one file, block by block: only lines where the prefilter (BlockSearcher) finds
// a candidate are decoded and matched; the others are only counted. What it reports is what
// reading and matching every line in turn would report: the same findings, line numbers and
// columns, a yield after every matched line, settings read again after every yield.
//
// Invariants, all positions being file offsets:
// - the buffer holds [base, base + size) and grows to no more than max(2 blocks, the longest
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
    FileSearch(SearchContext &context, TextStream &stream, std::function<QString()> path,
               std::vector<char> &buffer);
    // Searches the file from the line beginning at offset from, linesBefore line ends before it
    // (the whole file by default), up to its end or an abort. Throws PlatformError when reading
    // fails or a line number passes the limit.
    void run(qint64 from = 0, qint64 linesBefore = 0);

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
    void checkOffsets() const;
    void checkLineEnds() const;
    const char *at(qint64 offset) const { return mBuffer.data() + (offset - mBase); }
    const QString &decodeLine(qint64 from, qint64 to);

    SearchContext &mContext;
    LineRules *mRules = nullptr; // of settings version mlVersion
    TextStream &mStream;
    const QString &path();

    MatchPause mPause;
    std::function<QString()> mPathOf;
    QString msPath; // once asked for
    // The candidate line decoded, in one buffer for the file: a scan decodes millions of them,
    // and a string each is an allocation each, amid the texts the findings keep.
    QString mLine;
    QStringDecoder mUtf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    std::vector<char> &mBuffer;
    std::vector<char> mScratch; // for counting bytes that have left mBuffer
    BlockSearcher *mSearcher = nullptr;
    quint64 mlVersion = 0; // settings version mSearcher was made for
    qint64 mlLongest = 0;  // the longest string of the searchers used so far

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
