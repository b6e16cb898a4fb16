#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

// A string kept in as few bytes as it takes: one a character when every character is Latin-1
// (the lines of most text files), else UTF-16 as QString keeps it. Copies share the bytes. A
// scan keeps the text of millions of lines, and memory is what keeping them costs most.
class CompactText {
public:
    CompactText() = default;
    explicit CompactText(QStringView text);

    QString toString() const;
    // Appends the text to out.
    void appendTo(QString &out) const;
    // Appends the text to out as UTF-8, encoding UTF-16 with utf8; false, with out as it was,
    // when the text holds a lone surrogate, which UTF-8 cannot carry.
    bool appendUtf8(QByteArray &out, QStringEncoder &utf8) const;
    qsizetype size() const; // in UTF-16 units
    bool operator==(const CompactText &other) const { return mBytes == other.mBytes; }
    bool operator!=(const CompactText &other) const { return mBytes != other.mBytes; }

private:
    bool isLatin1() const { return mBytes.isEmpty() || mBytes.front() == kLatin1; }
    QLatin1StringView latin1() const;

    static constexpr char kLatin1 = 'L', kUtf16 = 'U';
    QByteArray mBytes; // kLatin1 then the characters, or kUtf16 then the UTF-16 units
};
