#include "frmTimer.h"

frmTimer::frmTimer(QObject *parent) : QObject(parent), mtmrGrep(this) {
    mtmrGrep.setObjectName(QStringLiteral("tmrGrep"));
    mtmrGrep.setInterval(1);
    mtmrGrep.setTimerType(Qt::PreciseTimer);
    setObjectName(QStringLiteral("frmTimer"));
}
