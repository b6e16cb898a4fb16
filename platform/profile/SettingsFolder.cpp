#include "SettingsFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace {

std::function<QString()> &lookupOverride() {
    static std::function<QString()> lookup;
    return lookup;
}

QString configTavrinFolder() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/tavrin"));
}

} // namespace

QString SettingsFolder::path() {
    const auto &lookup = lookupOverride();
    return lookup ? lookup() : configTavrinFolder();
}

void SettingsFolder::setLookup(std::function<QString()> lookup) {
    lookupOverride() = std::move(lookup);
}
