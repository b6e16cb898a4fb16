#include "ItemPacking.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringDecoder>
#include <cstring>
#include <limits>

namespace TavrinEXE::ItemPacking {

namespace {
constexpr char kString = 's';
constexpr char kVariant = 'v';

void setFormat(QDataStream &stream) {
    stream.setVersion(QDataStream::Qt_6_0);
    stream.setByteOrder(QDataStream::LittleEndian);
}

void appendNumber(QByteArray &packed, quint64 n) {
    do {
        const char low = static_cast<char>(n & 0x7f);
        n >>= 7;
        packed.append(n ? char(low | 0x80) : low);
    } while (n);
}

// Reads a number at pos, or returns false past the end or beyond 2^31.
bool readNumber(const QByteArray &packed, qsizetype &pos, qsizetype &n) {
    quint64 value = 0;
    for (int shift = 0; shift < 35 && pos < packed.size(); shift += 7) {
        const auto byte = static_cast<quint8>(packed.at(pos++));
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            n = static_cast<qsizetype>(value);
            return value <= quint64(std::numeric_limits<qint32>::max());
        }
    }
    return false;
}

// The UTF-16 units text shares with previous from the start, never ending inside a pair.
qsizetype sharedStart(QStringView previous, QStringView text) {
    const qsizetype most = qMin(previous.size(), text.size());
    qsizetype shared = 0;
    while (shared < most && previous[shared] == text[shared])
        ++shared;
    if (shared > 0 && text[shared - 1].isHighSurrogate())
        --shared;
    return shared;
}
} // namespace

bool Packer::add(const QVariant &item) {
    if (item.typeId() == QMetaType::QString)
        return addString(item.toString());
    return addVariant(item);
}

bool Packer::addVariant(const QVariant &item) {
    const qsizetype before = mPacked.size();
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    setFormat(out);
    out << item;
    mPacked.append(kVariant);
    appendNumber(mPacked, data.size());
    mPacked.append(data);
    return kept(before);
}

bool Packer::addString(QStringView text) {
    const qsizetype before = mPacked.size();
    // The shared start is valid UTF-16, as the string before was: the encoder checks the rest.
    const qsizetype shared = sharedStart(mPrevious, text);
    mRest.truncate(0);
    if (!appendUtf8(text.mid(shared), mRest))
        return addVariant(text.toString()); // a lone surrogate: so that it comes back exactly
    if (!packString(before, shared))
        return false;
    mRecordPath.clear();
    // Copied into the buffer of the one before: the text may live only during the call.
    mPrevious.resize(text.size());
    std::copy(text.begin(), text.end(), mPrevious.begin());
    return true;
}

bool Packer::addRecord(const Collection::RecordView &record) {
    const qsizetype before = mPacked.size();
    // A record after one of the same file shares its path and tab; any other shares nothing,
    // which the unpacking reads the same.
    const bool samePath = !mRecordPath.isEmpty() && record.path == mRecordPath;
    mRest.truncate(0);
    const bool encoded = samePath || appendUtf8(record.path, mRest);
    if (!samePath)
        mRest.append('\t');
    char digits[12];
    const QLatin1StringView line = Collection::decimal(record.line, digits);
    mRest.append(line.data(), line.size()).append('\t');
    const QLatin1StringView column = Collection::decimal(record.column, digits);
    mRest.append(column.data(), column.size()).append('\t');
    if (!encoded || !record.text.appendUtf8(mRest, mUtf8)) {
        // A lone surrogate: the text goes as addString packs it, as a QVariant.
        Collection::buildRecord(record, mRecord);
        return addString(mRecord);
    }
    if (!packString(before, samePath ? record.path.size() + 1 : 0))
        return false;
    if (!samePath)
        mRecordPath = record.path.toString();
    mPrevious.clear(); // a start of this record: what addString shares with it is not worth more
    return true;
}

bool Packer::appendUtf8(QStringView text, QByteArray &out) {
    const qsizetype at = out.size();
    out.resize(at + mUtf8.requiredSpace(text.size()));
    mUtf8.resetState();
    out.truncate(mUtf8.appendToBuffer(out.data() + at, text) - out.constData());
    return !mUtf8.hasError();
}

bool Packer::packString(qsizetype before, qsizetype shared) {
    mPacked.append(kString);
    appendNumber(mPacked, shared);
    appendNumber(mPacked, mRest.size());
    mPacked.append(mRest);
    return kept(before);
}

bool Packer::kept(qsizetype before) {
    if (mPacked.size() > mBudget) {
        mPacked.truncate(before);
        return false;
    }
    ++mCount;
    return true;
}

bool unpack(const QByteArray &packed, QVector<QVariant> &items) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString previous;
    qsizetype pos = 0;
    while (pos < packed.size()) {
        const char tag = packed.at(pos++);
        qsizetype first = 0;
        qsizetype bytes = 0;
        if (tag == kString) {
            if (!readNumber(packed, pos, first) || first > previous.size() ||
                !readNumber(packed, pos, bytes) || bytes > packed.size() - pos)
                return false;
            const QByteArrayView rest(packed.constData() + pos, bytes);
            QString text(first + utf8.requiredSpace(bytes), Qt::Uninitialized);
            std::memcpy(text.data(), previous.constData(), first * sizeof(QChar));
            const QChar *end = utf8.appendToBuffer(text.data() + first, rest);
            text.truncate(end - text.constData());
            items.append(text);
            previous = std::move(text);
        } else if (tag == kVariant) {
            if (!readNumber(packed, pos, bytes) || bytes > packed.size() - pos)
                return false;
            QDataStream in(QByteArray::fromRawData(packed.constData() + pos, bytes));
            setFormat(in);
            QVariant item;
            in >> item;
            if (in.status() != QDataStream::Ok || !in.atEnd())
                return false;
            items.append(std::move(item));
        } else {
            return false;
        }
        pos += bytes;
    }
    return true;
}

} // namespace TavrinEXE::ItemPacking
