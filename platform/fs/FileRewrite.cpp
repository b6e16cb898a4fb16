#include "FileRewrite.h"

#include "FsError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

void writeAll(int fd, const QByteArray &bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fsError(errno);
        done += n;
    }
}

QByteArray readAll(int fd, qint64 sizeHint) {
    QByteArray bytes;
    bytes.resize(std::max<qint64>(sizeHint, 0) + 1); // one more: a file that grew reads on
    qint64 done = 0;
    for (;;) {
        if (done == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fsError(errno);
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}
} // namespace

FileRewrite::FileRewrite(const QByteArray &path) {
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        throw fsError(errno);
    mTarget = resolved;
    std::free(resolved);
    // Non-blocking, so that a FIFO put in the file's place cannot hang the open.
    Descriptor file{::open(mTarget.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        throw fsError(errno);
    if (::fstat(file.fd, &mStat) != 0)
        throw fsError(errno);
    if (!S_ISREG(mStat.st_mode))
        throw fsError(S_ISDIR(mStat.st_mode) ? EISDIR : ENXIO);
    mContents = readAll(file.fd, mStat.st_size);
    mIdentity = FileIdentity::of(mStat);
}

bool FileRewrite::commit(const QByteArray &contents) {
    struct stat now {};
    if (::stat(mTarget.constData(), &now) != 0 || !(FileIdentity::of(now) == mIdentity))
        return false;
    if ((mStat.st_mode & 0222) == 0)
        throw Tavrin::PlatformError(Tavrin::PlatformError::PermissionDenied,
                            QStringLiteral("the file is read-only"));
    if (::faccessat(AT_FDCWD, mTarget.constData(), W_OK, AT_EACCESS) != 0)
        throw fsError(errno);
    if (mStat.st_nlink > 1)
        return writeInPlace(contents);
    replaceByRename(contents);
    return true;
}

bool FileRewrite::writeInPlace(const QByteArray &contents) {
    Descriptor file{::open(mTarget.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC)};
    if (file.fd < 0)
        throw fsError(errno);
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        throw fsError(errno);
    if (!(FileIdentity::of(st) == mIdentity))
        return false;
    // Written over, then cut: at no moment is the file empty.
    writeAll(file.fd, contents);
    if (::ftruncate(file.fd, contents.size()) != 0 || ::fsync(file.fd) != 0 ||
        ::fstat(file.fd, &st) != 0)
        throw fsError(errno);
    mIdentity = FileIdentity::of(st);
    return true;
}

void FileRewrite::replaceByRename(const QByteArray &contents) {
    const qsizetype slash = mTarget.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? mTarget.left(slash) : QByteArray("/");
    // A name of its own beside the file, short enough for any file name's length.
    QByteArray temporary = folder + "/." + mTarget.mid(slash + 1).left(200) + ".XXXXXX";
    Descriptor file{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.fd < 0) {
        const Tavrin::PlatformError reason = fsError(errno, true);
        throw Tavrin::PlatformError(
            reason.number(),
            QStringLiteral("its folder takes no new file (%1)").arg(reason.description()));
    }
    try {
        // The owner first: a change of owner clears the set-user and set-group bits.
        if (::fchown(file.fd, mStat.st_uid, mStat.st_gid) != 0 && errno == EPERM)
            (void)::fchown(file.fd, uid_t(-1), mStat.st_gid); // a group of the user's own
        if (::fchmod(file.fd, mStat.st_mode & 07777) != 0)
            throw fsError(errno);
        writeAll(file.fd, contents);
        struct stat st {};
        if (::fsync(file.fd) != 0 || ::fstat(file.fd, &st) != 0)
            throw fsError(errno);
        // The folder is not synced after the rename: until it reaches the disk, a crash leaves the
        // old file, whole, where a sync of its own would double the time a file takes.
        if (::rename(temporary.constData(), mTarget.constData()) != 0)
            throw fsError(errno);
        mIdentity = FileIdentity::of(st);
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
}
