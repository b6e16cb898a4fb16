#include "FileSystemObject.h"

QString FileSystemObject::GetExtensionName(const QString &path) const {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}
