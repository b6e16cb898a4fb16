#pragma once

#include "BlockSearcher.h"
#include "Boolean.h"
#include "FolderFilter.h"
#include "RegexMatcher.h"

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
// reported; each file is searched by a FileSearch.
class Scan {
public:
    explicit Scan(TavrinX &engine);

    // Seam for tests: the largest line number a file may reach (the 32-bit limit otherwise).
    static void setLastLineNumber(qint32 lLast);
    // Seam for tests: the size of the blocks read (32 KiB otherwise).
    static void setBlockSize(qsizetype lBytes);

    static VBool IsDelimiter(qint32 code);

private:
    friend class TavrinX;
    friend class FileSearch;

    void RunScan();
    // The folder name of parent, or the folder at the path name when parent is null.
    void ScanFolder(FolderListing *parent, const QByteArray &name);
    VBool FileTypeMatches(const QString &extension) const;
    void ScanFile(const FolderListing &folder, const QByteArray &name);
    qint32 MatchLine(const QString &line) const;

    bool yieldAndCheckAbort();
    void addFinding(const QString &path, qint32 lLine, qint32 lColumn, const QString &line);
    void raiseError(const QString &path, const QString &description);
    // The searcher for the settings of now; with a regular expression, also the line matcher.
    BlockSearcher &searcher();
    quint64 settingsVersion() const;
    const RegexMatcher *regex() const { return mRegex.get(); }
    bool skipsBinaryFiles() const;
    const FolderFilter &folderFilter();

    TavrinX &mEngine;
    std::vector<char> mBuffer; // the blocks of the file being read; kept to reuse its memory
    std::optional<BlockSearcher> mSearcher; // for the settings of mlSearcherVersion
    quint64 mlSearcherVersion = 0;
    std::unique_ptr<RegexMatcher> mRegex; // matches the lines when the string is a pattern
    FolderFilter mFolderFilter;           // for the list msFolderFilterList
    QString msFolderFilterList;
    int mlDepth = 0; // folders of the walk above the current one
};

} // namespace TavrinEXE
