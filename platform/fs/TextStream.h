#pragma once

#include <QtGlobal>
#include <memory>

class Utf16Text;

// A file opened for reading, read in blocks at the offsets the caller asks for; the scan
// splits the lines itself. The file is read up to the size it had when opened, so a file that
// keeps growing is not followed. A file that begins with a UTF-16 byte order mark is read as
// the UTF-8 form of its text (without the mark), and offsets are of that form. Failures throw
// PlatformError.
class TextStream {
public:
    // size: the file's size when opened, -1 when not known (then read to its end, as a file
    // of /proc or /sys that gives its size as 0).
    TextStream(int fd, qint64 size);
    ~TextStream();
    TextStream(const TextStream &) = delete;
    TextStream &operator=(const TextStream &) = delete;

    void Close();
    // The file's size when opened, -1 when not known. For UTF-16 text, the size of the file,
    // not of the UTF-8 form read.
    qint64 size() const { return mSize; }

    // Up to maxBytes from the offset at into memory of the caller, which holds maxBytes at
    // least, without moving the stream; fewer only at the end of the file.
    qint64 ReadBlockAt(char *into, qint64 maxBytes, qint64 at);

private:
    qint64 readRaw(char *into, qint64 maxBytes, qint64 at);

    int mFd;
    qint64 mSize;
    bool mbEncodingKnown = false;
    std::unique_ptr<Utf16Text> mUtf16; // set for a file with a UTF-16 byte order mark
};
