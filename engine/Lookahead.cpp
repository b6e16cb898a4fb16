#include "Lookahead.h"

#include "FileSearch.h"
#include "FolderListing.h"
#include "Scan.h"
#include "TextStream.h"

#include <chrono>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace TavrinEXE {

namespace {
// How long the scan waits for the helper between two yields.
constexpr std::chrono::microseconds kWaitSlice{250};
// The helper thread's niceness: a processor both want goes to the scan's thread first.
constexpr int kNice = 10;
} // namespace

// The helper's side of a file search: the rules of the settings the scan began with, findings
// kept in the outcome, a stop once the scan no longer needs the helper or the file has more
// findings than the helper may hold.
class Lookahead::Search : public SearchContext {
public:
    Search(Lookahead &owner, Outcome &outcome) : mOwner(owner), mOutcome(outcome) {}

    LineRules &rules() override { return *mOwner.mRules; }
    quint64 settingsVersion() const override { return 0; }
    bool skipsBinaryFiles() const override { return mOwner.mWalk.skipBinaryFiles; }
    bool yieldAndCheckAbort() override {
        if (mOwner.mbStop.load(std::memory_order_relaxed))
            return true;
        if (mOutcome.bytes <= kFindingBytes || mOutcome.findings.empty())
            return false;
        const Finding &last = mOutcome.findings.back(); // this yield follows a finding
        mOutcome.resumeAt = last.next;
        mOutcome.resumeLinesBefore = last.line;
        return true;
    }
    // The helper never yields; inside a long match it only looks whether it is to stop, so that
    // the scan that stops it never waits for a match to end.
    bool turnInMatch() override { return mOwner.mbStop.load(std::memory_order_relaxed); }
    void addFinding(const QString &, qint32 lLine, qint32 lColumn, const QString &line,
                    qint64 next) override {
        mOutcome.findings.push_back({lLine, lColumn, CompactText(line, mOwner.mTexts), next});
        mOutcome.bytes += line.size() * 2 + 64;
    }

private:
    Lookahead &mOwner;
    Outcome &mOutcome;
};

Lookahead::Lookahead(Walk walk, LineRules::Settings settings)
    : mWalk(std::move(walk)), mSettings(std::move(settings)), mHelper([this] { run(); }) {}

Lookahead::~Lookahead() {
    stop();
}

void Lookahead::run() {
    // The helper only uses what the scan and the requests leave over.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNice);
    try {
        mRules.emplace(mSettings);
        walkFolder(nullptr, mWalk.start, 0);
    } catch (const PlatformError &) {
        // Settings the helper cannot search with: the scan searches every file itself.
    } catch (const std::bad_alloc &) {
        // As above, from here on.
    }
    {
        // A claim the helper gave up on, by an exception, is the scan's again.
        std::lock_guard lock(mMutex);
        mbClaimed = false;
    }
    mToScan.notify_one();
}

// As the scan walks: the folder's files first, then its subfolders, each in byte order. A
// folder the helper cannot list is the scan's to report.
void Lookahead::walkFolder(FolderListing *parent, const QByteArray &name, int depth) {
    const quint64 number = ++mlFolders;
    std::unique_ptr<FolderListing> folder;
    try {
        folder = parent ? std::make_unique<FolderListing>(*parent, name, nullptr, true)
                        : std::make_unique<FolderListing>(name, nullptr, true);
    } catch (const PlatformError &) {
        return;
    }
    {
        std::lock_guard lock(mMutex);
        if (qsizetype(mListings.size()) < kListings)
            mListings.emplace(number, folder->detached());
    }
    for (const QByteArray &file : folder->files()) {
        if (mbStop.load(std::memory_order_relaxed))
            return;
        if (mWalk.fileTypes.takes(file))
            searchFile(*folder, file);
    }
    if (!mWalk.subFolders)
        return;
    if (depth >= Scan::kOpenDepth)
        folder->closeDescriptor();
    for (const QByteArray &subFolder : folder->subFolders()) {
        if (mbStop.load(std::memory_order_relaxed))
            return;
        if (!mWalk.excluded.excludes(subFolder, &mWalkPause))
            walkFolder(folder.get(), subFolder, depth + 1);
    }
}

bool Lookahead::helperIsAhead() const {
    return mlHelperAt >= mlScanAt + kAhead || mlFindingBytes > kFindingBytes;
}

// Once too far ahead, the helper waits until the scan has taken half of what it holds.
bool Lookahead::helperMayGoOn() const {
    return mbStop || (mlHelperAt <= mlScanAt + kAhead / 2 && mlFindingBytes <= kFindingBytes / 2);
}

