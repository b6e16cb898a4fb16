#pragma once

#include <QString>

// Reads and writes of one key of an INI profile file (see IniDocument for the layout).

// The value of key in section, or def when the file, the section or the key is missing; as a
// buffer of `size` characters would hold it: cut at its first NUL and to at most size - 1
// characters. A file that cannot be read counts as missing.
QString GetPrivateProfileStringA(const QString &section, const QString &key, const QString &def,
                                 int size, const QString &path);

// Sets key in section to value, creating the folder, the file, the section and the key as
// needed; every other line of the file is kept byte for byte. The file is replaced atomically
// (a whole new file, then a rename) under an exclusive lock, so concurrent writers in other
// threads or processes never lose each other's keys and a crash never leaves a torn file.
// Returns false when the write could not be done (e.g. read-only folder); the old file is then
// untouched.
bool WritePrivateProfileStringA(const QString &section, const QString &key, const QString &value,
                                const QString &path);
