#pragma once

#include <QString>

// The exclusive lock that serialises the writers of one profile file across threads and
// processes: flock() on a lock file beside the profile ("<file>.lock"), not on the profile
// itself, because every write replaces the profile's inode. The kernel queues the waiters and
// releases the lock of a writer that dies, so a crash never leaves it held. The lock file stays
// in place: removing it would let two writers lock two different files.
class ProfileFileLock {
public:
    explicit ProfileFileLock(const QString &profilePath);
    ~ProfileFileLock();

    ProfileFileLock(const ProfileFileLock &) = delete;
    ProfileFileLock &operator=(const ProfileFileLock &) = delete;

    // Waits until the lock is free; false when the lock file cannot be opened (e.g. read-only
    // folder). A writer holds the lock for one read-modify-write only.
    bool lock();

private:
    QString mLockPath;
    int mFd = -1;
};
