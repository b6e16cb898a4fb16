#pragma once

#include "tavrinx_export.h"

#include <QString>
#include <stdexcept>

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

    PlatformError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), mNumber(number),
          mDescription(description) {}

    int number() const { return mNumber; }
    QString description() const { return mDescription; }

    static PlatformError typeMismatch() { return {TypeMismatch, QStringLiteral("Type mismatch")}; }
    static PlatformError subscriptOutOfRange() {
        return {SubscriptOutOfRange, QStringLiteral("Subscript out of range")};
    }

private:
    int mNumber;
    QString mDescription;
};
