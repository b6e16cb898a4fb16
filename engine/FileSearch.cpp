#include "FileSearch.h"

#include "Avx2.h"
#include "BlockSearcher.h"
#include "Characters.h"
#include "LineRules.h"
#include "RegexMatcher.h"
#include "TavrinEXERuntime.h"
#include "TextStream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TavrinEXE {

namespace {
qsizetype glBlockSize = FileSearch::kBlockSize;
// Bytes whose line ends may be left uncounted; reading them again takes well under a ms.
constexpr qint64 kCountDebt = 256 * 1024;
qint32 glLastLineNumber = std::numeric_limits<qint32>::max();

PlatformError overflow() {
    return {6, QStringLiteral("Overflow")};
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) qint64 countLineEndsAvx2(const char *&from, const char *to) {
    qint64 total = 0;
    const __m256i lf = _mm256_set1_epi8('\n');
    while (to - from >= 32) {
        // Byte counters, summed before any of them can pass 255.
        const qsizetype blocks = std::min<qsizetype>((to - from) / 32, 255);
        __m256i counts = _mm256_setzero_si256();
        for (qsizetype i = 0; i < blocks; ++i, from += 32)
            counts = _mm256_sub_epi8(
                counts, _mm256_cmpeq_epi8(
                            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(from)), lf));
        const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
        total += _mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                 _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3);
    }
    return total;
}
#endif

// Line ends in [from, to). Hand-written: std::count widens every byte it compares.
qint64 countLineEnds(const char *from, const char *to) {
    qint64 total = 0;
#if defined(__x86_64__)
    if (useAvx2())
        total += countLineEndsAvx2(from, to);
#endif
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    while (to - from >= 16) {
        const qsizetype blocks = std::min<qsizetype>((to - from) / 16, 255);
        __m128i counts = _mm_setzero_si128();
        for (qsizetype i = 0; i < blocks; ++i, from += 16)
            counts = _mm_sub_epi8(
                counts,
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from)), lf));
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        total += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
#endif
    return total + std::count(from, to, '\n');
}

// Units of the longest prefix of text, ending at a character boundary, whose UTF-8 form takes
// at most budget bytes; bytes gets the size of that form.
qsizetype prefixWithin(QStringView text, qint64 budget, qint64 &bytes) {
    bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text.at(i).unicode();
        qsizetype units = 1;
        qint64 length = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            units = 2;
            length = 4;
        }
        if (bytes + length > budget)
            break;
        bytes += length;
        i += units;
    }
    return i;
}

// Where a piece of a streamed line may end so that decoding the pieces one by one gives the
// text of decoding the line whole: never inside a UTF-8 sequence, never right after a CR.
qsizetype safeCut(const char *data, qsizetype n) {
    qsizetype cut = n;
    for (qsizetype k = 1; k <= 3 && k <= n; ++k) {
        const auto c = static_cast<unsigned char>(data[n - k]);
        if (c >= 0xC0) {
            cut = n - k;
            break;
        }
        if (c < 0x80)
            break;
    }
    if (cut > 0 && data[cut - 1] == '\r')
        --cut;
    return cut;
}

// One line matched as MatchLine matches it, given piece by piece: only the part where the
// occurrence that counts may still begin is kept, and the text up to the limit of a finding.
class StreamedLine {
public:
    // With a regular expression, the line is matched on the text a finding keeps.
    StreamedLine(const QString &needle, bool caseSensitive, bool wholeWord,
                 const RegexMatcher *regex, MatchPause &pause)
        : msNeedle(needle), mCs(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive),
          mbWholeWord(wholeWord), mRegex(regex), mPause(pause) {}

    void feed(const QString &piece, bool last);
    bool needsText() const { return mState != State::None && !mbTextFull; }
    bool decided() const { return mState == State::Found || mState == State::None; }
    qint64 column() const { return mState == State::Found ? mlColumn : 0; }
    QString text() const { return msText; }

private:
    enum class State { Searching, AwaitingNext, Found, None };
    void appendText(const QString &piece);
    void dropFront(qsizetype n);
    bool nextOccurrence();

