#include "ItemPipe.h"

#include <QDBusConnection>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TavrinEXE {

namespace {
// The pipe a reader asks for: as much as the system lets a user have without privilege.
constexpr int kPipeBytes = 1 << 20;
// A run the server packs at most, whatever room a privileged reader gave its pipe.
constexpr qint64 kLargestRun = 4 << 20;
} // namespace

qint64 ItemPipe::roomIn(int fd) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))
        return -1;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return -1;
    // Never wait for a reader: one that does not read only fills its own pipe.
    if (!(flags & O_NONBLOCK) && fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return -1;
    const int capacity = fcntl(fd, F_GETPIPE_SZ);
    int unread = 0;
    if (capacity < 0 || ioctl(fd, FIONREAD, &unread) != 0)
        return -1;
    // The pipe holds its bytes in pages: the page the reader is partway through and the last
    // one written may each hold less than a page, so two pages of the room may not take a byte.
    const qint64 page = sysconf(_SC_PAGESIZE);
    return qBound<qint64>(0, qint64(capacity) - unread - 2 * page, kLargestRun);
}

bool ItemPipe::write(int fd, const QByteArray &run) {
    qsizetype written = 0;
    while (written < run.size()) {
        const ssize_t n = ::write(fd, run.constData() + written, run.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

ItemPipeReader::~ItemPipeReader() {
    close();
}

bool ItemPipeReader::open() {
    if (isOpen())
        return true;
    if (!(QDBusConnection::sessionBus().connectionCapabilities() &
          QDBusConnection::UnixFileDescriptorPassing))
        return false;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    fcntl(ends[1], F_SETPIPE_SZ, kPipeBytes); // else the runs are smaller
    mReadEnd = ends[0];
    ++mGeneration;
    mWriteEnd = QDBusUnixFileDescriptor(ends[1]); // holds a duplicate
    ::close(ends[1]);
    if (!mWriteEnd.isValid()) {
        close();
        return false;
    }
    return true;
}

void ItemPipeReader::close() {
    if (mReadEnd >= 0)
        ::close(mReadEnd);
    mReadEnd = -1;
    mWriteEnd = QDBusUnixFileDescriptor();
}

bool ItemPipeReader::read(qint64 bytes, QByteArray &run) {
    run.resize(bytes);
    qint64 done = 0;
    while (isOpen() && done < bytes) {
        const ssize_t n = ::read(mReadEnd, run.data() + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done == bytes)
        return true;
    close();
    run.clear();
    return false;
}

} // namespace TavrinEXE
