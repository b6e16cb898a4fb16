#include "PackedRow.h"

// Lengths are LEB128 varints: no Qt type packs a length into fewer bytes than four, and short
// cells are the rule.

void PackedRow::appendCell(QByteArray &row, const char *data, qsizetype size) {
    auto length = static_cast<quint64>(size);
    do {
        char byte = static_cast<char>(length & 0x7f);
        length >>= 7;
        if (length)
            byte = static_cast<char>(byte | 0x80);
        row.append(byte);
    } while (length);
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

QByteArray PackedRow::fromCells(const QStringList &cells, int cellCount) {
    QByteArray row;
    for (qsizetype c = 0; c < qMin<qsizetype>(cells.size(), cellCount); ++c) {
        const QByteArray utf8 = cells.at(c).toUtf8();
        appendCell(row, utf8.constData(), utf8.size());
    }
    return row;
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
