#include "TextStream.h"

#include "FsError.h"

#include <cerrno>
#include <unistd.h>

TextStream::TextStream(int fd, qint64 size) : mFd(fd), mSize(size) {}

TextStream::~TextStream() {
    Close();
}

void TextStream::Close() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

qint64 TextStream::ReadBlockAt(char *into, qint64 maxBytes, qint64 at) {
    if (mFd < 0)
        throw PlatformError(PlatformError::PathFileAccessError,
                            QStringLiteral("Bad file name or number"));
    qint64 total = 0;
    while (total < maxBytes) {
        const ssize_t n = ::pread(mFd, into + total, maxBytes - total, at + total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fsError(errno);
        if (n == 0)
            break;
        total += n;
        if (total < maxBytes && at + total >= mSize && mSize >= 0)
            break; // the end as opened: a short read there is the end of the file
    }
    return total;
}
