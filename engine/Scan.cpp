#include "Scan.h"

#include "Characters.h"
#include "DoEvents.h"
#include "FileSearch.h"
#include "FileSystemObject.h"
#include "FolderListing.h"
#include "GetTickCount.h"
#include "PlatformError.h"
#include "TavrinX.h"

#include <QFile>
#include <limits>
#include <new>

namespace TavrinEXE {

namespace {
// Folders this deep and deeper give their descriptor back before their subfolders are walked,
// so that a deep tree holds a bounded number of descriptors; theirs open by path.
constexpr int kOpenDepth = 64;

PlatformError overflow() {
    return {6, QStringLiteral("Overflow")};
}
} // namespace

Scan::Scan(TavrinX &engine) : mEngine(engine) {}

void Scan::setLastLineNumber(qint32 lLast) {
    FileSearch::setLastLineNumber(lLast);
}

void Scan::setBlockSize(qsizetype lBytes) {
    FileSearch::setBlockSize(lBytes);
}

void Scan::RunScan() {
    mEngine.mclnFileNames_ = std::make_shared<Collection>();
    mEngine.mclnLines_ = std::make_shared<Collection>();
    mEngine.mclnColumns_ = std::make_shared<Collection>();
    mEngine.mclnItemsFound_ = std::make_shared<Collection>();
    mEngine.mclnResults_ = std::make_shared<Collection>();
    mEngine.mlFilesSearched = 0;
    emit mEngine.ScanStarted();

    ScanFolder(nullptr, QFile::encodeName(mEngine.msSearchPath));
    mEngine.mCurrentFolder.clear();

    const qint32 lEnd = GetTickCount();
    mEngine.mlSearchTime = TickSpan(mEngine.mlSearchTime, lEnd);
    mEngine.mlSearchCount = mEngine.mclnFileNames_->Count();
    if (mEngine.mbAbort == vbFalse)
        emit mEngine.ScanCompleted();
}

void Scan::ScanFolder(FolderListing *parent, const QByteArray &name) {
    std::optional<FolderListing> folder;
    try {
        if (parent)
            folder.emplace(*parent, name);
        else
            folder.emplace(name);
    } catch (const PlatformError &e) {
        // A folder that cannot be listed is reported like an unreadable file; the walk goes on.
        const QByteArray path = parent ? parent->childPath(name) : FolderListing::normalPath(name);
        raiseError(FolderListing::displayPath(path), e.description());
        return;
    }
    mEngine.mCurrentFolder = folder->path();
    for (const QByteArray &file : folder->files()) {
        DoEvents();
        if (mEngine.mbAbort != vbFalse)
            return;
        if (mEngine.msSearchExt == QLatin1String("*.*") ||
            FileTypeMatches(mEngine.mobjFSO->GetExtensionName(QString::fromUtf8(file))) != vbFalse)
            ScanFile(*folder, file);
    }
    if (mEngine.mbLookInSubfolders == vbFalse)
        return;
    if (mlDepth >= kOpenDepth)
        folder->closeDescriptor();
    ++mlDepth;
    for (const QByteArray &subFolder : folder->subFolders()) {
        if (mEngine.mbAbort != vbFalse)
            break;
        if (!folderFilter().excludes(subFolder))
            ScanFolder(&*folder, subFolder);
    }
    --mlDepth;
}

VBool Scan::FileTypeMatches(const QString &extension) const {
    const QString &sExt = mEngine.msSearchExt;
    if (sExt == QLatin1String("*.*"))
        return vbTrue;
    return toVBool(sExt.contains(QLatin1String("*.") + extension.toLower(), Qt::CaseInsensitive));
}

void Scan::ScanFile(const FolderListing &folder, const QByteArray &name) {
    std::unique_ptr<TextStream> stream;
    QString description;
    const auto path = [&] { return FolderListing::displayPath(folder.childPath(name)); };
    ++mEngine.mlFilesSearched;
    try {
        stream = folder.openFile(name);
        FileSearch(*this, *stream, path, mBuffer).run();
        stream->Close();
        return;
    } catch (const PlatformError &e) {
        description = e.description();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("Out of memory");
    }
    if (stream)
        stream->Close();
    raiseError(path(), description);
}

BlockSearcher &Scan::searcher() {
    if (mSearcher && mlSearcherVersion == mEngine.mlSettingsVersion)
        return *mSearcher;
    const QString &sFind = mEngine.msSearchString;
    const bool caseSensitive = mEngine.mbCaseSensitive == vbTrue;
    const bool wholeWord = mEngine.mbWholeWordOnly != vbFalse;
    mRegex.reset();
    QString prefilter = sFind;
    if (mEngine.mbUseRegularExpression != vbFalse) {
        // A pattern that stands for itself is searched as a plain string when no word rule
        // needs the pattern's own; any other is looked for by a run of text every match holds
        // (every line when there is none), and matched on the lines that hold it.
        const bool literal = RegexMatcher::isPlainLiteral(sFind);
        if (!literal || wholeWord) {
            QString error; // the engine refuses settings that do not compile
            mRegex = RegexMatcher::compile(sFind, caseSensitive, wholeWord, &error);
            if (!mRegex)
                throw PlatformError(PlatformError::InvalidProcedureCall, error);
        }
        if (!literal)
            prefilter = RegexMatcher::requiredLiteral(sFind);
    }
    mSearcher.emplace(prefilter, caseSensitive);
    mlSearcherVersion = mEngine.mlSettingsVersion;
    return *mSearcher;
}

bool Scan::skipsBinaryFiles() const {
    return mEngine.mbSkipBinaryFiles != vbFalse;
}

const FolderFilter &Scan::folderFilter() {
    if (msFolderFilterList != mEngine.msExcludeFolders) {
        msFolderFilterList = mEngine.msExcludeFolders;
        mFolderFilter = FolderFilter::parse(msFolderFilterList).value_or(FolderFilter());
    }
    return mFolderFilter;
}

quint64 Scan::settingsVersion() const {
    return mEngine.mlSettingsVersion;
}

bool Scan::yieldAndCheckAbort() {
    DoEvents();
    return mEngine.mbAbort != vbFalse;
}

qint32 Scan::MatchLine(const QString &line) const {
    if (mRegex) {
        const qint64 lColumn = mRegex->match(line);
        if (lColumn > std::numeric_limits<qint32>::max())
            throw overflow();
        return qint32(lColumn);
    }
    const QString &sFind = mEngine.msSearchString;
    const Qt::CaseSensitivity cs =
        mEngine.mbCaseSensitive == vbTrue ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // As the runtime's substring search: an empty string is found at the start of a non-empty
    // text.
    const qsizetype at = sFind.isEmpty() ? (line.isEmpty() ? -1 : 0) : line.indexOf(sFind, 0, cs);
    if (at < 0)
        return 0;

    const qint64 lPosition = characterCount(line, at) + 1;
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
