#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <functional>

// Gives the thread of a long regular-expression match a turn: the matcher reports the work it
// does as it goes, and once about a millisecond of matching has passed since the last turn
// (in one line or over many), the turn is taken from inside the match. One per search, on the
// search's thread.
class MatchPause {
public:
    // turn: the turn itself (a yield, a look at a stop flag); true when the match is to be
    // abandoned, which is then asked of every later match too.
    explicit MatchPause(std::function<bool()> turn);

    // Work the match has done since it last said so, in units of a character stepped over;
    // true when the match is to be abandoned.
    bool addWork(quint64 units) {
        mlUnits += units;
        return mlUnits >= kClockEvery && checkClock();
    }
    // After work that was not counted (a whole match of bounded work): the turn when it is due;
    // true when the match is to be abandoned.
    bool checkClock();

private:
    // The clock is read after this much work, a few microseconds' worth.
    static constexpr quint64 kClockEvery = 4096;
    static constexpr qint64 kTurnNs = 1'000'000;

    std::function<bool()> mTurn;
    QElapsedTimer mSinceTurn;
    quint64 mlUnits = 0;
    bool mbAbandoned = false;
};
