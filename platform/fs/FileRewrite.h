#pragma once

#include "FileIdentity.h"

#include <QByteArray>
#include <sys/stat.h>

// One file read whole and then given new contents in a single step, so that it is never seen
// half written: the new contents go to a file beside it, synced, then renamed over it, with the
// old one's mode and, where permitted, its owner and group. A link is followed: its target is
// rewritten and the link stays. A file with more than one hard link is written in place instead
// (so the links stay one file), once the new contents are complete.
class FileRewrite {
public:
    // Reads the file at path (raw bytes). Throws Tavrin::PlatformError with the system's reason.
    explicit FileRewrite(const QByteArray &path);

    const QByteArray &contents() const { return mContents; }
    // The file read; after commit, the file written.
    const FileIdentity &identity() const { return mIdentity; }

    // Puts contents in place of the file's. False, with nothing written, when the file is not
    // the one read any more or has changed since. Throws Tavrin::PlatformError when it cannot be
    // written: with the system's reason, or "the file is read-only" for a file whose mode has no
    // write bit (root included, whom the rename would let replace it all the same).
    bool commit(const QByteArray &contents);

private:
    bool writeInPlace(const QByteArray &contents);
    void replaceByRename(const QByteArray &contents);

    QByteArray mTarget; // the path with every link resolved
    struct stat mStat {};
    FileIdentity mIdentity;
    QByteArray mContents;
};
