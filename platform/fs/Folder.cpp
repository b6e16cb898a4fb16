#include "Folder.h"

#include "FsError.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

QString Folder::Name() const {
    if (msPath == QLatin1String("/"))
        return msPath;
    return msPath.mid(msPath.lastIndexOf(u'/') + 1);
}

std::vector<File> Folder::Files() const {
    std::vector<File> files;
    for (QString &path : list(Kind::Files))
        files.emplace_back(std::move(path));
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    std::vector<Folder> folders;
    for (QString &path : list(Kind::Folders))
        folders.emplace_back(std::move(path));
    return folders;
}

std::vector<QString> Folder::list(Kind kind) const {
    QByteArray base = QFile::encodeName(msPath);
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(base.constData()), ::closedir);
    if (!dir)
        throw fsError(errno, true);
    if (!base.endsWith('/'))
        base += '/';

    std::vector<QByteArray> names;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw fsError(errno, true);
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray full = base + name;
        struct stat st {};
        bool isFile = entry->d_type == DT_REG;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK) { // a link counts as a file when it leads to one
            isFile = ::stat(full.constData(), &st) == 0 && S_ISREG(st.st_mode);
        } else if (entry->d_type == DT_UNKNOWN && ::lstat(full.constData(), &st) == 0) {
            isFile = S_ISREG(st.st_mode);
            isFolder = S_ISDIR(st.st_mode);
            if (S_ISLNK(st.st_mode))
                isFile = ::stat(full.constData(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (kind == Kind::Files ? isFile : isFolder)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());

    std::vector<QString> paths;
    paths.reserve(names.size());
    for (const QByteArray &name : names)
        paths.push_back(QFile::decodeName(base + name));
    return paths;
}
