#pragma once

#include "tavrinx_export.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <memory>

namespace Tavrin {

class ControlCollectionPrivate;

// The controls a user control added at run time, by name (compared without regard to case).
// Each is a child widget of the user control.
class TAVRINX_EXPORT ControlCollection {
public:
    explicit ControlCollection(QWidget *owner);
    ~ControlCollection();

    // A new, hidden child made from the identifier's factory and named `name`. Fails with
    // PlatformError when the identifier is unknown or the name is taken.
    QWidget *Add(const QString &progId, const QString &name);
    // Takes the named control away: hidden, silenced and deleted once control returns to the
    // event loop, so a control may be removed from inside one of its own signals. Fails with
    // PlatformError when there is no such control.
    void Remove(const QString &name);
    // The named control, or nullptr.
    QWidget *Item(const QString &name) const;
    int Count() const;

private:
    int indexOf(const QString &name) const;

    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<ControlCollectionPrivate> d;
};

} // namespace Tavrin
