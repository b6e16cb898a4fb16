#pragma once

#include <QVariant>
#include <QVector>

// An ordered list whose first item has index 1: count, item, enumeration and append.
// Owned through std::shared_ptr: public collections are shared by reference.
class Collection {
public:
    using const_iterator = QVector<QVariant>::const_iterator;

    qint32 Count() const { return static_cast<qint32>(mItems.size()); }
    // Item 1 is the first; any other index throws PlatformError::subscriptOutOfRange().
    QVariant Item(qint32 index) const;
    void Add(const QVariant &item) { mItems.append(item); }

    const_iterator begin() const { return mItems.cbegin(); }
    const_iterator end() const { return mItems.cend(); }

private:
    QVector<QVariant> mItems;
};
