#include "Scan.h"

#include "DoEvents.h"
#include "FileSystemObject.h"
#include "GetTickCount.h"
#include "PlatformError.h"
#include "TavrinX.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TavrinEXE {

namespace {
qsizetype glBlockSize = 256 * 1024;
qint32 glLastLineNumber = std::numeric_limits<qint32>::max();

PlatformError overflow() {
    return {6, QStringLiteral("Overflow")};
}
} // namespace

Scan::Scan(TavrinX &engine) : mEngine(engine) {}

void Scan::setLastLineNumber(qint32 lLast) {
    glLastLineNumber = lLast;
}

void Scan::setBlockSize(qsizetype lBytes) {
    glBlockSize = lBytes;
}

void Scan::RunScan() {
    mEngine.mclnFileNames_ = std::make_shared<Collection>();
    mEngine.mclnLines_ = std::make_shared<Collection>();
    mEngine.mclnColumns_ = std::make_shared<Collection>();
    mEngine.mclnItemsFound_ = std::make_shared<Collection>();
    mEngine.mclnResults_ = std::make_shared<Collection>();
    emit mEngine.ScanStarted();

    ScanFolder(mEngine.msSearchPath);

    const qint32 lEnd = GetTickCount();
    mEngine.mlSearchTime = TickSpan(mEngine.mlSearchTime, lEnd);
    mEngine.mlSearchCount = mEngine.mclnFileNames_->Count();
    if (mEngine.mbAbort == vbFalse)
        emit mEngine.ScanCompleted();
}

void Scan::ScanFolder(const QString &path) {
    std::optional<Folder> folder;
    {
        std::vector<File> files; // holds the folder open while its files are read
        try {
            folder = mEngine.mobjFSO->GetFolder(path);
            files = folder->Files();
        } catch (const PlatformError &e) {
            // A folder that cannot be listed is reported like an unreadable file; the walk goes
            // on.
            raiseError(FileSystemObject::normalPath(path), e.description());
            return;
        }
        for (const File &file : files) {
            DoEvents();
            if (mEngine.mbAbort != vbFalse)
                return;
            if (mEngine.msSearchExt == QLatin1String("*.*") ||
                FileTypeMatches(mEngine.mobjFSO->GetExtensionName(file.Path())) != vbFalse)
                ScanFile(file);
        }
    }
    if (mEngine.mbLookInSubfolders == vbFalse)
        return;
    std::vector<Folder> subFolders;
    try {
        subFolders = folder->SubFolders();
    } catch (const PlatformError &e) {
        raiseError(folder->Path(), e.description());
        return;
    }
    for (const Folder &subFolder : subFolders) {
        if (mEngine.mbAbort != vbFalse)
            return;
        ScanFolder(path + u'/' + subFolder.Name());
    }
}

VBool Scan::FileTypeMatches(const QString &extension) const {
    const QString &sExt = mEngine.msSearchExt;
    if (sExt == QLatin1String("*.*"))
        return vbTrue;
    return toVBool(sExt.contains(QLatin1String("*.") + extension.toLower(), Qt::CaseInsensitive));
}

void Scan::ScanFile(const File &file) {
    std::unique_ptr<TextStream> stream;
    QString description;
    const QString path = file.Path();
    try {
        stream = file.OpenAsTextStream();
        readLines(*stream, path);
        stream->Close();
        return;
    } catch (const PlatformError &e) {
        description = e.description();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("Out of memory");
    }
    if (stream)
        stream->Close();
    raiseError(path, description);
}

