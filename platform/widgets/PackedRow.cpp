#include "PackedRow.h"

#include <QStringEncoder>
#include <QVarLengthArray>
#include <cstring>

// Lengths are LEB128 varints: no Qt type packs a length into fewer bytes than four, and short
// cells are the rule.

namespace {
constexpr qsizetype kLengthRoom = 10; // a varint of 64 bits

// Writes size as a varint at out; gives the end of what it wrote.
char *putLength(char *out, qsizetype size) {
    auto length = static_cast<quint64>(size);
    do {
        char byte = static_cast<char>(length & 0x7f);
        length >>= 7;
        if (length)
            byte = static_cast<char>(byte | 0x80);
        *out++ = byte;
    } while (length);
    return out;
}
} // namespace

void PackedRow::appendCell(QByteArray &row, const char *data, qsizetype size) {
    char length[kLengthRoom];
    row.append(length, putLength(length, size) - length);
    row.append(data, size);
}

qsizetype PackedRow::readLength(const QByteArray &row, qsizetype &pos) {
    quint64 length = 0;
    int shift = 0;
    while (pos < row.size()) {
        const auto byte = static_cast<quint8>(row.at(pos++));
        length |= static_cast<quint64>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
        shift += 7;
    }
    return static_cast<qsizetype>(length);
}

PackedRow::Span PackedRow::find(const QByteArray &row, int column) {
    qsizetype pos = 0;
    for (int c = 0; pos < row.size(); ++c) {
        const qsizetype size = readLength(row, pos);
        if (c == column)
            return {pos, size};
        pos += size;
    }
    return {pos, -1};
}

QByteArray PackedRow::fromTabbedText(const QString &text, int cellCount) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray row;
    row.reserve(utf8.size() + cellCount);
    qsizetype begin = 0;
    for (int c = 0; c < cellCount; ++c) {
        qsizetype end = utf8.indexOf('\t', begin);
        if (end < 0)
            end = utf8.size();
        appendCell(row, utf8.constData() + begin, end - begin);
        if (end == utf8.size())
            break;
        begin = end + 1;
    }
    return row;
}

QByteArray PackedRow::fromCells(const QList<QStringView> &cells, int cellCount) {
    // Encoded into a buffer on the stack, then copied once: one allocation a row, the grid's
    // insertion being the inner loop of a delivery.
    const qsizetype count = qMin<qsizetype>(cells.size(), cellCount);
    QStringEncoder utf8(QStringEncoder::Utf8);
    qsizetype space = 0;
    for (qsizetype c = 0; c < count; ++c)
        space += utf8.requiredSpace(cells.at(c).size()) + kLengthRoom;
    QVarLengthArray<char, 2048> buffer(space);
    char *out = buffer.data();
    for (qsizetype c = 0; c < count; ++c) {
        // The length goes first: encode behind room for the longest one, then move the text up.
        char *text = out + kLengthRoom;
        const qsizetype size = utf8.appendToBuffer(text, cells.at(c)) - text;
        out = putLength(out, size);
        std::memmove(out, text, size);
        out += size;
    }
    return QByteArray(buffer.constData(), out - buffer.constData());
}

QString PackedRow::cell(const QByteArray &row, int column) {
    const Span span = find(row, column);
    if (span.size <= 0)
        return {};
    return QString::fromUtf8(row.constData() + span.begin, span.size);
}

QByteArray PackedRow::withCell(const QByteArray &row, int column, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray result;
    result.reserve(row.size() + utf8.size() + column + 1);
    qsizetype pos = 0;
    int c = 0;
    for (; c < column; ++c) {
        if (pos < row.size()) {
            const qsizetype start = pos;
            const qsizetype size = readLength(row, pos);
            result.append(row.constData() + start, pos - start + size);
            pos += size;
        } else {
            appendCell(result, nullptr, 0);
        }
    }
    appendCell(result, utf8.constData(), utf8.size());
    if (pos < row.size()) {
        const qsizetype size = readLength(row, pos);
        pos += size;
        result.append(row.constData() + pos, row.size() - pos);
    }
    return result;
}

QByteArray PackedRow::truncated(const QByteArray &row, int cellCount) {
    qsizetype pos = 0;
    for (int c = 0; c < cellCount && pos < row.size(); ++c) {
        const qsizetype size = readLength(row, pos);
        pos += size;
    }
    return pos < row.size() ? row.left(pos) : row;
}
