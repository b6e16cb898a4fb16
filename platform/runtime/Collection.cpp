#include "Collection.h"

#include "PlatformError.h"

#include <limits>
#include <mutex>

QLatin1StringView Collection::decimal(qint32 n, char (&digits)[12]) {
    char *const end = digits + sizeof digits;
    char *p = end;
    qint64 value = qAbs(qint64(n));
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    if (n < 0)
        *--p = '-';
    return QLatin1StringView(p, end - p);
}

void Collection::buildRecord(const RecordView &parts, QString &record) {
    char lineDigits[12], columnDigits[12];
    const QLatin1StringView line = decimal(parts.line, lineDigits);
    const QLatin1StringView column = decimal(parts.column, columnDigits);
    record.truncate(0);
    record.reserve(parts.path.size() + line.size() + column.size() + parts.text.size() + 3);
    record.append(parts.path).append(u'\t').append(line).append(u'\t').append(column);
    record.append(u'\t');
    parts.text.appendTo(record);
}

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
    QVector<QVariant> items;
    QString record;
    Read(first, count, [&](const ItemView &item) {
        if (item.record)
            buildRecord(*item.record, record);
        items.append(item.other    ? *item.other
                     : item.record ? QVariant(QString(record))
                                   : QVariant(item.text.toString()));
        return true;
    });
    return items;
}

void Collection::Read(qint32 first, qint32 count,
                      const std::function<bool(const ItemView &)> &take) const {
    // Copied under the lock and handed on after it: a thread appending waits for the copy
    // only, not for what the reader does with the items.
    std::vector<Record> records;
    std::vector<QString> paths; // of each record
    std::vector<CompactText> strings;
    std::vector<QVariant> others;
    {
        std::shared_lock lock(mLock);
        const qint64 begin = qMax<qint64>(first, 1) - 1;
        const qint64 end = qMin<qint64>(qint64(first) + count - 1, mCount);
        const std::size_t n = qMax<qint64>(end - begin, 0);
        if (mKind == Kind::Records) {
            records.reserve(n);
            paths.reserve(n);
            for (qint64 i = begin; i < end; ++i) {
                records.push_back(mRecords[i]);
                paths.push_back(mRecordPaths[mRecords[i].path]);
            }
        } else if (mKind == Kind::Strings) {
            strings.reserve(n);
            for (qint64 i = begin; i < end; ++i)
                strings.push_back(mStrings[mStringRuns[i]]);
        } else {
            others.reserve(n);
            for (qint64 i = begin; i < end; ++i)
                others.push_back(itemAt(static_cast<qint32>(i)));
        }
    }
    QString text; // each string's, in one buffer
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordView parts{paths[i], records[i].line, records[i].column, records[i].text};
        if (!take({{}, nullptr, &parts}))
            return;
    }
    for (const CompactText &string : strings) {
        text.truncate(0);
        string.appendTo(text);
        if (!take({text}))
            return;
    }
    for (const QVariant &item : others) {
        const bool isString = item.typeId() == QMetaType::QString;
        if (!take(isString ? ItemView{*static_cast<const QString *>(item.constData())}
                           : ItemView{{}, &item}))
            return;
    }
}

void Collection::Add(const QVariant &item) {
    std::unique_lock lock(mLock);
    append(item);
}

void Collection::AddString(const CompactText &item) {
    std::unique_lock lock(mLock);
    if (mKind == Kind::Empty || mKind == Kind::Strings) {
        checkRoom();
        mKind = Kind::Strings;
        appendString(item);
        ++mCount;
    } else {
        append(item.toString());
    }
}

void Collection::AddInteger(qint32 item) {
    std::unique_lock lock(mLock);
    if (mKind == Kind::Empty || mKind == Kind::Ints) {
        checkRoom();
        mKind = Kind::Ints;
        mInts.push_back(item);
        ++mCount;
    } else {
        append(item);
    }
}

void Collection::checkRoom() const {
    if (mCount == std::numeric_limits<qint32>::max())
        throw Tavrin::PlatformError(Tavrin::PlatformError::AutomationError,
                                    QStringLiteral("Out of memory"));
}

void Collection::append(const QVariant &item) {
    checkRoom();
    const int type = item.typeId();
    if (mKind == Kind::Empty)
        mKind = type == QMetaType::Int       ? Kind::Ints
                : type == QMetaType::QString ? Kind::Strings
                                             : Kind::Variants;
    if (mKind == Kind::Ints && type == QMetaType::Int)
        mInts.push_back(item.toInt());
    else if (mKind == Kind::Strings && type == QMetaType::QString)
        appendString(CompactText(item.toString()));
    else {
        toVariants();
        mItems.append(item);
    }
    ++mCount;
}

void Collection::appendString(const CompactText &text) {
    if (mStrings.empty() || mStrings.back() != text)
        mStrings.push_back(text);
    mStringRuns.push_back(static_cast<qint32>(mStrings.size() - 1));
}

void Collection::AddRecord(const QString &path, qint32 line, qint32 column,
                           const CompactText &text) {
    std::unique_lock lock(mLock);
    if (mKind == Kind::Empty)
        mKind = Kind::Records;
    if (mKind != Kind::Records) {
        QString record;
        buildRecord({path, line, column, text}, record);
        append(record);
        return;
    }
    checkRoom();
    if (mRecordPaths.empty() || mRecordPaths.back() != path)
        mRecordPaths.push_back(path);
    mRecords.push_back({text, line, column, static_cast<qint32>(mRecordPaths.size() - 1)});
    ++mCount;
}

QVariant Collection::itemAt(qint32 i) const {
    switch (mKind) {
    case Kind::Ints:
        return mInts[i];
    case Kind::Strings:
        return mStrings[mStringRuns[i]].toString();
    case Kind::Records: {
        QString text;
        recordText(mRecords[i], text);
        return text;
    }
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
    mStringRuns = {};
    mRecords = {};
    mRecordPaths = {};
    mKind = Kind::Variants;
}

void Collection::recordText(const Record &r, QString &text) const {
    buildRecord({mRecordPaths[r.path], r.line, r.column, r.text}, text);
}
