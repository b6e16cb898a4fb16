#include "UserControl.h"

#include "Twips.h"
#include "UserControlPrivate.h"

namespace Tavrin {

UserControl::UserControl(QWidget *parent)
    : QWidget(parent), d(std::make_unique<UserControlPrivate>(this)) {}

UserControl::~UserControl() = default;

ControlCollection &UserControl::Controls() {
    return d->mControls;
}

int UserControl::ScaleWidth() const {
    return Twips::fromPixelsX(this, contentsRect().width());
}

int UserControl::ScaleHeight() const {
    return Twips::fromPixelsY(this, contentsRect().height());
}

void UserControl::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (!d->mTerminated)
        Resize();
}

} // namespace Tavrin
