#pragma once

#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

// An ordered list of strings, oldest first, whose first item has index 1, each filed under a
// text key compared without regard to case. Finding, adding and removing by key cost O(1);
// a removal leaves a hole that the next access by index or enumeration closes, in one pass for
// all holes. Owned by one thread.
class KeyedCollection {
public:
    using const_iterator = QVector<QString>::const_iterator;

    qint32 Count() const { return static_cast<qint32>(mIndex.size()); }
    // Item 1 is the oldest; any other index throws PlatformError::subscriptOutOfRange().
    QString Item(qint32 index) const;
    // Appends value under key; a key already present throws PlatformError (457).
    void Add(const QString &value, const QString &key);
    // Removes the entry under key; a missing key throws PlatformError (5).
    void Remove(const QString &key);
    bool Contains(const QString &key) const { return mIndex.contains(fold(key)); }
    // The value filed under key, or nullopt.
    std::optional<QString> find(const QString &key) const;
    void Clear();

    // Enumeration, oldest first.
    const_iterator begin() const;
    const_iterator end() const;

private:
    static QString fold(const QString &key) { return key.toCaseFolded(); }
    void compact() const;

    // Parallel slots in order of addition; a removed slot stays until compact().
    mutable QVector<QString> mValues;
    mutable QVector<QString> mKeys; // folded
    mutable QVector<bool> mLive;
    mutable QHash<QString, qsizetype> mIndex; // folded key -> slot of a live entry
};
