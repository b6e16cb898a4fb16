#include "CompactText.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/mman.h>

namespace {
constexpr std::size_t kBlockSize = std::size_t(2) << 20;
constexpr std::size_t kBlockStart = 64; // the count of live texts has a cache line of its own
constexpr std::size_t kLargest = kBlockSize / 16; // a larger text has an allocation of its own
// What a block counts live while its arena still makes texts in it, beyond the texts made.
constexpr qint64 kHeld = std::numeric_limits<qint64>::max() / 2;

std::atomic<qint64> &liveIn(void *block) {
    return *static_cast<std::atomic<qint64> *>(block);
}

void *blockOf(const void *bytes) {
    return reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(bytes) & ~(kBlockSize - 1));
}

// Blocks are aligned to their size, so that a text finds its block from its own address. They
// are mapped, not allocated: a thread's malloc arena grows a page and a system call at a time.
// A huge block is backed by a huge page where the system allows it, which costs one fault where
// small pages cost 512; it is also resident whole once touched.
void *mapBlock(bool huge) {
    const std::size_t span = 2 * kBlockSize;
    void *mapped =
        ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto at = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (at + kBlockSize - 1) & ~(kBlockSize - 1);
    if (aligned > at)
        ::munmap(mapped, aligned - at);
    if (aligned + kBlockSize < at + span)
        ::munmap(reinterpret_cast<void *>(aligned + kBlockSize), at + span - aligned - kBlockSize);
    void *block = reinterpret_cast<void *>(aligned);
    if (huge)
        ::madvise(block, kBlockSize, MADV_HUGEPAGE); // a hint: an error leaves small pages
    new (block) std::atomic<qint64>(kHeld);
    return block;
}

// Drops count from what block counts live, and frees it when nothing is left.
void dropFrom(void *block, qint64 count) {
    if (liveIn(block).fetch_sub(count, std::memory_order_acq_rel) == count)
        ::munmap(block, kBlockSize);
}
} // namespace

CompactText::CompactText(QStringView text) {
    if (text.isEmpty())
        return;
    if (quint64(text.size()) > std::numeric_limits<quint32>::max())
        throw std::length_error("CompactText: text too long");
    const std::size_t latin1 = sizeof(Head) + std::size_t(text.size());
    void *bytes = ::operator new(latin1);
    if (narrow(text, static_cast<char *>(bytes) + sizeof(Head))) {
        mHead = start(bytes, text, 0);
        return;
    }
    ::operator delete(bytes);
    mHead = start(::operator new(sizeof(Head) + std::size_t(text.size()) * sizeof(QChar)), text,
                  kUtf16);
}

CompactText::CompactText(QStringView text, Arena &arena) {
    if (text.isEmpty())
        return;
    const std::size_t latin1 = sizeof(Head) + std::size_t(text.size());
    char *room = arena.room(latin1);
    if (room && narrow(text, room + sizeof(Head))) {
        arena.take(latin1);
        mHead = start(room, text, kInBlock);
        return;
    }
    const std::size_t utf16 = sizeof(Head) + std::size_t(text.size()) * sizeof(QChar);
    room = room ? arena.room(utf16) : nullptr;
    if (!room) {
        *this = CompactText(text);
        return;
    }
    arena.take(utf16);
    mHead = start(room, text, kUtf16 | kInBlock);
}

CompactText::CompactText(const CompactText &other) noexcept : mHead(other.mHead) {
    if (mHead)
        mHead->refs.fetch_add(1, std::memory_order_relaxed);
}

CompactText::CompactText(CompactText &&other) noexcept
    : mHead(std::exchange(other.mHead, nullptr)) {}

CompactText &CompactText::operator=(const CompactText &other) noexcept {
    if (other.mHead)
        other.mHead->refs.fetch_add(1, std::memory_order_relaxed);
    release(std::exchange(mHead, other.mHead));
    return *this;
}

CompactText &CompactText::operator=(CompactText &&other) noexcept {
    if (this != &other)
        release(std::exchange(mHead, std::exchange(other.mHead, nullptr)));
    return *this;
}

CompactText::~CompactText() {
    release(mHead);
}

bool CompactText::narrow(QStringView text, char *bytes) {
    // By hand, in one pass: toLatin1() would check and copy in two.
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return false;
        *bytes++ = static_cast<char>(c.unicode());
    }
    return true;
}

CompactText::Head *CompactText::start(void *bytes, QStringView text, quint8 kind) {
    Head *head = new (bytes) Head{{1}, quint32(text.size()), kind};
    if (kind & kUtf16)
        std::memcpy(head + 1, text.data(), std::size_t(text.size()) * sizeof(QChar));
    return head;
}

void CompactText::release(Head *head) noexcept {
    if (!head || head->refs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    if (head->kind & kInBlock)
        dropFrom(blockOf(head), 1);
    else
        ::operator delete(head);
}

QLatin1StringView CompactText::latin1() const {
    return QLatin1StringView(characters(), size());
}

QStringView CompactText::utf16() const {
    return QStringView(reinterpret_cast<const char16_t *>(characters()), size());
}

QString CompactText::toString() const {
    QString text;
    appendTo(text);
    return text;
}

void CompactText::appendTo(QString &out) const {
    if (isUtf16())
        out.append(utf16());
    else if (mHead)
        out.append(latin1());
}

bool CompactText::operator==(const CompactText &other) const {
    if (mHead == other.mHead)
        return true;
    if (!mHead || !other.mHead || size() != other.size() || isUtf16() != other.isUtf16())
        return false;
    return std::memcmp(characters(), other.characters(),
                       std::size_t(size()) * (isUtf16() ? sizeof(QChar) : 1)) == 0;
}

bool CompactText::appendUtf8(QByteArray &out, QStringEncoder &utf8) const {
    const qsizetype at = out.size();
    if (!isUtf16()) {
        const QLatin1StringView text = mHead ? latin1() : QLatin1StringView();
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
    out.resize(at + utf8.requiredSpace(size()));
    utf8.resetState();
    out.truncate(utf8.appendToBuffer(out.data() + at, utf16()) - out.constData());
    if (!utf8.hasError())
        return true;
    out.truncate(at);
    return false;
}

CompactText::Arena::~Arena() {
    retire();
}

char *CompactText::Arena::room(std::size_t bytes) {
    if (bytes > kLargest)
        return nullptr;
    if (!mBlock || kBlockSize - mUsed < bytes) {
        retire();
        // The first block of an arena has small pages, so that a scan of a few findings keeps
        // no more than they take.
        mBlock = static_cast<char *>(mapBlock(mBlocks > 0));
        ++mBlocks;
        mUsed = kBlockStart;
    }
    return mBlock + mUsed;
}

void CompactText::Arena::take(std::size_t bytes) {
    mUsed += (bytes + alignof(Head) - 1) & ~(alignof(Head) - 1);
    ++mTexts;
}

void CompactText::Arena::retire() noexcept {
    if (!mBlock)
        return;
    dropFrom(mBlock, kHeld - mTexts);
    mBlock = nullptr;
    mTexts = 0;
}
