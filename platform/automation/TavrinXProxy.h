#pragma once

// CONTRACT between the client proxies and their users (the control, the settings unit, the
// console sample): the public interface below is fixed. Private members are the proxy's own.

#include "TavrinEXERuntime.h"

#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <deque>
#include <memory>

namespace TavrinEXE {

class CollectionProxy;

// A client's reference to one engine object of sorvik, reached over the session bus.
// Every call is synchronous: it waits for the answer while the caller's event loop keeps
// serving incoming events and calls; no call timeout. Failed calls, type mismatches and a
// server that has gone throw PlatformError.
class TavrinXProxy : public QObject {
    Q_OBJECT
public:
    // Asks the class factory for a new engine object (starting sorvik when needed) and
    // advises a sink for its events. Throws PlatformError.
    explicit TavrinXProxy(QObject *parent = nullptr);
    // Unadvises and releases the engine reference; never throws.
    ~TavrinXProxy() override;

    QString objectPath() const;

    void Grep();
    void Abort();

    QString SearchPath() const;
    void setSearchPath(const QString &vNewValue);
    QString SearchExt() const;
    void setSearchExt(const QString &vNewValue);
    QString SearchString() const;
    void setSearchString(const QString &vNewValue);
    VBool CaseSensitive() const;
    void setCaseSensitive(VBool vNewValue);
    QVariant WholeWordOnly() const;
    void setWholeWordOnly(const QVariant &vNewValue);
    QVariant LookInSubfolders() const;
    void setLookInSubfolders(const QVariant &vNewValue);
    qint32 SearchCount() const;
    qint32 SearchTime() const;
    VBool SearchActive() const;

    std::shared_ptr<CollectionProxy> FoundFiles() const;
    std::shared_ptr<CollectionProxy> FoundLines() const;
    std::shared_ptr<CollectionProxy> FoundColumns() const;
    std::shared_ptr<CollectionProxy> FoundText() const;
    std::shared_ptr<CollectionProxy> ResultsFound() const;

    QString ExcludeFolders() const;
    void setExcludeFolders(const QString &vNewValue);
    VBool SkipBinaryFiles() const;
    void setSkipBinaryFiles(VBool vNewValue);
    VBool UseRegularExpression() const;
    void setUseRegularExpression(VBool vNewValue);
    qint32 FilesSearched() const;
    QString CurrentFolder() const;

signals:
    // Raised while the engine waits for the handler; a handler may call back into the engine.
    void ScanCompleted();
    void OnError(qint32 &ErrorCode, QString &sErrorString);
    void ScanStarted();

private:
    QVariant readProperty(const QString &name) const;
    void writeProperty(const QString &name, const QVariant &value);
    // A tagged-value property: the value travels as a variant; one D-Bus cannot carry fails
    // here as a type mismatch.
    void writeVariantProperty(const QString &name, const QVariant &value);
    void invoke(const QString &method) const;
    std::shared_ptr<CollectionProxy> collection(const QString &name) const;

    QString mServer; // unique bus name of the sorvik process serving this object
    QString mPath;
    QObject *mSink = nullptr; // receives the engine's events
    uint mCookie = 0;
};

// A client's reference to one result collection of the server. Items never change once
// appended, so they are read ahead in batches and the batch being walked is cached; Count asks
// the server each time.
class CollectionProxy {
public:
    ~CollectionProxy(); // releases the server reference; never throws

    qint32 Count() const;
    QVariant Item(qint32 index) const; // 1-based; out of range throws PlatformError
    QString objectPath() const;

private:
    friend class TavrinXProxy;
    CollectionProxy(const QString &server, const QString &path);
    // Reads items from the end of the cached run on, at least up to index.
    void readAhead(qint32 index) const;
    QDBusPendingCall requestItems(qint32 first, qint32 count) const;

    QString mServer;
    QString mPath;
    // The batch last read, from index mFirst on; items never change. A client that reads far
    // from it (a poller taking up where it left off) starts a new run there.
    mutable QVector<QVariant> mItems;
    mutable qint32 mFirst = 1;
    mutable qint32 mBatch = 1024; // kFirstBatch
    // While a client walks the list, the next two batches are asked for before the last one is
    // unpacked, so the server builds one while the bus carries the other.
    struct Ahead {
        qint32 first;
        qint32 count;
        QDBusPendingCall call;
    };
    mutable std::deque<Ahead> mAhead;
};

} // namespace TavrinEXE
