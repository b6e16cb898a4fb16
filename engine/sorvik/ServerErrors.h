#pragma once

#include "TavrinEXENames.h"

#include "TavrinEXERuntime.h"

#include <QString>

namespace TavrinEXE {

// D-Bus error names that sorvik answers with, and how a PlatformError travels: the type
// mismatch and the subscript error by their own names, any other as TavrinEXE.Error.Platform
// with "<number>: <description>".
namespace ServerErrors {
inline const QString kTypeMismatch = QStringLiteral(TAVRINEXE_ERROR_TYPE_MISMATCH);
inline const QString kSubscriptOutOfRange = QStringLiteral(TAVRINEXE_ERROR_SUBSCRIPT_OUT_OF_RANGE);
inline const QString kPlatform = QStringLiteral(TAVRINEXE_ERROR_PLATFORM);
inline const QString kAccessDenied = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");
inline const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
// A reply or a request beyond what the bus or the server carries.
inline const QString kLimitsExceeded = QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded");
inline const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");

// Numbers of the platform errors a CreateInstance that the system cannot serve fails with, as
// the runtime numbers them.
constexpr int kOutOfMemory = 7;   // no thread for another engine
constexpr int kTooManyFiles = 67; // no descriptors left for another engine

inline QString nameOf(const PlatformError &e) {
    switch (e.number()) {
    case PlatformError::TypeMismatch:
        return kTypeMismatch;
    case PlatformError::SubscriptOutOfRange:
        return kSubscriptOutOfRange;
    default:
        return kPlatform;
    }
}

inline QString messageOf(const PlatformError &e) {
    return nameOf(e) == kPlatform ? QStringLiteral("%1: %2").arg(e.number()).arg(e.description())
                                  : e.description();
}
} // namespace ServerErrors

} // namespace TavrinEXE
