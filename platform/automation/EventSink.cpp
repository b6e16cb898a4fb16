#include "EventSink.h"

#include <QDBusConnection>
#include <atomic>

namespace TavrinEXE {

namespace {
std::atomic<quint64> gNextSink{1};
}

EventSink::EventSink(QObject *proxy)
    : QObject(proxy), mPath(QStringLiteral("/TavrinEXE/Sink/%1").arg(gNextSink++)) {}

EventSink::~EventSink() {
    QDBusConnection::sessionBus().unregisterObject(mPath);
}

void EventSink::publish() {
    QDBusConnection::sessionBus().registerObject(mPath, this, QDBusConnection::ExportAllSlots);
}

} // namespace TavrinEXE
