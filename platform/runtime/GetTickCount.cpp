#include "GetTickCount.h"

#include <chrono>
#include <limits>

namespace {
std::function<qint32()> &tickSource() {
    static thread_local std::function<qint32()> source; // each engine thread its own
    return source;
}
} // namespace

qint32 GetTickCount() {
    if (const auto &source = tickSource())
        return source();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(ms)));
}

qint32 TickSpan(qint32 start, qint32 end) {
    // Modular difference: the counter only goes forward, so this is the true span up to 2^32 ms.
    const quint32 span = static_cast<quint32>(end) - static_cast<quint32>(start);
    constexpr quint32 largest = std::numeric_limits<qint32>::max();
    return static_cast<qint32>(span > largest ? largest : span);
}

void setTickCountSource(std::function<qint32()> source) {
    tickSource() = std::move(source);
}
