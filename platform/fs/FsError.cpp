#include "FsError.h"

#include <cerrno>
#include <cstring>

Tavrin::PlatformError fsError(int error, bool forFolder) {
    int number = Tavrin::PlatformError::PathFileAccessError;
    if (error == ENOENT || error == ENOTDIR)
        number =
            forFolder ? Tavrin::PlatformError::PathNotFound : Tavrin::PlatformError::FileNotFound;
    else if (error == EACCES || error == EPERM)
        number = Tavrin::PlatformError::PermissionDenied;
    return {number, QString::fromLocal8Bit(std::strerror(error))};
}
