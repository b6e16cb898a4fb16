#pragma once

#include "TavrinEXENames.h"

#include "Boolean.h"
#include "Collection.h"
#include "ServedObject.h"
#include "TavrinEXEIntrospection.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <memory>

namespace TavrinEXE {

class TavrinX;

// One engine object served as TavrinEXE._TavrinX: relays the properties and methods to the
// engine, hands out collection paths, and raises the engine's events on the advised sinks.
// Lives on its own EngineThread with its engine: the calls on it, the scan, its yields and its
// event calls all run there, so a slow or stuck sink holds up this engine only.
class EngineObject : public ServedObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_ENGINE_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", TAVRIN_INTROSPECTION_uTavrinX)
    Q_PROPERTY(QDBusObjectPath mclnFileNames READ mclnFileNames WRITE setMclnFileNames)
    Q_PROPERTY(QDBusObjectPath mclnLines READ mclnLines WRITE setMclnLines)
    Q_PROPERTY(QDBusObjectPath mclnColumns READ mclnColumns WRITE setMclnColumns)
    Q_PROPERTY(QDBusObjectPath mclnItemsFound READ mclnItemsFound WRITE setMclnItemsFound)
    Q_PROPERTY(QDBusObjectPath mclnResults READ mclnResults WRITE setMclnResults)
    Q_PROPERTY(QString SearchPath READ SearchPath WRITE setSearchPath)
    Q_PROPERTY(QString SearchExt READ SearchExt WRITE setSearchExt)
    Q_PROPERTY(QString SearchString READ SearchString WRITE setSearchString)
    Q_PROPERTY(short CaseSensitive READ CaseSensitive WRITE setCaseSensitive)
    Q_PROPERTY(QDBusVariant WholeWordOnly READ WholeWordOnly WRITE setWholeWordOnly)
    Q_PROPERTY(QDBusVariant LookInSubfolders READ LookInSubfolders WRITE setLookInSubfolders)
    Q_PROPERTY(int SearchCount READ SearchCount)
    Q_PROPERTY(int SearchTime READ SearchTime)
    Q_PROPERTY(short SearchActive READ SearchActive)
    Q_PROPERTY(QDBusObjectPath FoundFiles READ FoundFiles)
    Q_PROPERTY(QDBusObjectPath FoundLines READ FoundLines)
    Q_PROPERTY(QDBusObjectPath FoundColumns READ FoundColumns)
    Q_PROPERTY(QDBusObjectPath FoundText READ FoundText)
    Q_PROPERTY(QDBusObjectPath ResultsFound READ ResultsFound)
    Q_PROPERTY(QString ExcludeFolders READ ExcludeFolders WRITE setExcludeFolders)
    Q_PROPERTY(short SkipBinaryFiles READ SkipBinaryFiles WRITE setSkipBinaryFiles)
    Q_PROPERTY(short UseRegularExpression READ UseRegularExpression WRITE setUseRegularExpression)
    Q_PROPERTY(int FilesSearched READ FilesSearched)
    Q_PROPERTY(QString CurrentFolder READ CurrentFolder)
public:
    static constexpr int kMostSinks = 64; // advised at once; more is surely a leak

    EngineObject(ObjectRegistry *registry, const QString &path, std::shared_ptr<TavrinX> engine);
    ~EngineObject() override;

    QDBusObjectPath mclnFileNames() const;
    void setMclnFileNames(const QDBusObjectPath &vNewValue);
    QDBusObjectPath mclnLines() const;
    void setMclnLines(const QDBusObjectPath &vNewValue);
    QDBusObjectPath mclnColumns() const;
    void setMclnColumns(const QDBusObjectPath &vNewValue);
    QDBusObjectPath mclnItemsFound() const;
    void setMclnItemsFound(const QDBusObjectPath &vNewValue);
    QDBusObjectPath mclnResults() const;
    void setMclnResults(const QDBusObjectPath &vNewValue);
    QString SearchPath() const;
    void setSearchPath(const QString &vNewValue);
    QString SearchExt() const;
    void setSearchExt(const QString &vNewValue);
    QString SearchString() const;
    void setSearchString(const QString &vNewValue);
    short CaseSensitive() const;
    void setCaseSensitive(short vNewValue);
    QDBusVariant WholeWordOnly() const;
    void setWholeWordOnly(const QDBusVariant &vNewValue);
    QDBusVariant LookInSubfolders() const;
    void setLookInSubfolders(const QDBusVariant &vNewValue);
    int SearchCount() const;
    int SearchTime() const;
    short SearchActive() const;
    QDBusObjectPath FoundFiles() const;
    QDBusObjectPath FoundLines() const;
    QDBusObjectPath FoundColumns() const;
    QDBusObjectPath FoundText() const;
    QDBusObjectPath ResultsFound() const;
    QString ExcludeFolders() const;
    void setExcludeFolders(const QString &vNewValue);
    short SkipBinaryFiles() const;
    void setSkipBinaryFiles(short vNewValue);
    short UseRegularExpression() const;
    void setUseRegularExpression(short vNewValue);
    int FilesSearched() const;
    QString CurrentFolder() const;

public slots:
    void Grep();
    void Abort();
    uint Advise(const QDBusObjectPath &sink);
    void Unadvise(uint cookie);

public:
    // The path is gone: no more events, the scan (if any) stops, and then the thread ends.
    void retire();
    // The client has left the bus: its sinks hear no more events.
    void dropSinksOf(const QString &client);

private:
    struct Sink {
        uint cookie;
        QString client;
        QString path;
    };
    using CollectionGetter = std::shared_ptr<Collection> (TavrinX::*)() const;
    using CollectionSetter = void (TavrinX::*)(std::shared_ptr<Collection>);

    QDBusObjectPath handOut(CollectionGetter getter) const;
    void assign(CollectionSetter setter, const QDBusObjectPath &vNewValue);
    void assignVariant(void (TavrinX::*setter)(const QVariant &), const QDBusVariant &vNewValue);
    // Calls method on every advised sink in order of advice, waiting for each handler.
    void raise(const QString &method, const QVariantList &arguments);

    std::shared_ptr<TavrinX> mEngine;
    QList<Sink> mSinks;
    uint mNextCookie = 1;
    bool mRetired = false;
};

} // namespace TavrinEXE
