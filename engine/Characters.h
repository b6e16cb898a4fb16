#pragma once

#include <QChar>
#include <QStringView>

// Characters of text[0, units), the unit before text being before (0 for none): the second half
// of a surrogate pair does not count. Columns are counted in characters this way.
inline qint64 characterCount(QStringView text, qsizetype units, char16_t before = 0) {
    qint64 count = units;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t previous = i > 0 ? text.at(i - 1).unicode() : before;
        count -= text.at(i).isLowSurrogate() && QChar::isHighSurrogate(previous);
    }
    return count;
}
