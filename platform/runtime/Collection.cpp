#include "Collection.h"

#include "PlatformError.h"

QVariant Collection::Item(qint32 index) const {
    if (index < 1 || index > Count())
        throw PlatformError::subscriptOutOfRange();
    return mItems.at(index - 1);
}
