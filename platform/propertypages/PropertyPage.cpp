#include "PropertyPage.h"

#include "PlatformError.h"

namespace Tavrin {

class PropertyPagePrivate {
public:
    QList<QObject *> mSelectedControls;
    bool mChanged = false;
};

PropertyPage::PropertyPage(QWidget *parent)
    : QWidget(parent), d(std::make_unique<PropertyPagePrivate>()) {}

PropertyPage::~PropertyPage() = default;

QList<QObject *> PropertyPage::SelectedControls() const {
    return d->mSelectedControls;
}

bool PropertyPage::Changed() const {
    return d->mChanged;
}

void PropertyPage::setSelectedControls(const QList<QObject *> &controls) {
    d->mSelectedControls = controls;
    SelectionChanged();
}

void PropertyPage::setChanged(bool changed) {
    if (d->mChanged == changed)
        return;
    d->mChanged = changed;
    emit changedChanged(d->mChanged);
}

QObject *PropertyPage::firstSelectedControl() const {
    if (d->mSelectedControls.isEmpty())
        throw PlatformError::subscriptOutOfRange();
    return d->mSelectedControls.first();
}

} // namespace Tavrin
