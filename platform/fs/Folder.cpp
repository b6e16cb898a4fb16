#include "Folder.h"

#include "FolderListing.h"

#include <QFile>

QString Folder::Name() const {
    if (msPath == QLatin1String("/"))
        return msPath;
    return msPath.mid(msPath.lastIndexOf(u'/') + 1);
}

std::vector<File> Folder::Files() const {
    const auto listing = std::make_shared<const FolderListing>(QFile::encodeName(msPath));
    std::vector<File> files;
    files.reserve(listing->files().size());
    for (const QByteArray &name : listing->files())
        files.emplace_back(FolderListing::displayPath(listing->childPath(name)), listing, name);
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    const FolderListing listing(QFile::encodeName(msPath));
    std::vector<Folder> folders;
    folders.reserve(listing.subFolders().size());
    for (const QByteArray &name : listing.subFolders())
        folders.emplace_back(FolderListing::displayPath(listing.childPath(name)));
    return folders;
}
