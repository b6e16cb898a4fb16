#pragma once

#include "FileIdentity.h"
#include "LineReplacer.h"
#include "MatchPause.h"
#include "ReplaceJournal.h"
#include "SearchRecord.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <set>
#include <utility>

namespace TavrinEXE {

class TavrinX;

// One replace over the files of the last search's findings, or the undo of the last replace,
// run in a timer tick on the engine's thread as a scan is. Each file is read whole, checked
// line by line against what the search (or the replace) left in it, changed in memory and
// written in one step (FileRewrite); a file that is not as expected is left untouched and
// reported. Between files it yields and an Abort stops it; within a file it yields after every
// line but goes on to the file's end, so no file is ever half done.
class Replacement {
public:
    // Codes of OnError for a replace and its undo.
    static constexpr qint32 kNoCompletedSearch = -106;
    static constexpr qint32 kSearchAborted = -107;
    static constexpr qint32 kSettingsChanged = -108;
    static constexpr qint32 kChangedSince = -109;
    static constexpr qint32 kNothingToUndo = -110;
    static constexpr qint32 kInvalidReplaceWith = -111;

    // A replace by replacer, or the undo of the last replace when replacer is null.
    Replacement(TavrinX &engine, std::unique_ptr<LineReplacer> replacer);

    void Run();

private:
    void replaceFiles();
    void undoFiles();
    void replaceFile(const SearchRecord::File &file);
    bool undoFile(const ReplaceJournal::File &file); // true when restored
    bool writtenAlready(const FileIdentity &file) const;
    void report(qint32 lCode, const QByteArray &path, const QString &why);
    bool yieldAndCheckAbort();

    TavrinX &mEngine;
    std::unique_ptr<LineReplacer> mReplacer;
    MatchPause mPause; // a long match's turns: yields, never an abort within a file
    std::set<std::pair<quint64, quint64>> mWritten; // device, inode of the files written
};

} // namespace TavrinEXE
