#pragma once

#include "BlockSearcher.h"
#include "Boolean.h"

#include <QString>
#include <optional>
#include <vector>

class File;
class TextStream;

namespace TavrinEXE {

class TavrinX;

// One whole scan of an engine object: the walk over the folders, the file-type filter and the
// matching of the lines. It lives inside one timer tick and works on the engine's state.
class Scan {
public:
    explicit Scan(TavrinX &engine);

    // Seam for tests: the largest line number a file may reach (the 32-bit limit otherwise).
    static void setLastLineNumber(qint32 lLast);
    // Seam for tests: the size of the blocks read (256 KiB otherwise).
    static void setBlockSize(qsizetype lBytes);

private:
    friend class TavrinX;

    void RunScan();
    void ScanFolder(const QString &path);
    VBool FileTypeMatches(const QString &extension) const;
    void ScanFile(const File &file);
    qint32 MatchLine(const QString &line) const;
    static VBool IsDelimiter(qint32 code);

    void readLines(TextStream &stream, const QString &path);
    bool yieldAndCheckAbort();
    void addFinding(const QString &path, qint32 lLine, qint32 lColumn, const QString &line);
    void raiseError(const QString &path, const QString &description);

    TavrinX &mEngine;
    std::vector<char> mBuffer; // the blocks of the file being read; kept to reuse its memory
    std::optional<BlockSearcher> mSearcher; // for the settings of mlSearcherVersion
    quint64 mlSearcherVersion = 0;
};

} // namespace TavrinEXE
