#pragma once

#include <QObject>
#include <QTimer>
#include <array>

class QWidget;

// The six-frame animation of the about box and the About page: Timer1 ticks every 500 ms and
// each tick shows frame lFrame, hides the one before it, and moves lFrame on (6 wraps to 1).
class AboutAnimation : public QObject {
    Q_OBJECT
public:
    AboutAnimation(const std::array<QWidget *, 6> &frames, QObject *parent = nullptr);

    // Frame that the next tick shows, 1 to 6.
    int lFrame = 1;
    QTimer Timer1;

    void Timer1_Timer();

private:
    std::array<QWidget *, 6> mFrames;
};
