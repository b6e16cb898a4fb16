#include "KeyedCollection.h"

#include "PlatformError.h"

namespace {
constexpr int kKeyAlreadyAssociated = 457;
}

QString KeyedCollection::Item(qint32 index) const {
    if (index < 1 || index > Count())
        throw Tavrin::PlatformError::subscriptOutOfRange();
    compact();
    return mValues.at(index - 1);
}

void KeyedCollection::Add(const QString &value, const QString &key) {
    const QString folded = fold(key);
    if (mIndex.contains(folded))
        throw Tavrin::PlatformError(
            kKeyAlreadyAssociated,
            QStringLiteral("This key is already associated with an element of "
                           "this collection"));
    if (mValues.size() > 2 * mIndex.size())
        compact(); // keeps the holes of a long remove-and-add run bounded
    mIndex.insert(folded, mValues.size());
    mValues.append(value);
    mKeys.append(folded);
    mLive.append(true);
}

void KeyedCollection::Remove(const QString &key) {
    const auto it = mIndex.constFind(fold(key));
    if (it == mIndex.cend())
        throw Tavrin::PlatformError(Tavrin::PlatformError::InvalidProcedureCall,
                                    QStringLiteral("Invalid procedure call or argument"));
    mLive[it.value()] = false;
    mValues[it.value()].clear();
    mIndex.erase(it);
}

std::optional<QString> KeyedCollection::find(const QString &key) const {
    const auto it = mIndex.constFind(fold(key));
    if (it == mIndex.cend())
        return std::nullopt;
    return mValues.at(it.value());
}

void KeyedCollection::Clear() {
    mValues.clear();
    mKeys.clear();
    mLive.clear();
    mIndex.clear();
}

KeyedCollection::const_iterator KeyedCollection::begin() const {
    compact();
    return mValues.cbegin();
}

KeyedCollection::const_iterator KeyedCollection::end() const {
    compact();
    return mValues.cend();
}

void KeyedCollection::compact() const {
    if (mValues.size() == mIndex.size())
        return;
    qsizetype to = 0;
    for (qsizetype from = 0; from < mValues.size(); ++from) {
        if (!mLive.at(from))
            continue;
        if (to != from) {
            mValues[to] = std::move(mValues[from]);
            mKeys[to] = std::move(mKeys[from]);
            mIndex[mKeys.at(to)] = to;
        }
        mLive[to] = true;
        ++to;
    }
    mValues.resize(to);
    mKeys.resize(to);
    mLive.resize(to);
}
