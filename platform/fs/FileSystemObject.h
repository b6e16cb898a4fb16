#pragma once

#include <QString>

// The file-system object of the scan; the walk itself lists folders with FolderListing.
class FileSystemObject {
public:
    // The text after the last dot of the name, without the dot; "" when there is none.
    QString GetExtensionName(const QString &path) const;
};
