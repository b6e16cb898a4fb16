#include "FileTypeFilter.h"

#include <QStringList>
#include <algorithm>

namespace {
bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool hasWildcard(QStringView text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c == u'*' || c == u'?' || c == u'['; });
}
} // namespace

FileTypeFilter::FileTypeFilter(const QString &list) : msList(list) {
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    QStringList others;
    for (const QString &entry : list.split(separators, Qt::SkipEmptyParts)) {
        if (entry == u"*" || entry == u"*.*") {
            mbEveryFile = true;
            return;
        }
        const bool whole = !hasWildcard(entry);
        if (whole || (entry.startsWith(u'*') && !hasWildcard(QStringView(entry).mid(1)))) {
            Literal literal;
            literal.text = whole ? entry : entry.mid(1);
            if (isAscii(literal.text))
                literal.ascii = literal.text.toLatin1();
            literal.whole = whole;
            mLiterals.push_back(std::move(literal));
        } else {
            others << QRegularExpression::wildcardToRegularExpression(entry);
        }
    }
    if (!others.isEmpty())
        mOthers = QRegularExpression(others.join(u'|'), QRegularExpression::CaseInsensitiveOption |
                                                            QRegularExpression::DontCaptureOption);
}

// A name whose last n bytes are ASCII ends in those n characters, so an ASCII literal is
// compared byte for byte; any other name is decoded (a non-ASCII character may fold onto an
// ASCII letter, as the Kelvin sign onto "k").
bool FileTypeFilter::Literal::endOf(const QByteArray &name) const {
    const qsizetype n = ascii.size();
    if (n > 0) {
        if (name.size() < n)
            return false; // fewer bytes than the literal's characters
        const char *tail = name.constData() + name.size() - n;
        if (std::all_of(tail, tail + n, [](char c) { return uchar(c) < 0x80; }))
            return (!whole || name.size() == n) && qstrnicmp(tail, ascii.constData(), n) == 0;
    }
    const QString decoded = QString::fromUtf8(name);
    return whole ? decoded.compare(text, Qt::CaseInsensitive) == 0
                 : decoded.endsWith(text, Qt::CaseInsensitive);
}

bool FileTypeFilter::takes(const QByteArray &name) const {
    if (mbEveryFile)
        return true;
    for (const Literal &literal : mLiterals)
        if (literal.endOf(name))
            return true;
    return !mOthers.pattern().isEmpty() && mOthers.match(QString::fromUtf8(name)).hasMatch();
}
