#include "TextStream.h"

#include "FsError.h"
#include "Utf16Text.h"

#include <algorithm>
#include <cerrno>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {
// Files of the kernel's own file systems give their size as 0 and are read to their end.
bool isPseudoFile(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (fs.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}
} // namespace

TextStream::TextStream(int fd, qint64 size)
    : mFd(fd), mSize(size == 0 && fd >= 0 && isPseudoFile(fd) ? -1 : size) {}

TextStream::~TextStream() {
    Close();
}

void TextStream::Close() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

qint64 TextStream::ReadBlockAt(char *into, qint64 maxBytes, qint64 at) {
    if (mUtf16)
        return mUtf16->read(into, maxBytes, at);
    const qint64 n = readRaw(into, maxBytes, at);
    if (mbEncodingKnown)
        return n;
    // The byte order mark is looked at with the first read, which is nearly always at 0.
    mbEncodingKnown = true;
    char head[2];
    const char *mark = into;
    if (at != 0 || n < 2) {
        if (readRaw(head, 2, 0) < 2)
            return n;
        mark = head;
    }
    const bool littleEndian = uchar(mark[0]) == 0xFF && uchar(mark[1]) == 0xFE;
    const bool bigEndian = uchar(mark[0]) == 0xFE && uchar(mark[1]) == 0xFF;
    if (!littleEndian && !bigEndian)
        return n;
    mUtf16 = std::make_unique<Utf16Text>(bigEndian, 2, [this](char *to, qint64 most, qint64 from) {
        return readRaw(to, most, from);
    });
    return mUtf16->read(into, maxBytes, at);
}

qint64 TextStream::readRaw(char *into, qint64 maxBytes, qint64 at) {
    if (mFd < 0)
        throw Tavrin::PlatformError(Tavrin::PlatformError::PathFileAccessError,
                                    QStringLiteral("Bad file name or number"));
    if (mSize >= 0)
        maxBytes = std::min(maxBytes, mSize - at);
    qint64 total = 0;
    while (total < maxBytes) {
        const ssize_t n = ::pread(mFd, into + total, maxBytes - total, at + total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fsError(errno);
        if (n == 0)
            break; // the file shrank
        total += n;
    }
    return total;
}
