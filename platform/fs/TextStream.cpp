#include "TextStream.h"

#include "FsError.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

TextStream::TextStream(int fd, QString path) : mFd(fd), msPath(std::move(path)) {}

TextStream::~TextStream() {
    Close();
}

void TextStream::Close() {
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

qint64 TextStream::ReadBlock(QByteArray &buffer, qint64 maxBytes) {
    if (mFd < 0)
        throw PlatformError(PlatformError::PathFileAccessError,
                            QStringLiteral("Bad file name or number"));
    const qsizetype old = buffer.size();
    buffer.resize(old + maxBytes);
    ssize_t n;
    do
        n = ::read(mFd, buffer.data() + old, maxBytes);
    while (n < 0 && errno == EINTR);
    const int error = errno;
    buffer.resize(old + std::max<ssize_t>(n, 0));
    if (n < 0)
        throw fsError(error);
    return n;
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
