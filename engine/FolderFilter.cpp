#include "FolderFilter.h"

#include "MatchPause.h"

#include <QFile>
#include <fnmatch.h>

namespace {
// The work of one fnmatch, in MatchPause's units.
constexpr quint64 kGlobWork = 64;
} // namespace

std::optional<FolderFilter> FolderFilter::parse(const QString &list, QString *error) {
    FolderFilter filter;
    QSet<QByteArray> globs;
    for (const QString &part : list.split(u';', Qt::SkipEmptyParts)) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        if (entry.contains(u'/') || entry.contains(QChar(0))) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a folder name").arg(entry);
            return std::nullopt;
        }
        QByteArray bytes = QFile::encodeName(entry);
        // Without these fnmatch compares the bytes as they are.
        const bool wildcard = bytes.contains('*') || bytes.contains('?') || bytes.contains('[') ||
                              bytes.contains('\\');
        if (!wildcard)
            filter.mNames.insert(bytes);
        else if (!globs.contains(bytes)) {
            globs.insert(bytes);
            filter.mGlobs.push_back(std::move(bytes));
        }
    }
    return filter;
}

bool FolderFilter::excludes(const QByteArray &name, MatchPause *pause) const {
    if (mNames.contains(name))
        return true;
    for (const QByteArray &glob : mGlobs) {
        if (::fnmatch(glob.constData(), name.constData(), 0) == 0)
            return true;
        if (pause && pause->addWork(kGlobWork))
            return true;
    }
    return false;
}