qint64 Lookahead::heldFindingBytes() const {
    qint64 bytes = 0;
    for (const auto &[n, outcome] : mOutcomes)
        bytes += outcome->bytes;
    return bytes;
}

// The helper's next file: left to the scan, or claimed, searched and posted.
void Lookahead::searchFile(FolderListing &folder, const QByteArray &name) {
    quint64 n = 0;
    {
        std::unique_lock lock(mMutex);
        if (helperIsAhead())
            mToHelper.wait(lock, [&] { return helperMayGoOn(); });
        if (mbStop)
            return;
        Q_ASSERT(!mbClaimed);
        n = ++mlHelperAt;
        if (n < mlScanAt + kLead)
            return;
        Q_ASSERT(n <= mlScanAt + kAhead);
        mbClaimed = true;
    }
    auto outcome = std::make_unique<Outcome>();
    outcome->path = folder.childPath(name);
    Search search(*this, *outcome);
    try {
        FolderListing::Identity identity;
        const std::unique_ptr<TextStream> stream = folder.openFile(name, &identity);
        outcome->identity = identity;
        FileSearch(
            search, *stream, [&] { return FolderListing::displayPath(outcome->path); }, mBuffer)
            .run();
    } catch (const PlatformError &e) {
        outcome->error = e;
    } catch (const std::bad_alloc &) {
        outcome->error = PlatformError(7, QStringLiteral("Out of memory"));
    }
    // The helper stops a file's search at the first finding past the limit.
    Q_ASSERT(outcome->bytes <= kFindingBytes + 2 * FileSearch::kTextLimit + 64);
    {
        std::lock_guard lock(mMutex);
        Q_ASSERT(mbClaimed && mlHelperAt == n);
        Q_ASSERT(mOutcomes.empty() || mOutcomes.rbegin()->first < n);
        mbClaimed = false;
        mlFindingBytes += outcome->bytes;
        mOutcomes.emplace(n, std::move(outcome));
    }
    mToScan.notify_one();
}

std::unique_ptr<Lookahead::Outcome> Lookahead::take(const FolderListing &folder,
                                                    const QByteArray &name,
                                                    const std::function<bool()> &wait) {
    if (mbOff)
        return nullptr;
    std::unique_ptr<Outcome> outcome;
    {
        std::unique_lock lock(mMutex);
        const quint64 n = ++mlScanAt;
        // Outcomes of files the scan searched itself after all.
        while (!mOutcomes.empty() && mOutcomes.begin()->first < n) {
            mlFindingBytes -= mOutcomes.begin()->second->bytes;
            mOutcomes.erase(mOutcomes.begin());
        }
        const auto searching = [&] { return mbClaimed && mlHelperAt == n; };
        while (searching()) {
            if (mToScan.wait_for(lock, kWaitSlice, [&] { return !searching(); }))
                break;
            lock.unlock();
            const bool goOn = wait();
            lock.lock();
            if (!goOn)
                break;
        }
        if (!searching()) {
            if (const auto it = mOutcomes.find(n); it != mOutcomes.end()) {
                outcome = std::move(it->second);
                mOutcomes.erase(it);
                mlFindingBytes -= outcome->bytes;
            }
        }
        Q_ASSERT(mOutcomes.empty() ||
                 (mOutcomes.begin()->first > n && mOutcomes.rbegin()->first <= n + kAhead));
        Q_ASSERT(mlFindingBytes == heldFindingBytes());
        if (helperMayGoOn())
            mToHelper.notify_one();
    }
    if (outcome && outcome->path != folder.childPath(name)) {
        stop();
        return nullptr;
    }
    // A file truncated, rewritten, deleted or replaced since the helper read it (or one it
    // could not open) is searched again, as it is now.
    if (outcome && !(outcome->identity && folder.fileIdentity(name) == outcome->identity))
        return nullptr;
    return outcome;
}

std::unique_ptr<FolderListing> Lookahead::takeListing(const QByteArray &path) {
    const quint64 number = ++mlScanFolders;
    if (mbOff)
        return nullptr;
    std::lock_guard lock(mMutex);
    while (!mListings.empty() && mListings.begin()->first < number)
        mListings.erase(mListings.begin());
    const auto it = mListings.find(number);
    if (it == mListings.end() || it->second->path() != path)
        return nullptr;
    std::unique_ptr<FolderListing> listing = std::move(it->second);
    mListings.erase(it);
    return listing;
}

void Lookahead::stop() {
    if (mHelper.joinable()) {
        {
            std::lock_guard lock(mMutex);
            mbStop = true;
        }
        mToHelper.notify_all();
        mHelper.join();
    }
    mbOff = true;
    mOutcomes.clear();
    mListings.clear();
}

} // namespace TavrinEXE
