#pragma once

#include "Collection.h"

#include <QByteArray>
#include <QStringEncoder>
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
// Packs items one after another into a run of at most budget bytes.
class Packer {
public:
    explicit Packer(qint64 budget) : mBudget(budget) {}
    // Packs item after the others, or returns false, packing nothing, when it would pass the
    // budget.
    bool add(const QVariant &item);
    // The same for a string item.
    bool addString(QStringView text);
    // The same for a result record, packed as its text would be, without making the text: the
    // records of one file share their path with the one before.
    bool addRecord(const Collection::RecordView &record);
    const QByteArray &packed() const { return mPacked; }
    qsizetype count() const { return mCount; }

private:
    bool addVariant(const QVariant &item);
    // Appends text to out as UTF-8; false when it holds a lone surrogate.
    bool appendUtf8(QStringView text, QByteArray &out);
    // Packs mRest as a string sharing its first `shared` units with the string before.
    bool packString(qsizetype before, qsizetype shared);
    // Counts the item packed from before on, or takes it back when it passed the budget.
    bool kept(qsizetype before);

    const qint64 mBudget;
    QByteArray mPacked;
    qsizetype mCount = 0;
    QString mPrevious; // the string packed last, or a start of it
    QString mRecordPath; // of the string packed last when it is a record, else empty
    QString mRecord;     // the text of a record that goes as addString packs it
    QByteArray mRest;  // reused: one buffer a run, not one an item
    QStringEncoder mUtf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// Appends the items packed holds to items, or returns false when it is not a whole run.
bool unpack(const QByteArray &packed, QVector<QVariant> &items);
} // namespace ItemPacking

} // namespace TavrinEXE
