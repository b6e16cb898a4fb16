#include "ProfileFileLock.h"

ProfileFileLock::ProfileFileLock(const QString &profilePath)
    : mLockFile(profilePath + QStringLiteral(".lock")) {}

ProfileFileLock::~ProfileFileLock() = default; // QLockFile unlocks in its destructor

bool ProfileFileLock::lock(int timeoutMs) {
    return mLockFile.tryLock(timeoutMs);
}
