#include "Boolean.h"

#include "PlatformError.h"

namespace Tavrin {

VBool variantToVBool(const QVariant &variant) {
    switch (variant.typeId()) {
    case QMetaType::Bool:
        return toVBool(variant.toBool());
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return toVBool(variant.toLongLong() != 0);
    case QMetaType::Double:
    case QMetaType::Float:
        return toVBool(variant.toDouble() != 0.0);
    case QMetaType::QString: {
        const QString s = variant.toString().trimmed();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return vbTrue;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return vbFalse;
        bool ok = false;
        const double d = s.toDouble(&ok);
        if (ok)
            return toVBool(d != 0.0);
        break;
    }
    default:
        break;
    }
    throw PlatformError::typeMismatch();
}

bool variantEqualsTrue(const QVariant &variant) {
    switch (variant.typeId()) {
    case QMetaType::Bool:
        return variant.toBool();
    case QMetaType::QVariant:
        return variantEqualsTrue(variant.value<QVariant>());
    case QMetaType::QString:
        if (variant.toString().trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        break;
    default:
        break;
    }
    bool isNumber = false;
    const double number = variant.toString().trimmed().toDouble(&isNumber);
    return isNumber && number == -1.0;
}

} // namespace Tavrin
