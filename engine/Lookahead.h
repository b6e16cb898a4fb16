#pragma once

#include "CompactText.h"
#include "FileTypeFilter.h"
#include "FolderFilter.h"
#include "FolderListing.h"
#include "LineRules.h"
#include "MatchPause.h"
#include "TavrinEXERuntime.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace TavrinEXE {

// Searches files ahead of the scan on a helper thread, with the settings the scan began with,
// so that two processors share the work. The helper walks as the scan walks, lists each folder
// for both, and numbers the files it takes; it leaves the next kLead files to the scan and
// searches those beyond, unless the scan got there first. At each file's turn the scan replays
// the helper's outcome (its findings, then its error), so that a client sees what the scan
// alone shows.
//
// Who searches a file is decided under one mutex, so each file has one searcher. Both sides
// number the files they take, each on its own. The helper takes its files in turn and either
// leaves one (the scan is less than kLead files before it) or claims it, searches it and posts
// its outcome; the scan, at its file n, finds n not yet reached (and so left to it), left,
// claimed (it waits, yielding, or searches n itself once a yield says so) or posted.
//
// Invariants:
// - an outcome serves only the file at its own path, and only while the settings are those it
//   was searched with; when the paths differ a setting of the walk has changed and the helper
//   is stopped for the rest of the scan; it serves only while the file is the one the helper
//   read, unchanged (FolderListing::Identity), else the scan searches the file itself;
// - the helper keeps at most kAhead files, kFindingBytes of findings and kListings folder
//   listings ahead of the scan; a file with more findings than that is searched by the helper
//   up to a line, by the scan on; a listing serves only the folder at its own path;
// - the helper reports nothing and never yields; the scan stops and joins it before it ends.
class Lookahead {
public:
    struct Walk {
        QByteArray start; // raw bytes
        FileTypeFilter fileTypes;
        bool subFolders = true;
        FolderFilter excluded;
        bool skipBinaryFiles = false;
    };
    struct Finding {
        qint32 line = 0, column = 0;
        CompactText text; // made on the helper's thread, which frees the line it was cut as
        qint64 next = -1; // offset of the line after it, -1 when it is the file's last
    };
    struct Outcome {
        QByteArray path;
        std::vector<Finding> findings;
        std::optional<PlatformError> error; // after the findings
        qint64 resumeAt = -1;               // a line start the search is to go on from
        qint64 resumeLinesBefore = 0;       // line ends before it
        qint64 bytes = 0;                   // of the findings' text
        std::optional<FolderListing::Identity> identity; // of the file read, when it was opened
    };
    static constexpr quint64 kAhead = 64;
    // The helper leaves the files this close to the scan to the scan: a scan that waits for
    // the file the helper is searching wastes a processor.
    static constexpr quint64 kLead = 4;
    static constexpr qint64 kFindingBytes = 8 * 1024 * 1024;
    static constexpr qsizetype kListings = 256; // folder listings held for the scan at most

    Lookahead(Walk walk, LineRules::Settings settings);
    ~Lookahead();
    Lookahead(const Lookahead &) = delete;
    Lookahead &operator=(const Lookahead &) = delete;

    // The outcome of the scan's next file, name in folder, when the helper has searched it;
    // null when the scan is to search the file itself. While the helper is still at the file,
    // wait is called about every quarter millisecond; when it returns false the scan searches
    // it itself.
    std::unique_ptr<Outcome> take(const FolderListing &folder, const QByteArray &name,
                                  const std::function<bool()> &wait);
    bool skipsBinaryFiles() const { return mWalk.skipBinaryFiles; }
    // The scan's next folder as the helper listed it, without a descriptor, when it is at path;
    // null when the scan is to list it itself. It serves only the folder it was made of
    // (FolderListing's listed).
    std::unique_ptr<FolderListing> takeListing(const QByteArray &path);

private:
    class Search;
    void run();
    void walkFolder(FolderListing *parent, const QByteArray &name, int depth);
    void searchFile(FolderListing &folder, const QByteArray &name);
    bool helperIsAhead() const; // under mMutex, as the next two
    bool helperMayGoOn() const;
    qint64 heldFindingBytes() const;
    void stop();

    const Walk mWalk;
    const LineRules::Settings mSettings;
    std::optional<LineRules> mRules; // helper
    std::vector<char> mBuffer;       // helper
    CompactText::Arena mTexts;       // helper: of the findings
    MatchPause mWalkPause{[this] { return mbStop.load(std::memory_order_relaxed); }}; // helper
    quint64 mlFolders = 0;     // helper: folders numbered so far
    quint64 mlScanFolders = 0; // scan: folders taken so far
    bool mbOff = false;        // scan: the helper is stopped for good

    std::mutex mMutex; // guards the members below; mbStop is also read without it
    std::atomic<bool> mbStop{false};
    std::condition_variable mToScan, mToHelper;
    quint64 mlHelperAt = 0; // the helper's last file: left, claimed or posted
    bool mbClaimed = false; // the helper is searching file mlHelperAt
    quint64 mlScanAt = 0;   // the scan's file
    std::map<quint64, std::unique_ptr<Outcome>> mOutcomes;
    std::map<quint64, std::unique_ptr<FolderListing>> mListings;
    qint64 mlFindingBytes = 0; // of the outcomes held

    std::thread mHelper; // last: starts once everything above is made
};

} // namespace TavrinEXE
