#pragma once

#include <QLocale>
#include <QString>

// "1 file", "9,423 files": a count in the user's notation, grouped, with its noun, so that the
// numbers of one status line read alike.
inline QString countText(qint64 count, const QString &singular, const QString &plural) {
    return QStringLiteral("%1 %2").arg(QLocale().toString(count), count == 1 ? singular : plural);
}
