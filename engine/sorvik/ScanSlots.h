#pragma once

#include "ScanGate.h"

#include <QHash>
#include <QString>
#include <list>
#include <mutex>

class QAbstractEventDispatcher;

namespace TavrinEXE {

class DescriptorBudget;

// Each client's fair share of the processors: at most perClient scans of one client run at
// once (each with its helper thread), and no more than the descriptor budget holds. Further
// scans wait for a slot in the order they came, each on its engine's thread, which serves its
// calls meanwhile; a waiting scan is still an active search and can be aborted.
class ScanSlots : public ScanGate {
public:
    ScanSlots(DescriptorBudget *budget, int perClient);

    Pass enter(const std::function<bool()> &wanted) override;

    int perClient() const { return mPerClient; }

private:
    struct Waiter {
        QString client;
        QAbstractEventDispatcher *dispatcher;
        bool granted = false;
    };

    void grantInTurn(); // mMutex held
    void leave(const QString &client);

    DescriptorBudget *mBudget;
    const int mPerClient;
    std::mutex mMutex; // guards the members below
    QHash<QString, int> mRunning;
    std::list<Waiter *> mWaiting;
};

} // namespace TavrinEXE
