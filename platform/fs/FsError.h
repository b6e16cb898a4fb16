#pragma once

#include "PlatformError.h"

// The platform error for a failed system call, described by the system's own message.
Tavrin::PlatformError fsError(int error, bool forFolder = false);
