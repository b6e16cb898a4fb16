#include "Dir.h"

#include "PlatformError.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>

namespace {
// "No such entry" in any of its forms; everything else is a failure of the lookup.
bool isNotFound(int error) {
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == EACCES ||
           error == ELOOP || error == EINVAL;
}

[[noreturn]] void throwLookupError(int error) {
    throw Tavrin::PlatformError(Tavrin::PlatformError::PathFileAccessError,
                                QStringLiteral("Path/File access error (%1)")
                                    .arg(QString::fromLocal8Bit(std::strerror(error))));
}

bool accepts(const QByteArray &path, int attributes) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (isNotFound(errno))
            return false;
        throwLookupError(errno);
    }
    return S_ISDIR(st.st_mode) ? (attributes & vbDirectory) != 0 : true;
}

// fnmatch treats [ and \ specially; the lookup knows only * and ?.
QByteArray escapeBrackets(const QByteArray &pattern) {
    QByteArray out;
    for (char c : pattern) {
        if (c == '[' || c == ']' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}
} // namespace

QString Dir(const QString &pathName, int attributes) {
    const QByteArray path = QFile::encodeName(pathName);
    const int slash = path.lastIndexOf('/');
    const QByteArray name = path.mid(slash + 1);
    if (!name.contains('*') && !name.contains('?')) {
        if (path.isEmpty() || !accepts(path, attributes))
            return {};
        return QFile::decodeName(name.isEmpty() ? path : name);
    }

    const QByteArray folder = slash < 0 ? QByteArray(".") : path.left(slash + 1);
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.constData()), ::closedir);
    if (!dir) {
        if (isNotFound(errno))
            return {};
        throwLookupError(errno);
    }
    const QByteArray pattern = escapeBrackets(name);
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray entryName(entry->d_name);
        if (entryName == "." || entryName == "..")
            continue;
        if (::fnmatch(pattern.constData(), entry->d_name, FNM_PERIOD) != 0)
            continue;
        if (accepts(folder + entryName, attributes))
            return QFile::decodeName(entryName);
        errno = 0;
    }
    if (errno != 0)
        throwLookupError(errno);
    return {};
}
