#pragma once

#include "TavrinEXENames.h"

#include <QObject>

namespace TavrinEXE {

class TavrinXProxy;

// The client's end of the engine's events, exported as TavrinEXE.__TavrinX: the engine calls
// it and waits until the proxy's handlers have returned.
class EventSink : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_EVENTS_INTERFACE)
public:
    explicit EventSink(TavrinXProxy *proxy);
    ~EventSink() override;

    QString path() const { return mPath; }

public slots:
    void ScanCompleted();
    void OnError(int ErrorCode, const QString &sErrorString);
    void ScanStarted();

private:
    template <typename Raise> void deliver(Raise raise);

    TavrinXProxy *mProxy;
    QString mPath;
};

} // namespace TavrinEXE
