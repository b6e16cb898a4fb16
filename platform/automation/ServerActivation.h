#pragma once

#include <QString>

namespace TavrinEXE {

// Starts sorvik where the bus cannot: when no activation file is installed, the bus answers
// ServiceUnknown and the client starts the sorvik it was built with.
namespace ServerActivation {
// Whether the error name says that the bus could not start the service itself.
bool busCannotActivate(const QString &errorName);
// Starts sorvik and waits until it owns TavrinEXE.TavrinX; throws PlatformError on failure.
void start();
} // namespace ServerActivation

} // namespace TavrinEXE
