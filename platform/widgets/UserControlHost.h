#pragma once

#include "tavrinx_export.h"

#include "UserControl.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

namespace Tavrin {

class UserControlHostPrivate;

// The host-form side of user controls: places controls on a form, raises their container
// events, and terminates each exactly once, when it is let go, when the form closes or when
// the host ends. The host is a child of the form and is made before the controls it places,
// so deleting the form ends the host, and thus terminates the controls, before they go.
class TAVRINX_EXPORT UserControlHost : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<UserControl *(QWidget *form)>;

    explicit UserControlHost(QWidget *form);
    ~UserControlHost() override;

    // A brand-new instance: Initialize, then it is named, then InitProperties.
    template <class T> T *createNew(const QString &name) {
        return static_cast<T *>(createNew(name, [](QWidget *form) { return new T(form); }));
    }
    UserControl *createNew(const QString &name, const Factory &factory);
    // A saved instance loaded by its name: Initialize, then it is named, then ReadProperties.
    template <class T> T *load(const QString &name) {
        return static_cast<T *>(load(name, [](QWidget *form) { return new T(form); }));
    }
    UserControl *load(const QString &name, const Factory &factory);

    // Raises WriteProperties.
    void save(UserControl *control);
    // Raises Terminate (once) and deletes the control.
    void terminate(UserControl *control);

    QWidget *form() const;
    // The live controls of this host, in order of creation.
    QList<UserControl *> controls() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Start { New, Load };
    UserControl *start(const QString &name, const Factory &factory, Start how);
    // Terminates every control; failures are dropped, for nobody is there to receive them.
    void terminateAll() noexcept;

    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<UserControlHostPrivate> d;
};

} // namespace Tavrin
