#pragma once

#include "tavrinx_export.h"

#include <QString>
#include <memory>
#include <stdexcept>

namespace Tavrin {

class PlatformErrorPrivate;

// A failure of the platform itself (a call to the other process, a type mismatch, a cell that
// does not exist). It is never turned into an OnError event: it reaches the caller.
class TAVRINX_EXPORT PlatformError : public std::runtime_error {
public:
    // Numbers of the failures the system meets, as the runtime numbers them.
    enum Number : int {
        InvalidProcedureCall = 5,
        OutOfMemory = 7,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileNotFound = 53,
        TooManyFiles = 67,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
        ObjectRequired = 424,
        ServerUnavailable = 462,
        AutomationError = 440,
    };

    PlatformError(int number, const QString &description);
    PlatformError(const PlatformError &other) noexcept;
    PlatformError &operator=(const PlatformError &other) noexcept;
    ~PlatformError() override;

    int number() const;
    QString description() const;

    static PlatformError typeMismatch() { return {TypeMismatch, QStringLiteral("Type mismatch")}; }
    static PlatformError subscriptOutOfRange() {
        return {SubscriptOutOfRange, QStringLiteral("Subscript out of range")};
    }

private:
    // Shared between copies, so that copying the exception cannot fail; behind a private class,
    // so that a field can be added without changing this class's layout.
    std::shared_ptr<const PlatformErrorPrivate> d;
};

} // namespace Tavrin
