#include "FolderFilter.h"

#include <QFile>
#include <fnmatch.h>

std::optional<FolderFilter> FolderFilter::parse(const QString &list, QString *error) {
    FolderFilter filter;
    for (const QString &part : list.split(u';', Qt::SkipEmptyParts)) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        if (entry.contains(u'/') || entry.contains(QChar(0))) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a folder name").arg(entry);
            return std::nullopt;
        }
        filter.mGlobs.push_back(QFile::encodeName(entry));
    }
    return filter;
}

bool FolderFilter::excludes(const QByteArray &name) const {
    for (const QByteArray &glob : mGlobs) {
        if (::fnmatch(glob.constData(), name.constData(), 0) == 0)
            return true;
    }
    return false;
}
