#pragma once

// CONTRACT between the engine and its D-Bus server: the public interface below is fixed (the
// members of _TavrinX in slot order). Private members and the .cpp are the engine's own.

#include "Boolean.h"
#include "Collection.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

namespace TavrinEXE {

// The search object: set the search properties, call Grep, learn the outcome through the
// events and the five result collections.
class TavrinX : public QObject, public std::enable_shared_from_this<TavrinX> {
    Q_OBJECT
public:
    using CollectionRef = std::shared_ptr<Collection>;

    // Creates an engine object in its creation order. Throws PlatformError when the
    // file-system object cannot be made.
    static std::shared_ptr<TavrinX> create();
    ~TavrinX() override;

    CollectionRef mclnFileNames() const;
    void setMclnFileNames(CollectionRef vNewValue);
    CollectionRef mclnLines() const;
    void setMclnLines(CollectionRef vNewValue);
    CollectionRef mclnColumns() const;
    void setMclnColumns(CollectionRef vNewValue);
    CollectionRef mclnItemsFound() const;
    void setMclnItemsFound(CollectionRef vNewValue);
    CollectionRef mclnResults() const;
    void setMclnResults(CollectionRef vNewValue);

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
    QVariant WholeWordOnly() const;                   // a tagged value of Boolean type
    void setWholeWordOnly(const QVariant &vNewValue); // throws PlatformError (type mismatch)
    QVariant LookInSubfolders() const;
    void setLookInSubfolders(const QVariant &vNewValue);
    qint32 SearchCount() const;
    qint32 SearchTime() const;
    VBool SearchActive() const;
    CollectionRef FoundFiles() const;
    CollectionRef FoundLines() const;
    CollectionRef FoundColumns() const;
    CollectionRef FoundText() const;
    CollectionRef ResultsFound() const;

signals:
    // Delivered synchronously (direct connections): a handler runs before the engine goes on
    // and may call back into the engine.
    void ScanCompleted();
    void OnError(qint32 &ErrorCode, QString &sErrorString);
    void ScanStarted();

private:
    TavrinX();
};

} // namespace TavrinEXE
