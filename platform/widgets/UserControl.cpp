#include "UserControl.h"

#include "Twips.h"

UserControl::UserControl(QWidget *parent) : QWidget(parent) {}

int UserControl::ScaleWidth() const {
    return Twips::fromPixelsX(this, contentsRect().width());
}

int UserControl::ScaleHeight() const {
    return Twips::fromPixelsY(this, contentsRect().height());
}

void UserControl::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (!mTerminated)
        Resize();
}
