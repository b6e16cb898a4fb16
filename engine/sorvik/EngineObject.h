#pragma once

#include "TavrinXAdaptor.h"

#include <QList>
#include <climits>
#include <memory>

namespace TavrinEXE {

// One engine object served as TavrinEXE._TavrinX. The engine's members are relayed by
// TavrinXAdaptor, generated from the interface file; this class hands out collection paths,
// keeps the advised sinks and raises the engine's events on them.
// Lives on its own EngineThread with its engine: the calls on it, the scan, its yields and its
// event calls all run there, so a slow or stuck sink holds up this engine only.
class EngineObject : public TavrinXAdaptor {
    Q_OBJECT
public:
    static constexpr int kMostSinks = 64; // advised at once; more is surely a leak
    // How long an event waits for a sink's handler, in ms: as long as the handler likes, well
    // past the bus's default reply time of 25 s. This engine's calls are served meanwhile.
    static constexpr int kHandlerReplyTimeout = INT_MAX;

    EngineObject(ObjectRegistry *registry, std::shared_ptr<TavrinX> engine);
    ~EngineObject() override;

public slots:
    uint Advise(const QDBusObjectPath &sink);
    void Unadvise(uint cookie);

public:
    // The path is gone: no more events, the scan (if any) stops, and then the thread ends.
    void retire();
    // The client has left the bus: its sinks hear no more events.
    void dropSinksOf(const QString &client);

protected:
    QDBusObjectPath handOut(CollectionGetter getter) const override;
    void assign(CollectionSetter setter, const QDBusObjectPath &vNewValue) override;
    void assignVariant(VariantSetter setter, const QDBusVariant &vNewValue) override;
    // Calls event on every advised sink in order of advice, waiting for each handler.
    void raise(const QString &event, const QVariantList &arguments) override;

private:
    struct Sink {
        uint cookie;
        QString client;
        QString path;
    };

    QList<Sink> mSinks;
    uint mNextCookie = 1;
    bool mRetired = false;
};

} // namespace TavrinEXE
