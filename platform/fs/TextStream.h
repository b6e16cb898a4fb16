#pragma once

#include <QtGlobal>

// A file opened for reading, read in blocks at the offsets the caller asks for; the scan
// splits the lines itself. Failures throw PlatformError.
class TextStream {
public:
    // size: the file's size when opened, -1 when not known; reading stops at it without asking
    // the system again unless the file has grown.
    TextStream(int fd, qint64 size);
    ~TextStream();
    TextStream(const TextStream &) = delete;
    TextStream &operator=(const TextStream &) = delete;

    void Close();
    // The file's size when opened, -1 when not known.
    qint64 size() const { return mSize; }

    // Up to maxBytes from the file offset at into memory of the caller, which holds maxBytes at
    // least, without moving the stream; fewer only at the end of the file.
    qint64 ReadBlockAt(char *into, qint64 maxBytes, qint64 at);

private:
    int mFd;
    qint64 mSize;
};
