#include "Replacement.h"

#include "DoEvents.h"
#include "FileRewrite.h"
#include "FileSearch.h"
#include "FolderListing.h"
#include "TavrinEXERuntime.h"
#include "TavrinXEngine.h"
#include "TextLines.h"

#include <new>

namespace TavrinEXE {

Replacement::Replacement(TavrinX &engine, std::unique_ptr<LineReplacer> replacer)
    : mEngine(engine), mReplacer(std::move(replacer)), mPause([] {
          DoEvents();
          return false;
      }) {}

void Replacement::Run() {
    mEngine.mlLinesReplaced = 0;
    mEngine.mlFilesReplaced = 0;
    emit mEngine.ScanStarted();
    if (mReplacer)
        replaceFiles();
    else
        undoFiles();
    if (mEngine.mbAbort == vbFalse)
        emit mEngine.ScanCompleted();
}

bool Replacement::yieldAndCheckAbort() {
    DoEvents();
    return mEngine.mbAbort != vbFalse;
}

void Replacement::report(qint32 lCode, const QByteArray &path, const QString &why) {
    mEngine.raiseError(lCode, FolderListing::displayPath(path) + QLatin1String(": ") + why);
}

bool Replacement::writtenAlready(const FileIdentity &file) const {
    return mWritten.count({file.device, file.inode}) > 0;
}

void Replacement::replaceFiles() {
    mEngine.mJournal.files.clear();
    // Nothing changes the record while this runs: a search is refused until it ends.
    const std::vector<SearchRecord::File> &files = mEngine.mSearchRecord.files;
    for (const SearchRecord::File &file : files) {
        if (yieldAndCheckAbort())
            return;
        replaceFile(file);
    }
}

void Replacement::replaceFile(const SearchRecord::File &file) {
    const QString changed = QStringLiteral("changed since the search");
    try {
        FileRewrite rewrite(file.path);
        // The same file found by another path (a link): its lines are done.
        if (writtenAlready(rewrite.identity()))
            return;
        TextLines lines(rewrite.contents());
        ReplaceJournal::File entry{file.path, 0, {}};
        for (std::size_t i = file.first; i < file.first + file.count; ++i) {
            const SearchRecord::Finding &finding = mEngine.mSearchRecord.findings[i];
            const qint32 n = finding.line;
            if (!lines.hasLine(n))
                return report(Replacement::kChangedSince, file.path, changed);
            const QString text = lines.text(n);
            const QString kept = finding.text.toString();
            if (text != kept) {
                // The search kept the start of a longer line only: the rest was never seen.
                if (text.size() > kept.size() && FileSearch::cutText(text) == kept)
                    return report(-100, file.path,
                                  QStringLiteral("line %1 is longer than a finding keeps").arg(n));
                return report(Replacement::kChangedSince, file.path, changed);
            }
            if (!lines.roundTrips(n))
                return report(-100, file.path,
                              QStringLiteral("line %1 holds bytes that are not text of the "
                                             "file's encoding")
                                  .arg(n));
            const QString after = mReplacer->replaced(text, &mPause);
            DoEvents();
            if (after == text)
                continue;
            if (!lines.canHold(n, after))
                return report(-100, file.path,
                              QStringLiteral("line %1 would not read back as replaced").arg(n));
            lines.setText(n, after);
            entry.lines.push_back({n, text, after});
        }
        if (entry.lines.empty())
            return;
        entry.lineCount = lines.lineCount();
        if (!rewrite.commit(lines.contents()))
            return report(Replacement::kChangedSince, file.path, changed);
        mWritten.insert({rewrite.identity().device, rewrite.identity().inode});
        mEngine.mlLinesReplaced += qint32(entry.lines.size());
        mEngine.mlFilesReplaced += 1;
        mEngine.mJournal.files.push_back(std::move(entry));
    } catch (const PlatformError &e) {
        report(-100, file.path, e.description());
    } catch (const std::bad_alloc &) {
        report(-100, file.path, QStringLiteral("Out of memory"));
    }
}

void Replacement::undoFiles() {
    std::vector<ReplaceJournal::File> &files = mEngine.mJournal.files;
    std::vector<ReplaceJournal::File> left;
    bool stopped = false;
    for (ReplaceJournal::File &file : files) {
        stopped = stopped || yieldAndCheckAbort();
        if (stopped || !undoFile(file))
            left.push_back(std::move(file));
    }
    files = std::move(left);
}

bool Replacement::undoFile(const ReplaceJournal::File &file) {
    const QString changed = QStringLiteral("changed since the replace");
    try {
        FileRewrite rewrite(file.path);
        TextLines lines(rewrite.contents());
        // Line numbers say which line is which only while no line was added or taken away.
        if (lines.lineCount() != file.lineCount) {
            report(Replacement::kChangedSince, file.path, changed);
            return false;
        }
        for (const ReplaceJournal::Line &line : file.lines) {
            if (!lines.hasLine(line.number) || lines.text(line.number) != line.after ||
                !lines.roundTrips(line.number) || !lines.canHold(line.number, line.before)) {
                report(Replacement::kChangedSince, file.path, changed);
                return false;
            }
            lines.setText(line.number, line.before);
            DoEvents();
        }
        if (!rewrite.commit(lines.contents())) {
            report(Replacement::kChangedSince, file.path, changed);
            return false;
        }
        mEngine.mlLinesReplaced += qint32(file.lines.size());
        mEngine.mlFilesReplaced += 1;
        return true;
    } catch (const PlatformError &e) {
        report(-100, file.path, e.description());
    } catch (const std::bad_alloc &) {
        report(-100, file.path, QStringLiteral("Out of memory"));
    }
    return false;
}

} // namespace TavrinEXE
