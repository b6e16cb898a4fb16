#include "Collection.h"

#include "PlatformError.h"

#include <QStringBuilder>
#include <limits>
#include <mutex>

qint32 Collection::Count() const {
    std::shared_lock lock(mLock);
    return mCount;
}

QVariant Collection::Item(qint32 index) const {
    std::shared_lock lock(mLock);
    if (index < 1 || index > mCount)
        throw Tavrin::PlatformError::subscriptOutOfRange();
    return itemAt(index - 1);
}

QVector<QVariant> Collection::Items(qint32 first, qint32 count) const {
    std::shared_lock lock(mLock);
    QVector<QVariant> items;
    const qint64 begin = qMax<qint64>(first, 1);
    const qint64 end = qMin<qint64>(qint64(first) + count, qint64(mCount) + 1);
    items.reserve(qMax<qint64>(end - begin, 0));
    for (qint64 i = begin; i < end; ++i)
        items.append(itemAt(static_cast<qint32>(i - 1)));
    return items;
}

void Collection::Add(const QVariant &item) {
    std::unique_lock lock(mLock);
    append(item);
}

void Collection::append(const QVariant &item) {
    if (mCount == std::numeric_limits<qint32>::max())
        throw Tavrin::PlatformError(Tavrin::PlatformError::AutomationError,
                                    QStringLiteral("Out of memory"));
    const int type = item.typeId();
    if (mKind == Kind::Empty)
        mKind = type == QMetaType::Int       ? Kind::Ints
                : type == QMetaType::QString ? Kind::Strings
                                             : Kind::Variants;
    if (mKind == Kind::Ints && type == QMetaType::Int)
        mInts.push_back(item.toInt());
    else if (mKind == Kind::Strings && type == QMetaType::QString)
        mStrings.push_back(item.toString());
    else {
        toVariants();
        mItems.append(item);
    }
    ++mCount;
}

void Collection::AddRecord(const QString &path, qint32 line, qint32 column, const QString &text) {
    std::unique_lock lock(mLock);
    if (mKind == Kind::Empty)
        mKind = Kind::Records;
    if (mKind != Kind::Records) {
        append(recordText({path, text, line, column}));
        return;
    }
    if (mCount == std::numeric_limits<qint32>::max())
        throw Tavrin::PlatformError(Tavrin::PlatformError::AutomationError,
                                    QStringLiteral("Out of memory"));
    mRecords.push_back({path, text, line, column});
    ++mCount;
}

QVariant Collection::itemAt(qint32 i) const {
    switch (mKind) {
    case Kind::Ints:
        return mInts[i];
    case Kind::Strings:
        return mStrings[i];
    case Kind::Records:
        return recordText(mRecords[i]);
    default:
        return mItems.at(i);
    }
}

void Collection::toVariants() {
    if (mKind == Kind::Variants)
        return;
    mItems.reserve(mCount + 1);
    for (qint32 i = 0; i < mCount; ++i)
        mItems.append(itemAt(i));
    mInts = {};
    mStrings = {};
    mRecords = {};
    mKind = Kind::Variants;
}

QString Collection::recordText(const Record &r) {
    const QChar tab(u'\t');
    // One allocation: the builder sizes the whole text before copying.
    return r.path % tab % QString::number(r.line) % tab % QString::number(r.column) % tab % r.text;
}