    const QString &msNeedle;
    const Qt::CaseSensitivity mCs;
    const bool mbWholeWord;
    const RegexMatcher *const mRegex;
    MatchPause &mPause;
    State mState = State::Searching;
    QString mWindow;          // decoded text from where an occurrence may still begin
    qint64 mlCharsBefore = 0; // characters of the line before mWindow
    char16_t mBefore = 0;     // the unit just before mWindow, 0 at the line's start
    qsizetype mlSearchFrom = 0;
    qsizetype mlAt = -1; // the occurrence in mWindow being tested
    qint64 mlColumn = 0;
    QString msText;
    qint64 mlTextBytes = 0;
    bool mbTextFull = false;
};

void StreamedLine::appendText(const QString &piece) {
    if (mbTextFull)
        return;
    qint64 bytes = 0;
    const qsizetype units = prefixWithin(piece, FileSearch::kTextLimit - mlTextBytes, bytes);
    msText += QStringView(piece).left(units);
    mlTextBytes += bytes;
    mbTextFull = units < piece.size();
}

void StreamedLine::dropFront(qsizetype n) {
    mlCharsBefore += characterCount(mWindow, n, mBefore);
    mBefore = mWindow.at(n - 1).unicode();
    mWindow.remove(0, n);
}

void StreamedLine::feed(const QString &piece, bool last) {
    if (mState == State::None)
        return;
    appendText(piece);
    if (mState == State::Found)
        return;
    if (mRegex) {
        if (last || mbTextFull) {
            mlColumn = mRegex->match(msText, &mPause);
            mState = mlColumn > 0 ? State::Found : State::None;
        }
        return;
    }
    mWindow += piece;
    const auto isDelimiter = [](char16_t c) { return LineRules::IsDelimiter(c); };
    for (;;) {
        if (mState == State::Searching) {
            const qsizetype at = mWindow.indexOf(msNeedle, mlSearchFrom, mCs);
            if (at < 0) {
                if (last) {
                    mState = State::None;
                    return;
                }
                // An occurrence not yet seen begins in the last needle-length units at the
                // earliest; one unit more is kept for the test of the character before it.
                const qsizetype keep = msNeedle.size();
                const qsizetype dropped = std::max<qsizetype>(0, mWindow.size() - keep);
                if (dropped > 0)
                    dropFront(dropped);
                mlSearchFrom = std::max<qsizetype>(
                    {0, mlSearchFrom - dropped, mWindow.size() - msNeedle.size() + 1});
                return;
            }
            mlAt = at;
            if (!mbWholeWord)
                break;
            const char16_t before = at > 0 ? mWindow.at(at - 1).unicode() : mBefore;
            if (before != 0 && !isDelimiter(before)) {
                if (!nextOccurrence())
                    return;
                continue;
            }
            mState = State::AwaitingNext;
        }
        const qsizetype after = mlAt + msNeedle.size();
        if (after < mWindow.size()) {
            if (isDelimiter(mWindow.at(after).unicode()))
                break;
            if (!nextOccurrence())
                return;
            continue;
        }
        if (!last)
            return; // the character after it is still to come
        break;
    }
    mlColumn = mlCharsBefore + characterCount(mWindow, mlAt, mBefore) + 1;
    if (mlColumn > std::numeric_limits<qint32>::max())
        throw overflow();
    mState = State::Found;
    mWindow.clear();
}

// The occurrence at mlAt does not stand alone: the search goes on from the place after it.
bool StreamedLine::nextOccurrence() {
    if (msNeedle.isEmpty()) {
        mState = State::None;
        mWindow.clear();
        return false;
    }
    mlSearchFrom = mlAt + 1;
    mState = State::Searching;
    return true;
}
} // namespace

void FileSearch::setBlockSize(qsizetype lBytes) {
    glBlockSize = lBytes;
}

void FileSearch::setLastLineNumber(qint32 lLast) {
    glLastLineNumber = lLast;
}

const QString &FileSearch::decodeLine(qint64 from, qint64 to) {
    // As QString::fromUtf8 decodes: a byte order mark at the start dropped, each bad sequence
    // one U+FFFD.
    const QByteArrayView bytes(at(from), to - from);
    mLine.resize(mUtf8.requiredSpace(bytes.size())); // keeps the buffer of the line before
    mLine.truncate(mUtf8.appendToBuffer(mLine.data(), bytes) - mLine.constData());
    return mLine;
}

