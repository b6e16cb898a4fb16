#include "UserControlHost.h"

#include "UserControlPrivate.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace Tavrin {

class UserControlHostPrivate {
public:
    QPointer<QWidget> mForm;
    QList<QPointer<UserControl>> mControls;
};

UserControlHost::UserControlHost(QWidget *form)
    : QObject(form), d(std::make_unique<UserControlHostPrivate>()) {
    d->mForm = form;
    form->installEventFilter(this);
}

UserControlHost::~UserControlHost() {
    terminateAll();
}

QWidget *UserControlHost::form() const {
    return d->mForm;
}

UserControl *UserControlHost::createNew(const QString &name, const Factory &factory) {
    return start(name, factory, Start::New);
}

UserControl *UserControlHost::load(const QString &name, const Factory &factory) {
    return start(name, factory, Start::Load);
}

UserControl *UserControlHost::start(const QString &name, const Factory &factory, Start how) {
    UserControl *control = factory(d->mForm);
    try {
        control->Initialize();
    } catch (...) {
        // It never came into being: nothing to terminate.
        delete control;
        throw;
    }
    d->mControls.append(control);
    try {
        control->setObjectName(name);
        if (how == Start::New)
            control->InitProperties();
        else
            control->ReadProperties();
    } catch (...) {
        terminate(control);
        throw;
    }
    control->show();
    return control;
}

void UserControlHost::save(UserControl *control) {
    control->WriteProperties();
}

void UserControlHost::terminate(UserControl *control) {
    d->mControls.removeAll(control);
    if (control->d->mTerminated)
        return;
    control->d->mTerminated = true;
    // Deleted even when Terminate fails; the failure still reaches the caller.
    struct Deleter {
        UserControl *control;
        ~Deleter() { delete control; }
    } deleter{control};
    control->Terminate();
}

QList<UserControl *> UserControlHost::controls() const {
    QList<UserControl *> live;
    for (const auto &control : d->mControls)
        if (control)
            live.append(control);
    return live;
}

void UserControlHost::terminateAll() noexcept {
    const QList<UserControl *> live = controls();
    for (UserControl *control : live) {
        try {
            terminate(control);
        } catch (...) {
        }
    }
}

bool UserControlHost::eventFilter(QObject *watched, QEvent *event) {
    if (watched == d->mForm && event->type() == QEvent::Close) {
        // The form may still refuse to close; see once the close event has been handled.
        QTimer::singleShot(0, this, [this] {
            if (d->mForm && !d->mForm->isVisible())
                terminateAll();
        });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Tavrin
