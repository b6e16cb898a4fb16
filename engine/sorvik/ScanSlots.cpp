#include "ScanSlots.h"

#include "DescriptorBudget.h"
#include "EngineThread.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace TavrinEXE {

ScanSlots::ScanSlots(DescriptorBudget *budget, int perClient)
    : mBudget(budget), mPerClient(qMax(1, perClient)) {}

ScanGate::Pass ScanSlots::enter(const std::function<bool()> &wanted) {
    Waiter me{EngineThread::currentClient(), QThread::currentThread()->eventDispatcher()};
    const auto pass = [this, client = me.client] {
        return Pass(this, [this, client](void *) { leave(client); });
    };
    {
        std::lock_guard lock(mMutex);
        mWaiting.push_back(&me);
        grantInTurn();
        if (me.granted)
            return pass();
    }
    for (;;) {
        // Timers are left out: the engine's own 1 ms tick would wake a waiting thread for
        // nothing. A grant, a call served (Abort wakes the thread) or the thread's end does.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                        QEventLoop::X11ExcludeTimers);
        const bool goOn = wanted();
        std::lock_guard lock(mMutex);
        if (me.granted)
            return pass();
        if (!goOn) {
            mWaiting.remove(&me);
            grantInTurn(); // a scan behind this one may fit where it did not
            return nullptr;
        }
    }
}

// In the order of coming: a scan whose client has its share running waits on, and lets the
// next pass; one that finds no descriptors stops the round, so that later scans cannot take
// them ahead of it.
void ScanSlots::grantInTurn() {
    for (auto it = mWaiting.begin(); it != mWaiting.end();) {
        Waiter *waiter = *it;
        if (mRunning.value(waiter->client) >= mPerClient) {
            ++it;
            continue;
        }
        if (mBudget && !mBudget->takeScan())
            break;
        ++mRunning[waiter->client];
        waiter->granted = true;
        it = mWaiting.erase(it);
        if (waiter->dispatcher)
            waiter->dispatcher->wakeUp();
    }
}

void ScanSlots::leave(const QString &client) {
    std::lock_guard lock(mMutex);
    if (--mRunning[client] == 0)
        mRunning.remove(client);
    if (mBudget)
        mBudget->giveScan();
    grantInTurn();
}

} // namespace TavrinEXE
