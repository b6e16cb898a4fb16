#include "CompactText.h"

#include <cstring>

CompactText::CompactText(QStringView text) {
    if (text.isEmpty())
        return;
    // Narrowed in one pass by hand: toLatin1() would check and copy in two. The arrays are
    // sized exactly: resize() would round the block up for growth.
    QByteArray bytes(1 + text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    *out++ = kLatin1;
    for (const QChar c : text) {
        if (c.unicode() > 0xff) {
            bytes = QByteArray(1 + text.size() * qsizetype(sizeof(QChar)), Qt::Uninitialized);
            bytes[0] = kUtf16;
            std::memcpy(bytes.data() + 1, text.data(), text.size() * sizeof(QChar));
            break;
        }
        *out++ = static_cast<char>(c.unicode());
    }
    mBytes = std::move(bytes);
}

QLatin1StringView CompactText::latin1() const {
    return mBytes.isEmpty() ? QLatin1StringView()
                            : QLatin1StringView(mBytes.constData() + 1, mBytes.size() - 1);
}

QString CompactText::toString() const {
    QString text;
    appendTo(text);
    return text;
}

void CompactText::appendTo(QString &out) const {
    if (isLatin1()) {
        out.append(latin1());
        return;
    }
    // The units start at an odd byte: they are copied out, never read in place.
    const qsizetype units = (mBytes.size() - 1) / qsizetype(sizeof(QChar));
    const qsizetype at = out.size();
    out.resize(at + units);
    std::memcpy(out.data() + at, mBytes.constData() + 1, units * sizeof(QChar));
}

qsizetype CompactText::size() const {
    return isLatin1() ? latin1().size() : (mBytes.size() - 1) / qsizetype(sizeof(QChar));
}

bool CompactText::appendUtf8(QByteArray &out, QStringEncoder &utf8) const {
    const qsizetype at = out.size();
    if (isLatin1()) {
        const QLatin1StringView text = latin1();
        out.resize(at + 2 * text.size()); // a character takes two bytes at most
        char *p = out.data() + at;
        for (const char c : text) { // by hand: Latin-1 maps to UTF-8 in a line
            const auto u = static_cast<uchar>(c);
            if (u < 0x80) {
                *p++ = c;
            } else {
                *p++ = static_cast<char>(0xc0 | (u >> 6));
                *p++ = static_cast<char>(0x80 | (u & 0x3f));
            }
        }
        out.truncate(p - out.constData());
        return true;
    }
    const QString text = toString();
    out.resize(at + utf8.requiredSpace(text.size()));
    utf8.resetState();
    out.truncate(utf8.appendToBuffer(out.data() + at, text) - out.constData());
    if (!utf8.hasError())
        return true;
    out.truncate(at);
    return false;
}
