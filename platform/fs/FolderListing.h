#pragma once

#include "FileIdentity.h"
#include "TextStream.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// One folder, read once: a single pass over its entries gives both its files and its
// subfolders. Invariants:
// - names are the raw bytes of the entries, never decoded; each list is in byte order;
// - files are regular files and links to them; subfolders are real folders (links to folders
//   are not entered); FIFOs, sockets and devices are in neither list;
// - the entry type of the listing decides; only an entry of unknown type, or a link, is stat'ed;
// - while the folder is held open (until closeDescriptor), its files and subfolders are opened
//   by name relative to it (openat), never by looking their whole path up again; afterwards
//   they are opened by their path below the nearest folder above that is still held open
//   (its anchor), following no link on the way, so a deep walk need not hold one descriptor per
//   level; the folders above stay open while it is walked;
// - a path becomes text only through displayPath (invalid bytes as U+FFFD);
// - a listing made on another thread (detached) serves only while its folder is unchanged.
class FolderListing {
public:
    using Identity = FileIdentity;

    // Opens and lists the folder at path (raw bytes; doubled and trailing "/" are dropped).
    // Throws PlatformError when it is not a folder that can be read. listed: the same folder as
    // listed before (detached), whose lists are taken when the folder opened is still that one,
    // unchanged; else the folder is read. identify: keep the folder's identity as it was before
    // it was read, for a detached copy to be taken as listed.
    explicit FolderListing(const QByteArray &path, const FolderListing *listed = nullptr,
                           bool identify = false);
    // Opens and lists the subfolder name of parent, as above.
    FolderListing(const FolderListing &parent, const QByteArray &name,
                  const FolderListing *listed = nullptr, bool identify = false);
    ~FolderListing();
    FolderListing(const FolderListing &) = delete;
    FolderListing &operator=(const FolderListing &) = delete;

    const QByteArray &path() const { return mPath; }
    const std::vector<QByteArray> &files() const { return mFiles; }
    const std::vector<QByteArray> &subFolders() const { return mSubFolders; }
    QByteArray childPath(const QByteArray &name) const;

    // Opens the file name of this folder for reading; throws PlatformError when it cannot be
    // opened or is not a regular file (a FIFO or device is never opened for reading). identity,
    // when given, gets the file's as opened.
    std::unique_ptr<TextStream> openFile(const QByteArray &name,
                                         Identity *identity = nullptr) const;
    // The identity of the regular file name would open now; none when it is not one.
    std::optional<Identity> fileIdentity(const QByteArray &name) const;
    // Gives the folder's descriptor back; the lists stay.
    void closeDescriptor();
    // The same path, lists and identity, without a descriptor: its files and subfolders open by
    // path.
    std::unique_ptr<FolderListing> detached() const;

    static QByteArray normalPath(const QByteArray &path);
    static QString displayPath(const QByteArray &path) { return QString::fromUtf8(path); }

private:
    FolderListing() = default;
    void read(int fd);
    void readOrTake(int fd, const FolderListing *listed, bool identify);
    int openAgain() const;
    void classify(const char *name, unsigned char type);

    QByteArray mPath;
    int mFd = -1; // the open folder
    int mAnchorFd = -1;     // the nearest folder above held open, or -1 (a start folder)
    QByteArray mFromAnchor; // this folder's path below it
    std::vector<QByteArray> mFiles;
    std::vector<QByteArray> mSubFolders;
    std::optional<Identity> mIdentity; // as the folder was before it was read, when asked
};
