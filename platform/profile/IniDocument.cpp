#include "IniDocument.h"

namespace {

bool isHeader(const QByteArray &trimmed) {
    return trimmed.startsWith('[');
}

bool isComment(const QByteArray &trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

QByteArray headerName(const QByteArray &trimmed) {
    const int close = trimmed.indexOf(']');
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

bool hasNonAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// Case-insensitive comparison of a name read from the file with a wanted name. ASCII names
// (the usual case) are compared on the bytes without decoding.
bool sameName(QByteArrayView raw, const QByteArray &wanted) {
    if (raw.size() == wanted.size() &&
        qstrnicmp(raw.data(), raw.size(), wanted.data(), wanted.size()) == 0)
        return true;
    if (!hasNonAscii(raw) && !hasNonAscii(wanted))
        return false;
    return QString::fromUtf8(raw).compare(QString::fromUtf8(wanted), Qt::CaseInsensitive) == 0;
}

QByteArray cutAtNul(const QByteArray &bytes) {
    const int nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

bool hasLineEnd(const QByteArray &line) {
    return line.endsWith('\n');
}

QByteArray lineEndOf(const QByteArray &line) {
    if (line.endsWith("\r\n"))
        return QByteArrayLiteral("\r\n");
    if (line.endsWith('\n'))
        return QByteArrayLiteral("\n");
    return {};
}

} // namespace

IniDocument::IniDocument(const QByteArray &text) {
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype nl = text.indexOf('\n', start);
        const qsizetype end = nl < 0 ? text.size() : nl + 1;
        mLines.append(text.mid(start, end - start));
        start = end;
    }
}

IniDocument::Span IniDocument::findSection(const QString &section) const {
    const QByteArray wanted = section.trimmed().toUtf8();
    Span span;
    int i = 0;
    for (; i < mLines.size(); ++i) {
        const QByteArray trimmed = mLines.at(i).trimmed();
        if (isHeader(trimmed) && sameName(headerName(trimmed), wanted))
            break;
    }
    if (i == mLines.size())
        return span;
    span.header = i;
    span.lastItem = i;
    for (++i; i < mLines.size(); ++i) {
        const QByteArray trimmed = mLines.at(i).trimmed();
        if (isHeader(trimmed))
            break;
        if (!trimmed.isEmpty())
            span.lastItem = i;
    }
    span.end = i;
    return span;
}

int IniDocument::findKey(const Span &span, const QString &key) const {
    const QByteArray wanted = key.trimmed().toUtf8();
    for (int i = span.header + 1; i < span.end; ++i) {
        const QByteArray &line = mLines.at(i);
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray name = line.left(eq).trimmed();
        if (!isComment(name) && sameName(name, wanted))
            return i;
    }
    return -1;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const {
    const Span span = findSection(section);
    if (span.header < 0)
        return std::nullopt;
    const int i = findKey(span, key);
    if (i < 0)
        return std::nullopt;
    const QByteArray &line = mLines.at(i);
    const QByteArray raw = line.mid(line.indexOf('=') + 1);
    return QString::fromUtf8(cutAtNul(raw).trimmed());
}

QByteArray IniDocument::lineEnd() const {
    for (const QByteArray &line : mLines)
        if (hasLineEnd(line))
            return lineEndOf(line);
    return QByteArrayLiteral("\n");
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value) {
    QByteArray bytes = cutAtNul(value.toUtf8());
    bytes.replace('\r', ' ').replace('\n', ' ');
    bytes = bytes.trimmed();
    const QByteArray eol = lineEnd();

    const Span span = findSection(section);
    if (span.header >= 0) {
        const int i = findKey(span, key);
        if (i >= 0) {
            QByteArray &line = mLines[i];
            line = line.left(line.indexOf('=') + 1) + bytes + lineEndOf(line);
            return;
        }
        QByteArray &last = mLines[span.lastItem];
        if (!hasLineEnd(last))
            last += eol;
        mLines.insert(span.lastItem + 1, key.trimmed().toUtf8() + '=' + bytes + eol);
        return;
    }
    if (!mLines.isEmpty() && !hasLineEnd(mLines.last()))
        mLines.last() += eol;
    mLines.append('[' + section.trimmed().toUtf8() + ']' + eol);
    mLines.append(key.trimmed().toUtf8() + '=' + bytes + eol);
}