namespace {
// Line ends in [from, to). Hand-written: std::count widens every byte it compares.
qint64 countLineEnds(const char *from, const char *to) {
    qint64 total = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    while (to - from >= 16) {
        // Byte counters, summed before any of them can pass 255.
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
} // namespace

// Reads the file block by block. Only the lines where the searcher finds a candidate are decoded
// and matched; the rest are only counted, and that only when a finding or the line limit needs
// their number or before their bytes are dropped. The findings, their line numbers and columns
// are those of reading and matching every line in turn.
void Scan::readLines(TextStream &stream, const QString &path) {
    qsizetype size = 0;        // bytes of mBuffer in use
    qsizetype start = 0;       // first byte of the current line
    qsizetype searched = 0;    // no candidate of the current settings before this
    qsizetype lfFreeUntil = 0; // [start, lfFreeUntil) holds no line end
    qsizetype countedTo = 0;   // the line ends before this are counted in lLine
    qint64 lLine = 1;          // number of the line that begins at start, less the line ends
                               // of [countedTo, start)
    bool eof = false;
    if (mSearcher)
        mSearcher->clear();

    const char *data = mBuffer.data();
    const auto countToStart = [&] {
        lLine += countLineEnds(data + countedTo, data + start);
        countedTo = start;
    };
    const auto checkLineNumber = [&] {
        if (lLine + (start - countedTo) <= glLastLineNumber) // a line end takes a byte at least
            return;
        countToStart();
        if (lLine > glLastLineNumber)
            throw overflow();
    };
    const auto prepareSearcher = [&] {
        if (mSearcher && mlSearcherVersion == mEngine.mlSettingsVersion)
            return;
        mSearcher.emplace(mEngine.msSearchString, mEngine.mbCaseSensitive == vbTrue);
        mlSearcherVersion = mEngine.mlSettingsVersion;
        mSearcher->appended(data, size, 0);
        searched = start;
    };

    for (;;) {
        if (!eof) {
            if (qsizetype(mBuffer.size()) - size < glBlockSize && start > 0) {
                countToStart();
                size -= start;
                std::memmove(mBuffer.data(), mBuffer.data() + start, size);
                if (mSearcher)
                    mSearcher->removedPrefix(start);
                searched -= start;
                lfFreeUntil -= start;
                countedTo = 0;
                start = 0;
            }
            if (qsizetype(mBuffer.size()) - size < glBlockSize)
                mBuffer.resize(
                    std::max({size + glBlockSize, 2 * glBlockSize, qsizetype(mBuffer.size()) * 2}));
            data = mBuffer.data();
            const qsizetype oldSize = size;
            size += stream.ReadBlock(mBuffer.data() + size, glBlockSize);
            if (size == oldSize)
                eof = true;
            else if (mSearcher)
                mSearcher->appended(data, size, oldSize);
        }
        if (start >= size) {
            if (eof)
                return;
            continue;
        }
        checkLineNumber();
        prepareSearcher();

        for (;;) {
            const qsizetype hit = mSearcher->find(data, size, std::max(searched, start));
            if (hit < 0) {
                const void *lastEnd = ::memrchr(data + lfFreeUntil, '\n', size - lfFreeUntil);
                if (lastEnd) {
                    start = static_cast<const char *>(lastEnd) - data + 1;
                    if (start < size)
                        checkLineNumber();
                }
                lfFreeUntil = size;
                searched = std::max(start, size - mSearcher->overlap());
                if (eof)
                    return;
                break;
            }
            if (hit > lfFreeUntil) {
                if (const void *end = ::memrchr(data + lfFreeUntil, '\n', hit - lfFreeUntil)) {
                    start = static_cast<const char *>(end) - data + 1;
                    checkLineNumber();
                }
                lfFreeUntil = hit;
            }
            const qsizetype scanFrom = std::max(hit, lfFreeUntil);
            const void *end = ::memchr(data + scanFrom, '\n', size - scanFrom);
            if (!end && !eof) {
                searched = hit; // the line goes on in the next block
                lfFreeUntil = size;
                break;
            }
            const qsizetype lineEnd = end ? static_cast<const char *>(end) - data : size;
            qsizetype textEnd = lineEnd;
            if (end && textEnd > start && data[textEnd - 1] == '\r')
                --textEnd;
            const QString line = QString::fromUtf8(data + start, textEnd - start);
            const qint32 lColumn = MatchLine(line);
            if (lColumn > 0) {
                countToStart();
                addFinding(path, static_cast<qint32>(lLine), lColumn, line);
            }
            if (yieldAndCheckAbort() || !end)
                return;
            start = lineEnd + 1;
            searched = start;
            lfFreeUntil = start;
            if (start < size)
                checkLineNumber();
            prepareSearcher();
        }
        if (yieldAndCheckAbort())
            return;
        prepareSearcher();
    }
}

bool Scan::yieldAndCheckAbort() {
    DoEvents();
    return mEngine.mbAbort != vbFalse;
}

qint32 Scan::MatchLine(const QString &line) const {
    const QString &sFind = mEngine.msSearchString;
    const Qt::CaseSensitivity cs =
        mEngine.mbCaseSensitive == vbTrue ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // As the runtime's substring search: an empty string is found at the start of a non-empty
    // text.
    const qsizetype at = sFind.isEmpty() ? (line.isEmpty() ? -1 : 0) : line.indexOf(sFind, 0, cs);
    if (at < 0)
        return 0;

    qint64 lPosition = at + 1; // in characters: the second half of a pair does not count
    for (qsizetype i = 0; i < at; ++i)
        lPosition -= line.at(i).isLowSurrogate() && i > 0 && line.at(i - 1).isHighSurrogate();
    if (lPosition > std::numeric_limits<qint32>::max())
        throw overflow();
    const auto position = static_cast<qint32>(lPosition);

    if (mEngine.mbWholeWordOnly == vbFalse)
        return position;
    if (line.size() == sFind.size())
        return position;
    if (at > 0 && IsDelimiter(line.at(at - 1).unicode()) == vbFalse)
        return 0;
    const qsizetype after = at + sFind.size();
    if (after < line.size())
        return IsDelimiter(line.at(after).unicode()) != vbFalse ? position : 0;
    return position;
}

VBool Scan::IsDelimiter(qint32 code) {
    const bool word = (code >= 48 && code <= 57) || (code >= 65 && code <= 90) || code == 95 ||
                      (code >= 97 && code <= 122);
    return toVBool(!word);
}

void Scan::addFinding(const QString &path, qint32 lLine, qint32 lColumn, const QString &line) {
    mEngine.mclnFileNames_->Add(path);
    mEngine.mclnLines_->Add(lLine);
    mEngine.mclnColumns_->Add(lColumn);
    mEngine.mclnItemsFound_->Add(line);
    mEngine.mclnResults_->AddRecord(path, lLine, lColumn, line);
}

void Scan::raiseError(const QString &path, const QString &description) {
    qint32 ErrorCode = -100;
    QString sErrorString = path + QLatin1String(": ") + description;
    emit mEngine.OnError(ErrorCode, sErrorString);
}

} // namespace TavrinEXE
