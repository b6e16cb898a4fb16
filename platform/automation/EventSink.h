#pragma once

#include <QObject>
#include <QString>
#include <QtDebug>
#include <exception>

namespace TavrinEXE {

// The client's end of an engine's events, exported on the session bus: the engine calls it and
// waits until the handlers have returned. The events are TavrinXEvents', generated from the
// interface file.
class EventSink : public QObject {
    Q_OBJECT
public:
    explicit EventSink(QObject *proxy);
    ~EventSink() override;

    QString path() const { return mPath; }
    // Exports the sink's slots at its path, once it is whole.
    void publish();

protected:
    // Runs the handlers of one event. A handler's exception has nobody to reach across the
    // bus; it must not end the host.
    template <typename Raise> void deliver(Raise raise) {
        try {
            raise();
        } catch (const std::exception &e) {
            qWarning("TavrinX event handler failed: %s", e.what());
        } catch (...) {
            qWarning("TavrinX event handler failed");
        }
    }

private:
    QString mPath;
};

} // namespace TavrinEXE
