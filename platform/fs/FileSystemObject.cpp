#include "FileSystemObject.h"

#include "FsError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString FileSystemObject::normalPath(const QString &path) {
    QString out;
    out.reserve(path.size());
    for (QChar c : path) {
        if (c == u'/' && out.endsWith(u'/'))
            continue;
        out += c;
    }
    if (out.size() > 1 && out.endsWith(u'/'))
        out.chop(1);
    return out;
}

Folder FileSystemObject::GetFolder(const QString &path) const {
    const QString normal = normalPath(path);
    struct stat st {};
    if (::stat(QFile::encodeName(normal).constData(), &st) != 0)
        throw fsError(errno, true);
    if (!S_ISDIR(st.st_mode))
        throw fsError(ENOTDIR, true);
    return Folder(normal);
}

QString FileSystemObject::GetExtensionName(const QString &path) const {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(const QString &path, int iomode,
                                                           bool create, int format) const {
    if (iomode != ForReading || create || format != TristateFalse)
        throw PlatformError(PlatformError::InvalidProcedureCall,
                            QStringLiteral("Invalid procedure call or argument"));
    const QString normal = normalPath(path);
    return File::openRegular(AT_FDCWD, QFile::encodeName(normal).constData(), normal);
}
