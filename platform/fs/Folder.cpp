#include "Folder.h"

#include "FsError.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

QString Folder::Name() const {
    if (msPath == QLatin1String("/"))
        return msPath;
    return msPath.mid(msPath.lastIndexOf(u'/') + 1);
}

std::vector<File> Folder::Files() const {
    std::vector<QByteArray> names;
    std::shared_ptr<DIR> dir = list(Kind::Files, names);
    QByteArray base = QFile::encodeName(msPath);
    if (!base.endsWith('/'))
        base += '/';
    std::vector<File> files;
    files.reserve(names.size());
    for (QByteArray &name : names)
        files.emplace_back(QFile::decodeName(base + name), dir, std::move(name));
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    std::vector<QByteArray> names;
    list(Kind::Folders, names);
    QByteArray base = QFile::encodeName(msPath);
    if (!base.endsWith('/'))
        base += '/';
    std::vector<Folder> folders;
    folders.reserve(names.size());
    for (const QByteArray &name : names)
        folders.emplace_back(QFile::decodeName(base + name));
    return folders;
}

std::shared_ptr<DIR> Folder::list(Kind kind, std::vector<QByteArray> &names) const {
    DIR *opened = ::opendir(QFile::encodeName(msPath).constData());
    if (!opened)
        throw fsError(errno, true);
    const std::shared_ptr<DIR> dir(opened, ::closedir);
    const int fd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw fsError(errno, true);
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        struct stat st {};
        bool isFile = entry->d_type == DT_REG;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK) { // a link counts as a file when it leads to one
            isFile = ::fstatat(fd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
        } else if (entry->d_type == DT_UNKNOWN &&
                   ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            isFile = S_ISREG(st.st_mode);
            isFolder = S_ISDIR(st.st_mode);
            if (S_ISLNK(st.st_mode))
                isFile = ::fstatat(fd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (kind == Kind::Files ? isFile : isFolder)
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return dir;
}
