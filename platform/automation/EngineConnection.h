#pragma once

#include "TavrinEXERuntime.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

namespace TavrinEXE {

class CollectionProxy;
class EventSink;

// A client's reference to one engine object of sorvik: creates it through the class factory,
// advises the sink of its events, reads and writes its properties and calls its methods. The
// members themselves are TavrinXProxy's, generated from the interface file.
class EngineConnection : public QObject {
    Q_OBJECT
public:
    // Asks the class factory for a new engine object, starting sorvik when needed. Throws
    // PlatformError.
    explicit EngineConnection(QObject *parent);
    // Unadvises and releases the engine reference; never throws.
    ~EngineConnection() override;

    QString objectPath() const;

protected:
    // Advises sink for the object's events; throws PlatformError.
    void advise(EventSink *sink);
    QVariant readProperty(const QString &name) const;
    void writeProperty(const QString &name, const QVariant &value);
    // A tagged-value property: the value travels as a variant; one D-Bus cannot carry fails
    // here as a type mismatch.
    void writeVariantProperty(const QString &name, const QVariant &value);
    void invoke(const QString &method) const;
    std::shared_ptr<CollectionProxy> collection(const QString &name) const;

private:
    QString mServer; // unique bus name of the sorvik process serving this object
    QString mPath;
    uint mCookie = 0;
};

} // namespace TavrinEXE
