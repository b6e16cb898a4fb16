#include "FsError.h"

#include <cerrno>
#include <cstring>

PlatformError fsError(int error, bool forFolder) {
    int number = PlatformError::PathFileAccessError;
    if (error == ENOENT || error == ENOTDIR)
        number = forFolder ? PlatformError::PathNotFound : PlatformError::FileNotFound;
    else if (error == EACCES || error == EPERM)
        number = PlatformError::PermissionDenied;
    return {number, QString::fromLocal8Bit(std::strerror(error))};
}
