#include "PlatformError.h"

namespace Tavrin {

class PlatformErrorPrivate {
public:
    int mNumber;
    QString mDescription;
};

PlatformError::PlatformError(int number, const QString &description)
    : std::runtime_error(description.toStdString()),
      d(std::make_shared<const PlatformErrorPrivate>(PlatformErrorPrivate{number, description})) {}

PlatformError::PlatformError(const PlatformError &other) noexcept = default;
PlatformError &PlatformError::operator=(const PlatformError &other) noexcept = default;
PlatformError::~PlatformError() = default;

int PlatformError::number() const {
    return d->mNumber;
}

QString PlatformError::description() const {
    return d->mDescription;
}

} // namespace Tavrin
