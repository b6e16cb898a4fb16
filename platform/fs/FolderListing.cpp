#include "FolderListing.h"

#include "FsError.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens the folder at the relative path below the open folder anchorFd without following a link
// anywhere on the way, so that no folder swapped for a link leads out of the tree. Kernels
// before 5.6 have no openat2: there the path is opened as given, only its last part unfollowed.
int openBelow(int anchorFd, const QByteArray &relative, const QByteArray &path) {
    open_how how{};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, anchorFd, relative.constData(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS)
        return int(fd);
    return ::open(path.constData(), kFolderFlags);
}

// Opens name (a path, or a name in the folder dirFd) for reading when it is a regular file;
// throws PlatformError otherwise. A FIFO or device is never opened for reading.
std::unique_ptr<TextStream> openRegular(int dirFd, const char *name,
                                        FolderListing::Identity *identity) {
    // Non-blocking, so that a FIFO put in place of a listed file cannot hang the open; the flag
    // does not change reading a regular file.
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw fsError(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        ::close(fd);
        throw fsError(error);
    }
    if (identity)
        *identity = FileIdentity::of(st);
    return std::make_unique<TextStream>(fd, qint64(st.st_size));
}
} // namespace

QByteArray FolderListing::normalPath(const QByteArray &path) {
    QByteArray out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && out.endsWith('/'))
            continue;
        out += c;
    }
    if (out.size() > 1 && out.endsWith('/'))
        out.chop(1);
    return out;
}

FolderListing::FolderListing(const QByteArray &path, const FolderListing *listed, bool identify)
    : mPath(normalPath(path)) {
    // The starting folder may itself be reached through a link; only links below it are not.
    const int fd = ::open(mPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw fsError(errno, true);
    readOrTake(fd, listed, identify);
}

FolderListing::FolderListing(const FolderListing &parent, const QByteArray &name,
                             const FolderListing *listed, bool identify)
    : mPath(parent.childPath(name)) {
    if (parent.mFd >= 0) {
        mAnchorFd = parent.mFd;
        mFromAnchor = name;
    } else {
        mAnchorFd = parent.mAnchorFd;
        mFromAnchor = parent.mFromAnchor + '/' + name;
    }
    const int fd = parent.mFd >= 0  ? ::openat(parent.mFd, name.constData(), kFolderFlags)
                   : mAnchorFd >= 0 ? openBelow(mAnchorFd, mFromAnchor, mPath)
                                    : ::open(mPath.constData(), kFolderFlags);
    if (fd < 0)
        throw fsError(errno, true);
    readOrTake(fd, listed, identify);
}

// The folder open again for a moment, as its subfolders are: below the anchor, links refused.
int FolderListing::openAgain() const {
    const int fd = mAnchorFd >= 0 ? openBelow(mAnchorFd, mFromAnchor, mPath)
                                  : ::open(mPath.constData(), kFolderFlags);
    if (fd < 0)
        throw fsError(errno, true);
    return fd;
}

// A listing made elsewhere serves only the folder it was made of, unchanged: one swapped for
// another (or for a link, which the open refuses) or changed since is read again.
void FolderListing::readOrTake(int fd, const FolderListing *listed, bool identify) {
    struct stat st {};
    if (!listed) {
        // Before the entries are read: a change while they are makes the identity differ.
        if (identify && ::fstat(fd, &st) == 0)
            mIdentity = FileIdentity::of(st);
        read(fd);
        return;
    }
    if (!listed->mIdentity || ::fstat(fd, &st) != 0 ||
        !(FileIdentity::of(st) == *listed->mIdentity)) {
        read(fd);
        return;
    }
    mFd = fd;
    mFiles = listed->mFiles;
    mSubFolders = listed->mSubFolders;
}

QByteArray FolderListing::childPath(const QByteArray &name) const {
    QByteArray out = mPath;
    if (!out.endsWith('/'))
        out += '/';
    return out + name;
}

// Hand-written over getdents64 rather than fdopendir/readdir: those add an fstat and an fcntl
// per folder, a third of the system calls of a walk of small folders.
void FolderListing::read(int fd) {
    mFd = fd;
    alignas(8) char entries[32 * 1024];
    for (;;) {
        const ssize_t n = ::getdents64(fd, entries, sizeof entries);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            closeDescriptor(); // the constructor fails: no destructor will
            throw fsError(error, true);
        }
        if (n == 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
            at += entry->d_reclen;
            classify(entry->d_name, entry->d_type);
        }
    }
    std::sort(mFiles.begin(), mFiles.end());
    std::sort(mSubFolders.begin(), mSubFolders.end());
}

void FolderListing::classify(const char *name, unsigned char type) {
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
        return;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(mFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return; // gone since the listing
        type = S_ISREG(st.st_mode)   ? DT_REG
               : S_ISDIR(st.st_mode) ? DT_DIR
               : S_ISLNK(st.st_mode) ? DT_LNK
                                     : DT_UNKNOWN;
    }
    if (type == DT_LNK) // a link counts as a file when it leads to one
        type = ::fstatat(mFd, name, &st, 0) == 0 && S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    if (type == DT_REG)
        mFiles.emplace_back(name);
    else if (type == DT_DIR)
        mSubFolders.emplace_back(name);
}

std::unique_ptr<TextStream> FolderListing::openFile(const QByteArray &name,
                                                    Identity *identity) const {
    if (mFd >= 0)
        return openRegular(mFd, name.constData(), identity);
    const int folder = openAgain();
    try {
        auto stream = openRegular(folder, name.constData(), identity);
        ::close(folder);
        return stream;
    } catch (...) {
        ::close(folder);
        throw;
    }
}

std::optional<FolderListing::Identity> FolderListing::fileIdentity(const QByteArray &name) const {
    struct stat st {};
    int at = -1;
    if (mFd >= 0) {
        at = ::fstatat(mFd, name.constData(), &st, 0);
    } else {
        try {
            const int folder = openAgain();
            at = ::fstatat(folder, name.constData(), &st, 0);
            ::close(folder);
        } catch (const Tavrin::PlatformError &) {
        }
    }
    if (at != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity::of(st);
}

std::unique_ptr<FolderListing> FolderListing::detached() const {
    std::unique_ptr<FolderListing> copy(new FolderListing);
    copy->mPath = mPath;
    copy->mFiles = mFiles;
    copy->mSubFolders = mSubFolders;
    copy->mIdentity = mIdentity;
    return copy;
}

FolderListing::~FolderListing() {
    closeDescriptor();
}

void FolderListing::closeDescriptor() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}
