#pragma once

#include <QByteArray>
#include <QString>

// A text stream over a file opened for reading. Text is UTF-8 (invalid sequences read as
// U+FFFD); lines end at LF or CR LF, a last line without an end is a line, and a final line
// end does not start another line. Failures throw PlatformError.
class TextStream {
public:
    // size: the file's size when opened, -1 when not known; reading stops at it without asking
    // the system again unless the file has grown.
    TextStream(int fd, QString path, qint64 size = -1);
    ~TextStream();
    TextStream(const TextStream &) = delete;
    TextStream &operator=(const TextStream &) = delete;

    bool AtEndOfStream();
    QString ReadLine();
    void Close();

    // Raw access for block searching: appends up to maxBytes of the file's next bytes to buffer
    // (one read, possibly fewer) and gives how many were appended, 0 at the end of the file.
    // Do not mix with ReadLine.
    qint64 ReadBlock(QByteArray &buffer, qint64 maxBytes);
    // The same into memory of the caller, which holds maxBytes at least.
    qint64 ReadBlock(char *into, qint64 maxBytes);
    // Up to maxBytes from the file offset at, without moving the stream; fewer only at the end
    // of the file.
    qint64 ReadBlockAt(char *into, qint64 maxBytes, qint64 at);

private:
    bool fill();

    int mFd;
    qint64 mlSize;
    QString msPath;
    QByteArray mBuffer;
    qsizetype mlPos = 0;
    bool mbEof = false;
};
