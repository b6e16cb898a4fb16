#pragma once

#include "TextStream.h"

#include <QByteArray>
#include <QString>
#include <memory>

class FolderListing;

// A file of a folder listing.
class File {
public:
    explicit File(QString path) : msPath(std::move(path)) {}
    // A file listed in the open folder, named there by its bytes.
    File(QString path, std::shared_ptr<const FolderListing> folder, QByteArray name)
        : msPath(std::move(path)), mFolder(std::move(folder)), mName(std::move(name)) {}

    // The full path, in normal form; also the object's default value.
    QString Path() const { return msPath; }
    QString Name() const { return msPath.mid(msPath.lastIndexOf(u'/') + 1); }

    // Opens the file for reading as FileSystemObject::OpenTextFile does; a file of a listing is
    // opened by its name in the folder, without looking its whole path up again.
    std::unique_ptr<TextStream> OpenAsTextStream() const;

    // Opens name (a path, or a name in the folder dirFd) for reading when it is a regular file;
    // throws PlatformError otherwise. A FIFO or device is never opened for reading.
    static std::unique_ptr<TextStream> openRegular(int dirFd, const char *name, QString path);

private:
    QString msPath;
    std::shared_ptr<const FolderListing> mFolder; // keeps the folder open while its files are read
    QByteArray mName;
};