QString FileSearch::cutText(const QString &line) {
    if (line.size() * 3 <= kTextLimit)
        return line;
    qint64 bytes = 0;
    const QString cut = line.left(prefixWithin(line, kTextLimit, bytes));
    Q_ASSERT(cut.toUtf8().size() <= kTextLimit);
    return cut;
}

FileSearch::FileSearch(SearchContext &context, TextStream &stream, std::function<QString()> path,
                       std::vector<char> &buffer)
    : mContext(context), mStream(stream), mPause([this] { return mContext.turnInMatch(); }),
      mPathOf(std::move(path)), mBuffer(buffer) {}

const QString &FileSearch::path() {
    if (msPath.isNull())
        msPath = mPathOf();
    return msPath;
}

void FileSearch::useCurrentSearcher() {
    mRules = &mContext.rules();
    mSearcher = &mRules->searcher();
    mlVersion = mContext.settingsVersion();
    mlLongest = std::max(mlLongest, mSearcher->longest());
}

qint64 FileSearch::capacity() const {
    return std::max<qint64>(2 * glBlockSize, mSearcher->longest() + glBlockSize);
}

// The invariants of the offsets (see the class), where assertions are compiled in.
void FileSearch::checkOffsets() const {
    Q_ASSERT(mSize >= 0 && mSize <= qint64(mBuffer.size()));
    Q_ASSERT(mBase <= mSearched && mLineStart <= mSearched);
    Q_ASSERT(mSearched <= mLfFreeUntil && mLfFreeUntil <= mBase + mSize);
    Q_ASSERT(mBase - mCountedTo <= kCountDebt);
}

// As far as the buffer shows them: a line end reads the whole buffered part, so this is called
// once a block.
void FileSearch::checkLineEnds() const {
    const auto noLineEnd = [this](qint64 from, qint64 to) {
        from = std::max(from, mBase);
        to = std::min(to, mBase + mSize);
        return from >= to || !std::memchr(at(from), '\n', to - from);
    };
    Q_ASSERT(noLineEnd(mLineStart, mLfFreeUntil));
    Q_ASSERT(noLineEnd(mLineStart, mCountedTo));
}

// Counting is put off until a line number is needed: most files have no finding. Bytes that
// have left the buffer by then are read again to be counted; readBlock keeps that debt small.
// (A large file counts the bytes as they leave, see countLeaving.)
void FileSearch::countToLineStart() {
    countTo(mLineStart);
}

void FileSearch::countTo(qint64 to) {
    Q_ASSERT(to <= mLineStart);
    if (mCountedTo >= to)
        return;
    const qint64 inBuffer = std::max(mBase, mCountedTo);
    if (mCountedTo < mBase) {
        mScratch.resize(glBlockSize);
        const qint64 gone = std::min(mBase, to);
        while (mCountedTo < gone) {
            const qint64 n = mStream.ReadBlockAt(
                mScratch.data(), std::min<qint64>(glBlockSize, gone - mCountedTo), mCountedTo);
            if (n == 0)
                break; // the file shrank: nothing more to count
            mLinesBefore += countLineEnds(mScratch.data(), mScratch.data() + n);
            mCountedTo += n;
        }
    }
    if (inBuffer < to)
        mLinesBefore += countLineEnds(at(inBuffer), at(to));
    mCountedTo = to;
}

void FileSearch::countLeaving(qint64 to) {
    Q_ASSERT(to <= mLfFreeUntil);
    countTo(std::min(to, mLineStart));
    // [lineStart, to) lies before lfFreeUntil, in the current line: it holds no line end.
    mCountedTo = std::max(mCountedTo, to);
}

void FileSearch::setLineStart(qint64 offset) {
    mLineStart = offset;
    if (offset < mBase + mSize)
        checkLineNumber();
}

// The line number is checked once a line has a byte; counting is put off while the bytes
// before it could not hold enough line ends to pass the limit.
void FileSearch::checkLineNumber() {
    if (1 + mLinesBefore + std::max<qint64>(0, mLineStart - mCountedTo) <= glLastLineNumber)
        return;
    countToLineStart();
    if (1 + mLinesBefore > glLastLineNumber)
        throw overflow();
}

