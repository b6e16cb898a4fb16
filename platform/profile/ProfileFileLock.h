#pragma once

#include <QLockFile>
#include <QString>

// The exclusive lock that serialises the writers of one profile file across threads and
// processes. It is a lock file beside the profile ("<file>.lock"), not a lock on the profile
// itself, because every write replaces the profile's inode. A lock left by a writer that died
// is taken over.
class ProfileFileLock {
public:
    explicit ProfileFileLock(const QString &profilePath);
    ~ProfileFileLock();

    ProfileFileLock(const ProfileFileLock &) = delete;
    ProfileFileLock &operator=(const ProfileFileLock &) = delete;

    // Waits up to timeoutMs for the lock; false when it could not be had (e.g. read-only folder).
    bool lock(int timeoutMs = 10000);

private:
    QLockFile mLockFile;
};
