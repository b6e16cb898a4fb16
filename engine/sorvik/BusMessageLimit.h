#pragma once

#include <QDBusConnection>
#include <QString>

namespace TavrinEXE {

// The largest message the bus daemon relays: it cuts a sender of a larger one off the bus.
// Read from the configuration the daemon was started with (its "max_message_size" limit),
// found through the daemon's own process.
namespace BusMessageLimit {
inline constexpr qint64 kProtocolLargest = 128 * 1024 * 1024; // no message may be larger
inline constexpr qint64 kDaemonDefault = 32 * 1024 * 1024;    // the daemon's own default

// The limit of the daemon behind bus; kDaemonDefault when its configuration cannot be read.
qint64 read(const QDBusConnection &bus);
// The limit a daemon configuration file sets, following its includes (the last setting
// wins); -1 when it sets none.
qint64 fromConfig(const QString &file);
} // namespace BusMessageLimit

} // namespace TavrinEXE
