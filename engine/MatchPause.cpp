#include "MatchPause.h"

MatchPause::MatchPause(std::function<bool()> turn) : mTurn(std::move(turn)) {
    mSinceTurn.start();
}

bool MatchPause::checkClock() {
    mlUnits = 0;
    if (mbAbandoned)
        return true;
    if (mSinceTurn.nsecsElapsed() < kTurnNs)
        return false;
    mbAbandoned = mTurn();
    mSinceTurn.start();
    return mbAbandoned;
}
