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
