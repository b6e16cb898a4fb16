#include "FolderListing.h"

#include "File.h"
#include "FsError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

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

FolderListing::FolderListing(const QByteArray &path) : mPath(normalPath(path)) {
    // The starting folder may itself be reached through a link; only links below it are not.
    const int fd = ::open(mPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw fsError(errno, true);
    read(fd);
}

FolderListing::FolderListing(const FolderListing &parent, const QByteArray &name)
    : mPath(parent.childPath(name)) {
    const int fd = parent.mDir
                       ? ::openat(::dirfd(parent.mDir.get()), name.constData(), kFolderFlags)
                       : ::open(mPath.constData(), kFolderFlags);
    if (fd < 0)
        throw fsError(errno, true);
    read(fd);
}

QByteArray FolderListing::childPath(const QByteArray &name) const {
    QByteArray out = mPath;
    if (!out.endsWith('/'))
        out += '/';
    return out + name;
}

void FolderListing::read(int fd) {
    mDir.reset(::fdopendir(fd));
    if (!mDir) {
        const int error = errno;
        ::close(fd);
        throw fsError(error, true);
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(mDir.get());
        if (!entry) {
            if (errno != 0)
                throw fsError(errno, true);
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        unsigned char type = entry->d_type;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since the listing
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_LNK) // a link counts as a file when it leads to one
            type = ::fstatat(fd, name, &st, 0) == 0 && S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        if (type == DT_REG)
            mFiles.emplace_back(name);
        else if (type == DT_DIR)
            mSubFolders.emplace_back(name);
    }
    std::sort(mFiles.begin(), mFiles.end());
    std::sort(mSubFolders.begin(), mSubFolders.end());
}

std::unique_ptr<TextStream> FolderListing::openFile(const QByteArray &name) const {
    const QString display = displayPath(childPath(name));
    if (mDir)
        return File::openRegular(::dirfd(mDir.get()), name.constData(), display);
    return File::openRegular(AT_FDCWD, childPath(name).constData(), display);
}

void FolderListing::closeDescriptor() {
    mDir.reset();
}
