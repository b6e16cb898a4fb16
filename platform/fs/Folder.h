#pragma once

#include "File.h"

#include <QString>
#include <memory>
#include <vector>

// A folder of the file system by its path as text; the lists are those of a FolderListing, read
// when asked for. Only regular files (links to them included) are files and only real folders are
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
    QString msPath;
};
