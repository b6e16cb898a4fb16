#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

namespace TavrinEXE {

// A call answered later, from the thread that serves it. A call whose object went away before
// serving it is answered with UnknownObject rather than left waiting for ever.
class PendingReply {
public:
    PendingReply(const QDBusMessage &call, const QDBusConnection &connection)
        : mCall(call), mConnection(connection) {}
    ~PendingReply() {
        if (!mAnswered)
            answer(
                mCall.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
                                       QStringLiteral("%1 went away").arg(mCall.path())));
    }
    PendingReply(const PendingReply &) = delete;
    PendingReply &operator=(const PendingReply &) = delete;

    const QDBusMessage &call() const { return mCall; }
    void answer(const QDBusMessage &reply) {
        mAnswered = true;
        if (mCall.isReplyRequired())
            mConnection.send(reply);
    }

private:
    QDBusMessage mCall;
    QDBusConnection mConnection;
    bool mAnswered = false;
};

} // namespace TavrinEXE
