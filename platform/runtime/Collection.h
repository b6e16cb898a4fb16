#pragma once

#include "CompactText.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <deque>
#include <functional>
#include <shared_mutex>

// An ordered list whose first item has index 1: count, item and append; it is enumerated by
// index, from 1 to Count().
// Owned through std::shared_ptr: public collections are shared by reference.
//
// Items are kept compactly while they are all of one kind (32-bit integers, strings, or the
// scan's result records, whose text is built when read); a list of mixed items falls back to
// tagged values. A run of equal strings, such as the path of each finding of one file, is kept
// once, and strings are kept compactly (CompactText). Items never change once appended. One thread
// may append while others read.
class Collection {
public:
    Collection() = default;
    Collection(const Collection &) = delete;
    Collection &operator=(const Collection &) = delete;

    qint32 Count() const;
    // Item 1 is the first; any other index throws PlatformError::subscriptOutOfRange().
    QVariant Item(qint32 index) const;
    // Items first to first + count - 1 (1-based) that exist, read under one lock.
    QVector<QVariant> Items(qint32 first, qint32 count) const;
    // One item as Read hands it on: a string as its text, any other as a value; a result
    // record also as its parts, for a reader that has no need of its text.
    struct RecordView {
        QStringView path;
        qint32 line;
        qint32 column;
        const CompactText &text;
    };
    struct ItemView {
        QStringView text;
        const QVariant *other = nullptr;    // when the item is not a string
        const RecordView *record = nullptr; // when it is a result record
    };
    // Hands items first to first + count - 1 that exist to take, in order, until it returns
    // false; they are taken under one lock, and handed on after it. A result record comes as
    // its parts, other strings as a text built in a buffer that the next one reuses: a run is
    // read without making a string an item. Both are valid only during the call.
    void Read(qint32 first, qint32 count, const std::function<bool(const ItemView &)> &take) const;
    void Add(const QVariant &item);
    // Add of a string or a number, for a caller that holds one: no variant is made. Copies of
    // one CompactText added to several collections share its bytes.
    void AddString(const CompactText &item);
    void AddInteger(qint32 item);
    // Appends the result record "path<TAB>line<TAB>column<TAB>text" (a string item); the text is
    // built when the item is read, and path and text share the caller's data.
    void AddRecord(const QString &path, qint32 line, qint32 column, const CompactText &text);
    // The text of such a record, into record, whose buffer is kept when large enough.
    static void buildRecord(const RecordView &parts, QString &record);
    // A record's number in decimal, written into digits: no string of its own.
    static QLatin1StringView decimal(qint32 n, char (&digits)[12]);

private:
    struct Record {
        CompactText text;
        qint32 line;
        qint32 column;
        qint32 path; // in mRecordPaths
    };
    enum class Kind { Empty, Ints, Strings, Records, Variants };

    // Callers hold mLock.
    void checkRoom() const; // throws when no item can be added
    QVariant itemAt(qint32 zeroBased) const;
    void append(const QVariant &item);
    void appendString(const CompactText &text);
    void toVariants();
    void recordText(const Record &r, QString &text) const;

    mutable std::shared_mutex mLock;
    Kind mKind = Kind::Empty;
    qint32 mCount = 0;
    std::deque<qint32> mInts;
    std::deque<CompactText> mStrings; // one a run of equal strings
    std::deque<qint32> mStringRuns;   // an item's string in mStrings
    std::deque<Record> mRecords;
    std::deque<QString> mRecordPaths; // one a run of records of one path
    QVector<QVariant> mItems;
};