void FileSearch::run(qint64 from, qint64 linesBefore) {
    useCurrentSearcher();
    mSearcher->clear();
    mBase = mLineStart = mSearched = mLfFreeUntil = mCountedTo = from;
    mLinesBefore = linesBefore;
    readBlock();
    if (from == 0 && mContext.skipsBinaryFiles() && std::memchr(mBuffer.data(), 0, mSize))
        return; // a NUL in the first block: a binary file, left out whole
    for (;;) {
        if (searchBuffer() == Next::Done)
            return;
        if (mContext.yieldAndCheckAbort())
            return;
        afterYield();
        if (!mEof)
            readBlock();
    }
}

// Settings changed at a yield apply from the current line on: it is searched again, from its
// start, by a searcher for the new settings.
void FileSearch::afterYield() {
    if (mContext.settingsVersion() == mlVersion)
        return;
    useCurrentSearcher();
    mSearched = mLineStart;
    mLfFreeUntil = std::max(mLfFreeUntil, mLineStart);
    if (mLineStart < mBase) { // the line's start is gone: read it again
        mBase = mLineStart;
        mSize = 0;
        mEof = false;
        mLfFreeUntil = mLineStart;
    }
    checkOffsets();
}

void FileSearch::readBlock() {
    const qint64 block = glBlockSize;
    const qint64 room = capacity();
    if (qint64(mBuffer.size()) - mSize < block) {
        // Keep the current line while it fits, else only what is still to be searched.
        const bool fits = mLineStart >= mBase && mBase + mSize - mLineStart + block <= room;
        qint64 keepFrom = fits ? mLineStart : mSearched;
        keepFrom = std::max(keepFrom, mBase);
        // Bytes that leave uncounted would have to be read again for a line number. A file
        // larger than kCountDebt counts them as they leave; a smaller one leaves at most that.
        if (mStream.size() > kCountDebt || keepFrom - mCountedTo > kCountDebt)
            countLeaving(keepFrom);
        const qint64 drop = keepFrom - mBase;
        if (drop > 0) {
            std::memmove(mBuffer.data(), mBuffer.data() + drop, mSize - drop);
            mSize -= drop;
            mBase = keepFrom;
        }
        if (qint64(mBuffer.size()) - mSize < block) {
            // More than room only for a line kept for a longer string of earlier settings.
            Q_ASSERT(mSize + block <= std::max(room, mlLongest + block));
            mBuffer.resize(std::max(room, mSize + block));
        }
    }
    const qint64 n = mStream.ReadBlockAt(mBuffer.data() + mSize, block, mBase + mSize);
    mSize += n;
    mEof = n < block;
    checkOffsets();
    checkLineEnds();
}

FileSearch::Next FileSearch::searchBuffer() {
    const qint64 end = mBase + mSize;
    if (mLineStart >= mBase && mLineStart < end)
        checkLineNumber();
    for (;;) {
        checkOffsets();
        const qsizetype hit = mSearcher->find(mBuffer.data(), mSize, mSearched - mBase, mBase);
        if (hit < 0) {
            // The lines that end before the end of the buffer hold no candidate.
            const qint64 from = std::max({mLfFreeUntil, mLineStart, mBase});
            if (const void *lastEnd = ::memrchr(at(from), '\n', end - from))
                setLineStart(static_cast<const char *>(lastEnd) - at(mBase) + mBase + 1);
            mLfFreeUntil = end;
            if (mStream.size() > kCountDebt)
                countLeaving(end); // now, while the block is in the cache
            mSearched = std::max({mLineStart, end - mSearcher->overlap(), mBase});
            checkOffsets();
            checkLineEnds();
            return mEof ? Next::Done : Next::More;
        }
        const qint64 candidate = mBase + hit;
        if (candidate > mLfFreeUntil) {
            const qint64 from = std::max({mLfFreeUntil, mLineStart, mBase});
            if (const void *lastEnd = ::memrchr(at(from), '\n', candidate - from))
                setLineStart(static_cast<const char *>(lastEnd) - at(mBase) + mBase + 1);
            mLfFreeUntil = candidate;
        }
        const qint64 scanFrom = std::max(candidate, mLfFreeUntil);
        const void *lineEnd = std::memchr(at(scanFrom), '\n', end - scanFrom);
        if (!lineEnd && !mEof) {
            mSearched = candidate; // found again once the line is complete
            mLfFreeUntil = end;
            if (mLineStart >= mBase && end - mLineStart + glBlockSize <= capacity())
                return Next::More;
            return matchLongLine();
        }
        if (mLineStart < mBase)
            return matchLongLine();

        const qint64 stop = lineEnd ? static_cast<const char *>(lineEnd) - at(mBase) + mBase : end;
        qint64 textEnd = stop;
        if (lineEnd && textEnd > mLineStart && *at(textEnd - 1) == '\r')
            --textEnd;
        // A line the pattern surely passes over is neither decoded nor matched, and gives no
        // yield: the yields between blocks come often enough.
        const RegexMatcher *regex = mRules->regex();
        const bool matched =
            !regex || regex->mayMatch(at(mLineStart), textEnd - mLineStart, &mPause);
        if (matched) {
            const QString &line = decodeLine(mLineStart, textEnd);
            const qint32 lColumn = mRules->MatchLine(line, &mPause);
            if (lColumn > 0) {
                countToLineStart();
                mContext.addFinding(path(), qint32(1 + mLinesBefore), lColumn, cutText(line),
                                    lineEnd ? stop + 1 : -1);
            }
        }
        if ((matched && mContext.yieldAndCheckAbort()) || !lineEnd)
            return Next::Done;
        setLineStart(stop + 1);
        mSearched = mLineStart;
        mLfFreeUntil = mLineStart;
        if (matched)
            afterYield();
    }
}

