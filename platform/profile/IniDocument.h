#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <optional>

// The text of one INI file as its raw lines, so that an edit changes one key and keeps every
// other byte. Hand-written: the INI libraries at hand rewrite the whole file from a map and so
// drop junk lines and later duplicates that this format must keep.
//
// Layout: "[Section]" lines and "key=value" lines; names compare without regard to case, blanks
// around names and values are ignored; the first of duplicate sections or keys counts; lines
// without "=" and lines starting with ';' or '#' are kept but carry no key. Text is UTF-8.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(const QByteArray &text);

    // The value of key in section, cut at its first NUL; nullopt when either is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Section and key names are the caller's own constants, without "]", "=" or line breaks.
    // Replaces the key's value in place, or adds the key at the end of its section, or adds the
    // section at the end of the text. The value is kept to one line: line breaks become blanks
    // and a NUL ends it, so no value can add keys or sections of its own.
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray toByteArray() const { return mLines.join(); }

private:
    struct Span {
        int header = -1;  // line index of the section header, -1 when the section is missing
        int end = 0;      // one past the last line of the section
        int lastItem = 0; // index of the last non-blank line of the section (header included)
    };

    Span findSection(const QString &section) const;
    int findKey(const Span &span, const QString &key) const;
    QByteArray lineEnd() const;

    QByteArrayList mLines; // each with its own line end, if it had one
};
