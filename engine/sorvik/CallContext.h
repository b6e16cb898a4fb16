#pragma once

#include <QString>

namespace TavrinEXE {

// The D-Bus call being served, for the objects that serve it: who calls, and the error to
// answer with. Calls nest while an event waits for its handler, so each dispatch installs
// its own context and restores the outer one. Each thread serving calls has its own.
class CallContext {
public:
    explicit CallContext(const QString &caller) : mCaller(caller), mOuter(sCurrent) {
        sCurrent = this;
    }
    ~CallContext() { sCurrent = mOuter; }
    CallContext(const CallContext &) = delete;
    CallContext &operator=(const CallContext &) = delete;

    // The call being served, or null for an in-process call.
    static CallContext *current() { return sCurrent; }

    QString caller() const { return mCaller; }
    void fail(const QString &name, const QString &message) {
        if (mErrorName.isEmpty()) {
            mErrorName = name;
            mErrorMessage = message;
        }
    }
    bool failed() const { return !mErrorName.isEmpty(); }
    QString errorName() const { return mErrorName; }
    QString errorMessage() const { return mErrorMessage; }

private:
    static inline thread_local CallContext *sCurrent = nullptr;
    QString mCaller;
    QString mErrorName;
    QString mErrorMessage;
    CallContext *mOuter;
};

} // namespace TavrinEXE
