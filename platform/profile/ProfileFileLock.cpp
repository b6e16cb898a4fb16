#include "ProfileFileLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ProfileFileLock::ProfileFileLock(const QString &profilePath)
    : mLockPath(profilePath + QStringLiteral(".lock")) {}

ProfileFileLock::~ProfileFileLock() {
    if (mFd >= 0)
        ::close(mFd); // releases the lock
}

bool ProfileFileLock::lock() {
    if (mFd < 0) {
        mFd = ::open(QFile::encodeName(mLockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (mFd < 0)
            return false;
    }
    int rc;
    do
        rc = ::flock(mFd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}
