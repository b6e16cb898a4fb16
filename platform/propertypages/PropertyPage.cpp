#include "PropertyPage.h"

#include "PlatformError.h"

PropertyPage::PropertyPage(QWidget *parent) : QWidget(parent) {}

void PropertyPage::setSelectedControls(const QList<QObject *> &controls) {
    mSelectedControls = controls;
    SelectionChanged();
}

void PropertyPage::setChanged(bool changed) {
    if (mChanged == changed)
        return;
    mChanged = changed;
    emit changedChanged(mChanged);
}

QObject *PropertyPage::firstSelectedControl() const {
    if (mSelectedControls.isEmpty())
        throw PlatformError::subscriptOutOfRange();
    return mSelectedControls.first();
}
