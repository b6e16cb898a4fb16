#pragma once

#include <QObject>
#include <QTimer>

// The engine's hidden form: no code, one timer that runs the scan, 1 ms, initially disabled.
class frmTimer : public QObject {
    Q_OBJECT
public:
    explicit frmTimer(QObject *parent = nullptr);

    QTimer *tmrGrep() { return &mtmrGrep; }

private:
    QTimer mtmrGrep;
};
