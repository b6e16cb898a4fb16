#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <atomic>
#include <cstddef>

// A string kept in as few bytes as it takes: one a character when every character is Latin-1
// (the lines of most text files), else UTF-16 as QString keeps it. Copies share the bytes. A
// scan keeps the text of millions of lines, and memory is what keeping them costs most: the
// texts a scan keeps are made in an Arena, which packs them into large blocks.
class CompactText {
public:
    class Arena;

    CompactText() = default;
    explicit CompactText(QStringView text); // in an allocation of its own
    CompactText(QStringView text, Arena &arena);
    CompactText(const CompactText &other) noexcept;
    CompactText(CompactText &&other) noexcept;
    CompactText &operator=(const CompactText &other) noexcept;
    CompactText &operator=(CompactText &&other) noexcept;
    ~CompactText();

    QString toString() const;
    // Appends the text to out.
    void appendTo(QString &out) const;
    // Appends the text to out as UTF-8, encoding UTF-16 with utf8; false, with out as it was,
    // when the text holds a lone surrogate, which UTF-8 cannot carry.
    bool appendUtf8(QByteArray &out, QStringEncoder &utf8) const;
    qsizetype size() const { return mHead ? qsizetype(mHead->size) : 0; } // in UTF-16 units
    bool operator==(const CompactText &other) const;
    bool operator!=(const CompactText &other) const { return !(*this == other); }

private:
    // A text's bytes: this head, then its characters, one byte or two each.
    struct Head {
        std::atomic<quint32> refs;
        quint32 size; // in characters
        quint8 kind;  // kUtf16 and kInBlock
    };
    static constexpr quint8 kUtf16 = 1, kInBlock = 2;

    // Copies text into bytes, one byte a character; false when a character is not Latin-1.
    static bool narrow(QStringView text, char *bytes);
    static Head *start(void *bytes, QStringView text, quint8 kind);
    static void release(Head *head) noexcept;
    const char *characters() const { return reinterpret_cast<const char *>(mHead + 1); }
    bool isUtf16() const { return mHead && (mHead->kind & kUtf16); }
    QLatin1StringView latin1() const;
    QStringView utf16() const;

    Head *mHead = nullptr; // null for the empty text
};

// Makes the bytes of many texts in blocks of 2 MB, a block freed when its last text goes: one
// allocation a block, not one with the allocator's header a text, and the memory a scan takes
// fresh from the system comes in large pieces. One thread at a time uses an arena; the texts it
// made may go to any thread and outlive it.
class CompactText::Arena {
public:
    Arena() = default;
    ~Arena();
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

private:
    friend class CompactText;
    // Room for bytes after the texts of the current block, in a new block when it has none;
    // null for a text too large to share a block, which is given an allocation of its own.
    char *room(std::size_t bytes);
    // The first bytes of the room are a text's.
    void take(std::size_t bytes);
    void retire() noexcept;

    char *mBlock = nullptr;
    std::size_t mUsed = 0;
    qint64 mTexts = 0; // made in the current block
    int mBlocks = 0;   // made so far
};
