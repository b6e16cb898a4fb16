#include "WindowsDirectory.h"

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

QString GetWindowsDirectoryA(int size) {
    Q_UNUSED(size);
    const auto &lookup = lookupOverride();
    return lookup ? lookup() : configTavrinFolder();
}

void setWindowsDirectoryLookup(std::function<QString()> lookup) {
    lookupOverride() = std::move(lookup);
}
