#pragma once

#include <QString>

// A file of a folder listing.
class File {
public:
    explicit File(QString path) : msPath(std::move(path)) {}

    // The full path, in normal form; also the object's default value.
    QString Path() const { return msPath; }
    QString Name() const { return msPath.mid(msPath.lastIndexOf(u'/') + 1); }

private:
    QString msPath;
};
