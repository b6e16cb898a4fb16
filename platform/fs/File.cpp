#include "File.h"

#include "FolderListing.h"
#include "FsError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::unique_ptr<TextStream> File::OpenAsTextStream() const {
    if (!mFolder)
        return openRegular(AT_FDCWD, QFile::encodeName(msPath).constData(), msPath);
    return mFolder->openFile(mName);
}

std::unique_ptr<TextStream> File::openRegular(int dirFd, const char *name, QString path) {
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
    return std::make_unique<TextStream>(fd, std::move(path), qint64(st.st_size));
}
