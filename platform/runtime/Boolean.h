#pragma once

#include "tavrinx_export.h"

#include <QVariant>
#include <QtGlobal>

namespace Tavrin {

// The automation Boolean: a 16-bit value, true = -1, false = 0.
using VBool = qint16;
constexpr VBool vbTrue = -1;
constexpr VBool vbFalse = 0;

constexpr VBool toVBool(bool b) {
    return b ? vbTrue : vbFalse;
}

// The language's Boolean conversion of a tagged value: a Boolean as it is, a number true when
// non-zero, the texts "True"/"False" in any case, a numeric text by its number. Anything else
// throws PlatformError::typeMismatch().
TAVRINX_EXPORT VBool variantToVBool(const QVariant &variant);

// The language's "value = True" test: a Boolean true, a number equal to -1, the text "True" in
// any case or a numeric text equal to -1; anything else is not equal.
TAVRINX_EXPORT bool variantEqualsTrue(const QVariant &variant);

// A tagged value of Boolean type holding b.
inline QVariant vboolVariant(VBool b) {
    return QVariant(b != 0);
}

} // namespace Tavrin
