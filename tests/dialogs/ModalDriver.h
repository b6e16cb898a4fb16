#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Acts on the next modal window of type T once it is on screen, from inside its modal loop.
// If none appears within the time limit, the current modal window (if any) is hidden so the
// test does not hang, and *timedOut becomes true. A window that act leaves open is hidden.
template <typename T>
void whenModal(std::function<void(T *)> act, bool *timedOut = nullptr, int limitMs = 5000) {
    auto *poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, clock, act, timedOut, limitMs] {
        T *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (window && window->isVisible()) {
            poll->stop();
            poll->deleteLater();
            QPointer<T> guard(window);
            act(window);
            // A failed check inside act must not leave the modal loop running.
            if (guard && guard->isVisible())
                guard->hide();
        } else if (clock->elapsed() > limitMs) {
            poll->stop();
            poll->deleteLater();
            if (timedOut)
                *timedOut = true;
            if (QWidget *stuck = QApplication::activeModalWidget())
                stuck->hide();
        }
    });
    poll->start();
}
