#pragma once

#include "PostedCalls.h"

#include <QObject>

namespace TavrinEXE {

class ObjectRegistry;

// Base of the objects sorvik serves. Their members are reached through ObjectDispatcher, which
// has already admitted the caller.
class ServedObject : public QObject {
    Q_OBJECT
public:
    explicit ServedObject(ObjectRegistry *registry);

    // Runs call on this object's thread, after the calls posted before it. From any thread
    // while the object is served.
    void post(std::function<void()> call) { mPosted.post(std::move(call)); }

protected:
    // The calling connection, or "" for an in-process call.
    static QString caller();
    static bool calledFromBus();
    // Answers the current D-Bus call with an error; the return value is then ignored.
    static void fail(const QString &name, const QString &message);

    ObjectRegistry *mRegistry;

private:
    PostedCalls mPosted{this};
};

} // namespace TavrinEXE