// The current line holds a candidate but does not fit in the buffer: it is matched by reading
// it again from its start, and the search goes on after it with an empty buffer.
FileSearch::Next FileSearch::matchLongLine() {
    countToLineStart(); // before streaming overwrites the buffer
    const LongLine line = streamLine(mLineStart);
    if (line.aborted)
        return Next::Done;
    if (line.column > 0)
        mContext.addFinding(path(), qint32(1 + mLinesBefore), line.column, line.text,
                            line.ended ? line.end + 1 : -1);
    if (mContext.yieldAndCheckAbort() || !line.ended)
        return Next::Done;
    mLinesBefore += 1;
    mBase = line.end + 1;
    mSize = 0;
    mEof = false;
    mCountedTo = mBase;
    setLineStart(mBase);
    mSearched = mLineStart;
    mLfFreeUntil = mLineStart;
    afterYield();
    return Next::More;
}

FileSearch::LongLine FileSearch::streamLine(qint64 from) {
    const qsizetype piece = std::max<qsizetype>(glBlockSize, 16);
    if (qsizetype(mBuffer.size()) < piece)
        mBuffer.resize(piece);
    char *data = mBuffer.data(); // the buffer's bytes are not needed any more
    for (;;) {                   // again from the line's start when the settings change
        useCurrentSearcher();
        const quint64 version = mlVersion;
        const LineRules::Settings &settings = mRules->settings();
        StreamedLine match(settings.sFind, settings.caseSensitive, settings.wholeWord,
                           mRules->regex(), mPause);
        qint64 offset = from;
        for (;;) {
            const qint64 n = mStream.ReadBlockAt(data, piece, offset);
            const auto *lineEnd = static_cast<const char *>(std::memchr(data, '\n', n));
            const bool last = lineEnd || n < piece;
            const qsizetype take = lineEnd ? lineEnd - data : last ? n : safeCut(data, n);
            if (!match.decided() || match.needsText()) {
                qsizetype textEnd = take;
                if (lineEnd && textEnd > 0 && data[textEnd - 1] == '\r')
                    --textEnd;
                match.feed(QString::fromUtf8(data, textEnd), last);
            }
            if (last) {
                LongLine line;
                line.column = qint32(match.column());
                line.text = match.text();
                line.end = offset + take;
                line.ended = lineEnd != nullptr;
                Q_ASSERT(line.text.toUtf8().size() <= kTextLimit);
                return line;
            }
            offset += take;
            if (mContext.yieldAndCheckAbort()) {
                LongLine aborted;
                aborted.aborted = true;
                return aborted;
            }
            if (mContext.settingsVersion() != version)
                break;
        }
    }
}

} // namespace TavrinEXE
