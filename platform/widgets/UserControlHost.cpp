#include "UserControlHost.h"

#include <QEvent>
#include <QTimer>

UserControlHost::UserControlHost(QWidget *form) : QObject(form), mForm(form) {
    form->installEventFilter(this);
}

UserControlHost::~UserControlHost() {
    terminateAll();
}

UserControl *UserControlHost::createNew(const QString &name, const Factory &factory) {
    return start(name, factory, Start::New);
}

UserControl *UserControlHost::load(const QString &name, const Factory &factory) {
    return start(name, factory, Start::Load);
}

UserControl *UserControlHost::start(const QString &name, const Factory &factory, Start how) {
    UserControl *control = factory(mForm);
    try {
        control->Initialize();
    } catch (...) {
        // It never came into being: nothing to terminate.
        delete control;
        throw;
    }
    mControls.append(control);
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
    mControls.removeAll(control);
    if (control->mTerminated)
        return;
    control->mTerminated = true;
    // Deleted even when Terminate fails; the failure still reaches the caller.
    struct Deleter {
        UserControl *control;
        ~Deleter() { delete control; }
    } deleter{control};
    control->Terminate();
}

QList<UserControl *> UserControlHost::controls() const {
    QList<UserControl *> live;
    for (const auto &control : mControls)
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
    if (watched == mForm && event->type() == QEvent::Close) {
        // The form may still refuse to close; see once the close event has been handled.
        QTimer::singleShot(0, this, [this] {
            if (mForm && !mForm->isVisible())
                terminateAll();
        });
    }
    return QObject::eventFilter(watched, event);
}
