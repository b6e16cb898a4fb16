#pragma once

#include <QString>

// The pictures compiled into the dialogs library.
namespace DialogResources {

// Registers the resources once; a static library's resources are not registered by themselves.
void ensureLoaded();

inline const QString Icon = QStringLiteral(":/tavrin/tavrin-icon.png");
inline const QString AboutBackground = QStringLiteral(":/tavrin/about-background.png");
inline QString aboutFrame(int number) {
    return QStringLiteral(":/tavrin/about-frame%1.png").arg(number);
}

} // namespace DialogResources
