#include "AboutAnimation.h"

#include <QWidget>

AboutAnimation::AboutAnimation(const std::array<QWidget *, 6> &frames, QObject *parent)
    : QObject(parent), mFrames(frames) {
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &AboutAnimation::Timer1_Timer);
    Timer1.start();
}

void AboutAnimation::Timer1_Timer() {
    if (lFrame < 1 || lFrame > 6)
        lFrame = 1;
    const int shown = lFrame - 1;
    const int hidden = (shown + 5) % 6;
    mFrames[shown]->setVisible(true);
    mFrames[hidden]->setVisible(false);
    lFrame = lFrame % 6 + 1;
}
