#include "Scan.h"

#include "DoEvents.h"
#include "FileSearch.h"
#include "FolderListing.h"
#include "GetTickCount.h"
#include "TavrinEXERuntime.h"
#include "TavrinXEngine.h"

#include <QFile>
#include <new>
#include <system_error>

namespace TavrinEXE {

namespace {
bool gbLookahead = true;
} // namespace

Scan::Scan(TavrinX &engine) : mEngine(engine) {}

void Scan::setLastLineNumber(qint32 lLast) {
    FileSearch::setLastLineNumber(lLast);
}

void Scan::setBlockSize(qsizetype lBytes) {
    FileSearch::setBlockSize(lBytes);
}

void Scan::setLookahead(bool on) {
    gbLookahead = on;
}

void Scan::RunScan() {
    mEngine.mclnFileNames_ = std::make_shared<Collection>();
    mEngine.mclnLines_ = std::make_shared<Collection>();
    mEngine.mclnColumns_ = std::make_shared<Collection>();
    mEngine.mclnItemsFound_ = std::make_shared<Collection>();
    mEngine.mclnResults_ = std::make_shared<Collection>();
    mEngine.mlFilesSearched = 0;
    SearchRecord &record = mEngine.mSearchRecord;
    record = SearchRecord{};
    record.state = SearchRecord::State::Running;
    record.settings = mEngine.lineSettings();
    const quint64 settingsVersion = mEngine.mlSettingsVersion;
    emit mEngine.ScanStarted();

    const QByteArray start = QFile::encodeName(mEngine.msSearchPath);
    if (gbLookahead && mEngine.mbAbort == vbFalse) {
        try {
            // The helper gets a filter of its own: it matches names on its thread.
            mLookahead.emplace(Lookahead::Walk{start, FileTypeFilter(mEngine.msSearchExt),
                                               mEngine.mbLookInSubfolders != vbFalse,
                                               folderFilter(), skipsBinaryFiles()},
                               rules().settings());
            mlLookaheadVersion = mlRulesVersion;
        } catch (const PlatformError &) {
            // Settings the line rules refuse: each file reports it, as the scan alone does.
        } catch (const std::system_error &) {
            // No thread to be had: the scan searches alone.
        }
    }
    ScanFolder(nullptr, start);
    mLookahead.reset();
    mEngine.mCurrentFolder.clear();

    const qint32 lEnd = GetTickCount();
    mEngine.mlSearchTime = TickSpan(mEngine.mlSearchTime, lEnd);
    mEngine.mlSearchCount = mEngine.mclnFileNames_->Count();
    record.settingsChanged = mEngine.mlSettingsVersion != settingsVersion;
    record.state =
        mEngine.mbAbort == vbFalse ? SearchRecord::State::Completed : SearchRecord::State::Aborted;
    if (mEngine.mbAbort == vbFalse)
        emit mEngine.ScanCompleted();
}

void Scan::ScanFolder(FolderListing *parent, const QByteArray &name) {
    const QByteArray path = parent ? parent->childPath(name) : FolderListing::normalPath(name);
    const std::unique_ptr<FolderListing> listed =
        mLookahead ? mLookahead->takeListing(path) : nullptr;
    std::unique_ptr<FolderListing> folder;
    try {
        // Opened here all the same: the helper's listing has no descriptor, and serves only if
        // the folder opened is still the one it listed.
        folder = parent ? std::make_unique<FolderListing>(*parent, name, listed.get())
                        : std::make_unique<FolderListing>(name, listed.get());
    } catch (const PlatformError &e) {
        // A folder that cannot be listed is reported like an unreadable file; the walk goes on.
        raiseError(FolderListing::displayPath(path), e.description());
        return;
    }
    mEngine.mCurrentFolder = folder->path();
    for (const QByteArray &file : folder->files()) {
        DoEvents();
        if (mEngine.mbAbort != vbFalse)
            return;
        if (FileTypeMatches(file) != vbFalse)
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
        if (!folderFilter().excludes(subFolder, &mFolderPause))
            ScanFolder(folder.get(), subFolder);
    }
    --mlDepth;
}

VBool Scan::FileTypeMatches(const QByteArray &name) {
    return toVBool(fileTypes().takes(name));
}

void Scan::ScanFile(const FolderListing &folder, const QByteArray &name) {
    ++mEngine.mlFilesSearched;
    mFilePath = folder.childPath(name);
    qint64 from = 0, linesBefore = 0;
    if (mLookahead) {
        const quint64 version = mEngine.mlSettingsVersion;
        const std::unique_ptr<Lookahead::Outcome> outcome = mLookahead->take(folder, name, [&] {
            return !yieldAndCheckAbort() && mEngine.mlSettingsVersion == version;
        });
        if (mEngine.mbAbort != vbFalse)
            return;
        const bool holds = mEngine.mlSettingsVersion == mlLookaheadVersion &&
                           skipsBinaryFiles() == mLookahead->skipsBinaryFiles();
        if (!holds)
            mLookahead.reset(); // its outcomes no longer serve: the scan goes on alone
        else if (outcome && !replay(*outcome, from, linesBefore))
            return;
    }
    std::unique_ptr<TextStream> stream;
    QString description;
    const auto path = [&] { return FolderListing::displayPath(folder.childPath(name)); };
    try {
        stream = folder.openFile(name);
        FileSearch(*this, *stream, path, mBuffer).run(from, linesBefore);
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

bool Scan::replay(const Lookahead::Outcome &outcome, qint64 &from, qint64 &linesBefore) {
    const QString path = FolderListing::displayPath(outcome.path);
    for (const Lookahead::Finding &finding : outcome.findings) {
        keepFinding(path, finding.line, finding.column, finding.text);
        if (yieldAndCheckAbort())
            return false;
        if (mEngine.mlSettingsVersion != mlLookaheadVersion) {
            // The settings changed at this yield: the file's next lines by the new ones.
            if (finding.next < 0)
                return false;
            from = finding.next;
            linesBefore = finding.line;
            return true;
        }
    }
    if (outcome.error) {
        raiseError(path, outcome.error->description());
        return false;
    }
    from = outcome.resumeAt;
    linesBefore = outcome.resumeLinesBefore;
    return from >= 0;
}

LineRules &Scan::rules() {
    if (mRules && mlRulesVersion == mEngine.mlSettingsVersion)
        return *mRules;
    mRules.reset();
    mRules.emplace(mEngine.lineSettings());
    mlRulesVersion = mEngine.mlSettingsVersion;
    return *mRules;
}

bool Scan::skipsBinaryFiles() const {
    return mEngine.mbSkipBinaryFiles != vbFalse;
}

const FileTypeFilter &Scan::fileTypes() {
    if (mFileTypes.list() != mEngine.msSearchExt)
        mFileTypes = FileTypeFilter(mEngine.msSearchExt);
    return mFileTypes;
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

void Scan::addFinding(const QString &path, qint32 lLine, qint32 lColumn, const QString &line,
                      qint64) {
    // One copy of the text, in half the bytes for most lines, for the three that keep it.
    keepFinding(path, lLine, lColumn, CompactText(line, mTexts));
}

void Scan::keepFinding(const QString &path, qint32 lLine, qint32 lColumn,
                       const CompactText &text) {
    if (path != mPathAdded.first)
        mPathAdded = {path, CompactText(path)};
    mEngine.mclnFileNames_->AddString(mPathAdded.second);
    mEngine.mclnLines_->AddInteger(lLine);
    mEngine.mclnColumns_->AddInteger(lColumn);
    mEngine.mclnItemsFound_->AddString(text);
    mEngine.mclnResults_->AddRecord(path, lLine, lColumn, text);
    mEngine.mSearchRecord.add(mFilePath, lLine, text);
}

void Scan::raiseError(const QString &path, const QString &description) {
    qint32 ErrorCode = -100;
    QString sErrorString = path + QLatin1String(": ") + description;
    emit mEngine.OnError(ErrorCode, sErrorString);
}

} // namespace TavrinEXE
