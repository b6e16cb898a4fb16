#pragma once

#include <QVariant>
#include <atomic>

namespace TavrinEXE {

// What a reply may carry: the bytes values take in a message body, and the room the bus
// leaves for a body. A reply larger than the bus carries would cut sorvik off the bus.
namespace MessageSize {
// Room kept for the message header.
inline constexpr qint64 kHeaderAllowance = 4096;
// What a variant adds to its value: its signature (the values served have short ones).
inline constexpr qint64 kVariant = 32;

// Bytes value takes in a message body at most, alignment included.
qint64 of(const QVariant &value);
qint64 ofString(QStringView text);
// A quick upper bound of of(value): a string counted as three bytes a character.
qint64 boundOf(const QVariant &value);
// Bytes the arguments of a reply take.
qint64 ofArguments(const QVariantList &arguments);

// The bus's largest message, set once at start; the body budget is what it leaves.
void setBusLimit(qint64 bytes);
qint64 bodyBudget();
} // namespace MessageSize

} // namespace TavrinEXE
