#pragma once

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

// The lines of a file's contents as the scan reads them, to give some of them new text and get
// the contents back with every other byte as it was: the byte order mark, the encoding (UTF-8,
// or UTF-16 LE or BE after its mark) and each line's end (LF or CR LF). Lines are numbered
// from 1 and end at an LF; a CR just before the LF belongs to the line end, not to the text;
// after the last LF there is one more line only when something follows it.
//
// Lines are looked up from the last one found on, so asking for them in order reads the
// contents once.
class TextLines {
public:
    explicit TextLines(QByteArray contents);

    qint64 lineCount() const;
    bool hasLine(qint64 n) { return locate(n).has_value(); }
    // Line n's text decoded as the scan decodes it (invalid bytes as U+FFFD); line n exists.
    QString text(qint64 n);
    // Whether text(n) encoded again gives the line's own bytes: false for bytes that are not
    // text (invalid UTF-8, a lone surrogate, an odd last byte) or a mark the decoding drops.
    bool roundTrips(qint64 n);
    // Whether text, put as line n's text, reads back as itself and leaves the lines as they are:
    // no line end in it, no CR just before the line's LF, nothing the decoding would change.
    bool canHold(qint64 n, const QString &text);
    // Gives line n the text, which canHold(n, text).
    void setText(qint64 n, const QString &text);
    // The contents, the lines given new text changed.
    QByteArray contents() const;

private:
    enum class Encoding { Utf8, Utf16LE, Utf16BE };
    struct Span {
        qint64 start = 0, end = 0; // the text's bytes
        bool endsWithLf = false;
    };

    std::optional<Span> locate(qint64 n);
    qint64 nextLineEnd(qint64 from) const; // offset of the next LF, or of the end
    QString decode(const char *data, qint64 size) const;
    QByteArray encode(const QString &text) const;
    char16_t unitAt(const char *data) const; // the UTF-16 unit there

    const QByteArray mContents;
    Encoding mEncoding = Encoding::Utf8;
    qint64 mTextStart = 0; // past the byte order mark
    qint64 mlCursorLine = 1;
    qint64 mlCursorAt = 0;                                  // where line mlCursorLine begins
    std::map<qint64, std::pair<Span, QByteArray>> mChanged; // line: its span, its new bytes
};
