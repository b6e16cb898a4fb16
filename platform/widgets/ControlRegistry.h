#pragma once

#include <QString>
#include <functional>

class QWidget;

// Makes controls by programmatic identifier ("MSFlexGridLib.MSFlexGrid.1"), compared without
// regard to case. The platform's own controls are known from the start; others register theirs.
// Used on the user-interface thread only.
class ControlRegistry {
public:
    using Factory = std::function<QWidget *(QWidget *parent)>;

    static void registerClass(const QString &progId, Factory factory);
    static bool isRegistered(const QString &progId);
    // A new control under parent, or PlatformError 429 for an unknown identifier.
    static QWidget *create(const QString &progId, QWidget *parent);
};
