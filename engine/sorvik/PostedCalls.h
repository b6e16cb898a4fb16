#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace TavrinEXE {

// Calls handed from other threads to the thread this object lives on, run there in the order
// posted. The calls travel under a lock of the standard library rather than inside Qt's
// events, so that ThreadSanitizer (Qt is not built with it) sees them cross: what the posting
// thread did before post() comes before the call.
class PostedCalls : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // From any thread.
    void post(std::function<void()> call);

private:
    Q_INVOKABLE void runPosted();

    std::mutex mMutex;
    std::deque<std::function<void()>> mCalls;
};

} // namespace TavrinEXE
