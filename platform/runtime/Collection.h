#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <deque>
#include <shared_mutex>

// An ordered list whose first item has index 1: count, item and append; it is enumerated by
// index, from 1 to Count().
// Owned through std::shared_ptr: public collections are shared by reference.
//
// Items are kept compactly while they are all of one kind (32-bit integers, strings, or the
// scan's result records, whose text is built when read); a list of mixed items falls back to
// tagged values. Items never change once appended. One thread may append while others read.
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
    void Add(const QVariant &item);
    // Appends the result record "path<TAB>line<TAB>column<TAB>text" (a string item); the text is
    // built when the item is read, and path and text share the caller's string data.
    void AddRecord(const QString &path, qint32 line, qint32 column, const QString &text);

private:
    struct Record {
        QString path;
        QString text;
        qint32 line;
        qint32 column;
    };
    enum class Kind { Empty, Ints, Strings, Records, Variants };

    // Callers hold mLock.
    QVariant itemAt(qint32 zeroBased) const;
    void append(const QVariant &item);
    void toVariants();
    static QString recordText(const Record &r);

    mutable std::shared_mutex mLock;
    Kind mKind = Kind::Empty;
    qint32 mCount = 0;
    std::deque<qint32> mInts;
    std::deque<QString> mStrings;
    std::deque<Record> mRecords;
    QVector<QVariant> mItems;
};
