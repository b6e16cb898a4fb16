#pragma once

#include <QString>

// Attributes of the directory lookup.
constexpr int vbNormal = 0;
constexpr int vbDirectory = 16;

// The directory lookup: the name of the first entry that pathName names, or "" when there is
// none. The last component may hold the wildcards * and ? (names beginning with a dot match
// only a pattern beginning with one). Folders count only with vbDirectory. A failure of the
// lookup itself (an I/O error, not "no such entry") throws PlatformError.
QString Dir(const QString &pathName, int attributes = vbNormal);
