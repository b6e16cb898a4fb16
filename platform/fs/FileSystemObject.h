#pragma once

#include "Folder.h"
#include "TextStream.h"

#include <QString>
#include <memory>

// The file-system object of the scan. Paths use "/"; doubled separators are accepted and
// every path it reports is in normal form.
class FileSystemObject {
public:
    enum IOMode { ForReading = 1 };
    enum Format { TristateFalse = 0 };

    // Throws PlatformError when path is not a folder that can be opened.
    Folder GetFolder(const QString &path) const;
    // The text after the last dot of the name, without the dot; "" when there is none.
    QString GetExtensionName(const QString &path) const;
    // Only reading of existing files is supported. Throws PlatformError when the file cannot be
    // opened or is not a regular file (a FIFO or device is never opened for reading).
    std::unique_ptr<TextStream> OpenTextFile(const QString &path, int iomode = ForReading,
                                             bool create = false, int format = TristateFalse) const;

    static QString normalPath(const QString &path);
};
