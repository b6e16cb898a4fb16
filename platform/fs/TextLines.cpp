#include "TextLines.h"

#include "Utf16Text.h"

#include <QChar>
#include <algorithm>
#include <cstring>

TextLines::TextLines(QByteArray contents) : mContents(std::move(contents)) {
    // As the scan reads a file: a UTF-16 mark decides; a UTF-8 one is left out of the text.
    if (mContents.startsWith("\xFF\xFE")) {
        mEncoding = Encoding::Utf16LE;
        mTextStart = 2;
    } else if (mContents.startsWith("\xFE\xFF")) {
        mEncoding = Encoding::Utf16BE;
        mTextStart = 2;
    } else if (mContents.startsWith("\xEF\xBB\xBF")) {
        mTextStart = 3;
    }
    mlCursorAt = mTextStart;
}

char16_t TextLines::unitAt(const char *data) const {
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    return mEncoding == Encoding::Utf16BE ? char16_t(bytes[0] << 8 | bytes[1])
                                          : char16_t(bytes[1] << 8 | bytes[0]);
}

qint64 TextLines::nextLineEnd(qint64 from) const {
    const qint64 size = mContents.size();
    if (mEncoding == Encoding::Utf8) {
        const void *lf = std::memchr(mContents.constData() + from, '\n', size_t(size - from));
        return lf ? static_cast<const char *>(lf) - mContents.constData() : size;
    }
    for (qint64 at = from; at + 1 < size; at += 2) {
        if (unitAt(mContents.constData() + at) == u'\n')
            return at;
    }
    return size;
}

qint64 TextLines::lineCount() const {
    qint64 lines = 0, at = mTextStart;
    const qint64 size = mContents.size();
    const qint64 lf = mEncoding == Encoding::Utf8 ? 1 : 2;
    while (at < size) {
        ++lines;
        at = nextLineEnd(at) + lf;
    }
    return lines;
}

std::optional<TextLines::Span> TextLines::locate(qint64 n) {
    if (n < 1)
        return std::nullopt;
    if (n < mlCursorLine) {
        mlCursorLine = 1;
        mlCursorAt = mTextStart;
    }
    const qint64 size = mContents.size();
    const qint64 lf = mEncoding == Encoding::Utf8 ? 1 : 2;
    while (mlCursorLine < n && mlCursorAt < size) {
        mlCursorAt = nextLineEnd(mlCursorAt) + lf;
        ++mlCursorLine;
    }
    if (mlCursorLine != n || mlCursorAt >= size)
        return std::nullopt;
    Span span;
    span.start = mlCursorAt;
    span.end = nextLineEnd(mlCursorAt);
    span.endsWithLf = span.end < size;
    if (span.endsWithLf && span.end - span.start >= lf) {
        const bool cr = mEncoding == Encoding::Utf8
                            ? mContents.at(span.end - 1) == '\r'
                            : unitAt(mContents.constData() + span.end - 2) == u'\r';
        if (cr)
            span.end -= lf;
    }
    return span;
}

QString TextLines::decode(const char *data, qint64 size) const {
    if (mEncoding == Encoding::Utf8)
        return QString::fromUtf8(data, size);
    // As the scan reads UTF-16: through its UTF-8 form, so a lone surrogate or an odd last
    // byte is U+FFFD, and a mark at the start of a line is dropped.
    QString text;
    text.reserve(size / 2 + 1);
    Utf16Text::decode(
        size, [&](qint64 i) { return unitAt(data + i); },
        [&](char32_t c) { text += QChar::fromUcs4(c); });
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QByteArray TextLines::encode(const QString &text) const {
    if (mEncoding == Encoding::Utf8)
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    const bool big = mEncoding == Encoding::Utf16BE;
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes += big ? high : low;
        bytes += big ? low : high;
    }
    return bytes;
}

QString TextLines::text(qint64 n) {
    const Span span = *locate(n);
    return decode(mContents.constData() + span.start, span.end - span.start);
}

bool TextLines::roundTrips(qint64 n) {
    const Span span = *locate(n);
    const QByteArray bytes = encode(text(n));
    return bytes.size() == span.end - span.start &&
           std::memcmp(bytes.constData(), mContents.constData() + span.start, bytes.size()) == 0;
}

bool TextLines::canHold(qint64 n, const QString &text) {
    const std::optional<Span> span = locate(n);
    if (!span || text.contains(u'\n') || (span->endsWithLf && text.endsWith(u'\r')))
        return false;
    const QByteArray bytes = encode(text);
    return decode(bytes.constData(), bytes.size()) == text;
}

void TextLines::setText(qint64 n, const QString &text) {
    mChanged[n] = {*locate(n), encode(text)};
}

QByteArray TextLines::contents() const {
    if (mChanged.empty())
        return mContents;
    QByteArray out;
    qint64 size = mContents.size();
    for (const auto &[line, change] : mChanged)
        size += change.second.size() - (change.first.end - change.first.start);
    out.reserve(size);
    qint64 copied = 0;
    for (const auto &[line, change] : mChanged) {
        const Span &span = change.first;
        out.append(mContents.constData() + copied, span.start - copied);
        out.append(change.second);
        copied = span.end;
    }
    out.append(mContents.constData() + copied, mContents.size() - copied);
    return out;
}
