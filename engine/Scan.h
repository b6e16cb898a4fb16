#pragma once

#include "CompactText.h"
#include "FileSearch.h"
#include "FileTypeFilter.h"
#include "FolderFilter.h"
#include "LineRules.h"
#include "Lookahead.h"
#include "TavrinEXERuntime.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class FolderListing;

namespace TavrinEXE {

class TavrinX;

// One whole scan of an engine object: the walk over the folders, the file-type filter and the
// matching of the lines. It lives inside one timer tick and works on the engine's state. The
// walk reads each folder once (FolderListing) and keeps names as raw bytes until a path is
// reported; each file is searched by a FileSearch, and a Lookahead searches files ahead of the
// scan on a helper thread.
class Scan : private SearchContext {
public:
    // Folders this deep and deeper give their descriptor back before their subfolders are
    // walked, so that a deep tree holds a bounded number of descriptors; theirs open by path.
    static constexpr int kOpenDepth = 64;

    explicit Scan(TavrinX &engine);

    // Seam for tests: the largest line number a file may reach (the 32-bit limit otherwise).
    static void setLastLineNumber(qint32 lLast);
    // Seam for tests: the size of the blocks read (32 KiB otherwise).
    static void setBlockSize(qsizetype lBytes);
    // Seam for tests: whether a helper thread searches files ahead of the scan (it does).
    static void setLookahead(bool on);

private:
    friend class TavrinX;

    void RunScan();
    // The folder name of parent, or the folder at the path name when parent is null.
    void ScanFolder(FolderListing *parent, const QByteArray &name);
    // Whether the file name of a listing is of the types of SearchExt.
    VBool FileTypeMatches(const QByteArray &name);
    void ScanFile(const FolderListing &folder, const QByteArray &name);
    // The helper's outcome of a file, as the scan's own search gives it: false when the file is
    // done, true when the search is to go on from the line at from.
    bool replay(const Lookahead::Outcome &outcome, qint64 &from, qint64 &linesBefore);

    // The file search's view of the scan.
    LineRules &rules() override;
    quint64 settingsVersion() const override;
    bool skipsBinaryFiles() const override;
    bool yieldAndCheckAbort() override;
    bool turnInMatch() override { return yieldAndCheckAbort(); }
    void addFinding(const QString &path, qint32 lLine, qint32 lColumn, const QString &line,
                    qint64 next) override;
    // Appends a finding to the results and the record of the scan.
    void keepFinding(const QString &path, qint32 lLine, qint32 lColumn, const CompactText &text);

    void raiseError(const QString &path, const QString &description);
    const FolderFilter &folderFilter();
    const FileTypeFilter &fileTypes();

    TavrinX &mEngine;
    std::vector<char> mBuffer; // the blocks of the file being read; kept to reuse its memory
    std::optional<LineRules> mRules; // for the settings of mlRulesVersion
    quint64 mlRulesVersion = 0;
    FolderFilter mFolderFilter;           // for the list msFolderFilterList
    QString msFolderFilterList;
    MatchPause mFolderPause{[this] { return yieldAndCheckAbort(); }}; // a long list's turns
    FileTypeFilter mFileTypes{QStringLiteral("*.*")}; // for the list mFileTypes.list()
    int mlDepth = 0; // folders of the walk above the current one
    std::optional<Lookahead> mLookahead;
    quint64 mlLookaheadVersion = 0; // the settings the helper searches with
    QByteArray mFilePath; // raw path of the file being searched
    std::pair<QString, CompactText> mPathAdded; // the path last added, and as kept
    CompactText::Arena mTexts; // of the findings the scan makes itself
};

} // namespace TavrinEXE
