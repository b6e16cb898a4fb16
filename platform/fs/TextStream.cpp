#include "TextStream.h"

#include "FsError.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

TextStream::TextStream(int fd, QString path, qint64 size)
    : mFd(fd), mlSize(size), msPath(std::move(path)) {}

TextStream::~TextStream() {
    Close();
}

void TextStream::Close() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

qint64 TextStream::ReadBlock(QByteArray &buffer, qint64 maxBytes) {
    const qsizetype old = buffer.size();
    buffer.resize(old + maxBytes);
    qint64 n = 0;
    try {
        n = ReadBlock(buffer.data() + old, maxBytes);
    } catch (...) {
        buffer.resize(old);
        throw;
    }
    buffer.resize(old + n);
    return n;
}

qint64 TextStream::ReadBlock(char *into, qint64 maxBytes) {
    if (mFd < 0)
        throw PlatformError(PlatformError::PathFileAccessError,
                            QStringLiteral("Bad file name or number"));
    ssize_t n;
    do
        n = ::read(mFd, into, maxBytes);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        throw fsError(errno);
    return n;
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
        if (total < maxBytes && at + total >= mlSize && mlSize >= 0)
            break; // the end as opened: a short read there is the end of the file
    }
    return total;
}

bool TextStream::fill() {
    if (mbEof)
        return false;
    mBuffer.remove(0, mlPos);
    mlPos = 0;
    if (ReadBlock(mBuffer, kChunk) == 0)
        mbEof = true;
    return !mbEof;
}

bool TextStream::AtEndOfStream() {
    if (mlPos < mBuffer.size())
        return false;
    return !fill();
}

QString TextStream::ReadLine() {
    qsizetype scanFrom = mlPos;
    for (;;) {
        const qsizetype lf = mBuffer.indexOf('\n', scanFrom);
        if (lf >= 0) {
            qsizetype end = lf;
            if (end > mlPos && mBuffer.at(end - 1) == '\r')
                --end;
            const QString line = QString::fromUtf8(mBuffer.constData() + mlPos, end - mlPos);
            mlPos = lf + 1;
            return line;
        }
        scanFrom = mBuffer.size() - mlPos; // offset survives the compaction in fill()
        if (!fill()) {
            if (mlPos >= mBuffer.size())
                throw PlatformError(62, QStringLiteral("Input past end of file"));
            const QString line =
                QString::fromUtf8(mBuffer.constData() + mlPos, mBuffer.size() - mlPos);
            mlPos = mBuffer.size();
            return line;
        }
    }
}
