#pragma once

#include <QString>

class QWidget;

// Makes the platform's controls by programmatic identifier ("MSFlexGridLib.MSFlexGrid.1"),
// compared without regard to case.
class ControlRegistry {
public:
    // A new control under parent, or PlatformError 429 for an unknown identifier.
    static QWidget *create(const QString &progId, QWidget *parent);
};
