#pragma once

#include "File.h"

#include <QString>
#include <memory>
#include <vector>

// A folder of the file system. The listings are read when asked for, in byte order of the
// names. Only regular files (links to them included) are files and only real folders are
// subfolders: links to folders are not entered, and FIFOs, sockets and devices are not listed.
class Folder {
public:
    explicit Folder(QString path) : msPath(std::move(path)) {}

    QString Path() const { return msPath; }
    QString Name() const;
    // Both throw PlatformError when the folder cannot be read.
    std::vector<File> Files() const;
    std::vector<Folder> SubFolders() const;

private:
    enum class Kind { Files, Folders };
    // The open folder, and the names of the kind in byte order.
    std::shared_ptr<DIR> list(Kind kind, std::vector<QByteArray> &names) const;

    QString msPath;
};
