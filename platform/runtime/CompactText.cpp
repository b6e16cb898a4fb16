#include "CompactText.h"

#include <cstring>

CompactText::CompactText(QStringView text) {
    if (text.isEmpty())
        return;
    const bool latin1 = QtPrivate::isLatin1(text);
    // Sized exactly: resize() would round the block up for growth.
    mBytes = QByteArray(1 + text.size() * (latin1 ? 1 : qsizetype(sizeof(QChar))), Qt::Uninitialized);
    char *out = mBytes.data();
    *out++ = latin1 ? kLatin1 : kUtf16;
    if (latin1) {
        for (const QChar c : text) // narrowed by hand: toLatin1() would make a second copy
            *out++ = static_cast<char>(c.unicode());
    } else {
        std::memcpy(out, text.data(), text.size() * sizeof(QChar));
    }
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
