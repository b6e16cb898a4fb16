#include "EventSink.h"

#include "TavrinXProxy.h"

#include <QDBusConnection>
#include <QtDebug>
#include <atomic>
#include <exception>

namespace TavrinEXE {

namespace {
std::atomic<quint64> gNextSink{1};
}

EventSink::EventSink(TavrinXProxy *proxy)
    : QObject(proxy), mProxy(proxy), mPath(QStringLiteral("/TavrinEXE/Sink/%1").arg(gNextSink++)) {
    QDBusConnection::sessionBus().registerObject(mPath, this, QDBusConnection::ExportAllSlots);
}

EventSink::~EventSink() {
    QDBusConnection::sessionBus().unregisterObject(mPath);
}

// A handler's exception has nobody to reach across the bus; it must not end the host.
template <typename Raise> void EventSink::deliver(Raise raise) {
    try {
        raise();
    } catch (const std::exception &e) {
        qWarning("TavrinX event handler failed: %s", e.what());
    } catch (...) {
        qWarning("TavrinX event handler failed");
    }
}

void EventSink::ScanCompleted() {
    deliver([this] { emit mProxy->ScanCompleted(); });
}

void EventSink::OnError(int ErrorCode, const QString &sErrorString) {
    deliver([&] {
        qint32 code = ErrorCode;
        QString text = sErrorString;
        emit mProxy->OnError(code, text);
    });
}

void EventSink::ScanStarted() {
    deliver([this] { emit mProxy->ScanStarted(); });
}

} // namespace TavrinEXE
