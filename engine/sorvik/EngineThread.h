#pragma once

#include <QString>
#include <QThread>
#include <exception>
#include <future>

namespace TavrinEXE {

class EngineObject;
class ObjectRegistry;

// The thread of one engine object: makes the engine and its object on itself, runs their
// events (the calls on the object, the scan's timer and yields) until the object retires, and
// deletes them there. Its stack is small, so that thousands of engines may search at once.
class EngineThread : public QThread {
    Q_OBJECT
public:
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr uint kStackBytes = 8u << 20; // instrumented frames are much larger
#else
    static constexpr uint kStackBytes = 1u << 20;
#endif

    // client: the connection that holds the engine.
    EngineThread(ObjectRegistry *registry, const QString &path, const QString &client);

    // Starts the thread and waits for its engine object; throws PlatformError when no thread
    // can be made or the engine cannot be made (the thread has then ended).
    EngineObject *startEngine();

    // The client of the engine whose thread calls; "" on any other thread.
    static QString currentClient();

protected:
    void run() override;

private:
    ObjectRegistry *mRegistry;
    QString mClient;
    EngineObject *mObject = nullptr;
    std::exception_ptr mFailure;
    // Set once the engine is made or has failed (a standard one: ThreadSanitizer sees it).
    std::promise<void> mPromised;
    std::future<void> mReady = mPromised.get_future();
};

} // namespace TavrinEXE
