#pragma once

#include <QByteArray>
#include <QDBusUnixFileDescriptor>

namespace TavrinEXE {

// A pipe that carries the runs of items the Collection member WriteItems packs
// (ItemPacking.h), so that a walk of millions of findings does not cross the bus: the bus
// daemon and both ends read a message 2 KB a system call and map fresh memory for each. The
// reader makes the pipe and passes its write end with each call; the server writes a run that
// fits the room left in the pipe, without waiting, then replies how many bytes it wrote, and
// the reader takes exactly those. The server keeps no descriptor past the call.
namespace ItemPipe {
// The server's side. The bytes a write to fd holds for certain, or -1 when fd is not the write
// end of a pipe.
qint64 roomIn(int fd);
// Writes run to fd without waiting; false when the pipe took less than all of it (a reader that
// closed its end, or wrote there itself).
bool write(int fd, const QByteArray &run);
} // namespace ItemPipe

// The reader's side: one pipe, made on first use.
class ItemPipeReader {
public:
    ItemPipeReader() = default;
    ~ItemPipeReader();
    ItemPipeReader(const ItemPipeReader &) = delete;
    ItemPipeReader &operator=(const ItemPipeReader &) = delete;

    // Makes the pipe unless it is open; false when the system refuses one, or the session bus
    // does not carry descriptors.
    bool open();
    // Whatever was written and not read is dropped; a write to the closed pipe fails.
    void close();
    bool isOpen() const { return mReadEnd >= 0; }
    const QDBusUnixFileDescriptor &writeEnd() const { return mWriteEnd; }
    // Counts the pipes made: a run written to an earlier one is gone.
    quint64 generation() const { return mGeneration; }
    // Reads exactly bytes, which the server wrote before the reply that gave their number;
    // closes the pipe and returns false when fewer are there.
    bool read(qint64 bytes, QByteArray &run);

private:
    int mReadEnd = -1;
    QDBusUnixFileDescriptor mWriteEnd;
    quint64 mGeneration = 0;
};

} // namespace TavrinEXE
