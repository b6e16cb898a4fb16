#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVector>

namespace TavrinEXE {

// How the Collection member PackedItems carries a run of items in one byte array, one item
// after another:
//   's' shared rest bytes   a string: the first `shared` UTF-16 units of the string item
//                           before it in the run, then `rest` bytes of UTF-8
//   'v' bytes data          any other item, as QDataStream (Qt 6.0, little endian) writes a
//                           QVariant in `bytes` bytes of data
// where shared, rest and bytes are unsigned LEB128 numbers. The bus reads a message 2 KB a
// system call in every process on its way, so a reply's bytes are what a walk of millions of
// findings costs; the findings of one file share their path, and "av" would also cost every
// process on the way a check of every string. A string that is not valid UTF-16 goes as 'v'.
namespace ItemPacking {
// Packs items from the first on while the bytes stay within budget; taken tells how many.
QByteArray pack(const QVector<QVariant> &items, qint64 budget, qsizetype &taken);
// Appends the items packed holds to items, or returns false when it is not a whole run.
bool unpack(const QByteArray &packed, QVector<QVariant> &items);
} // namespace ItemPacking

} // namespace TavrinEXE
