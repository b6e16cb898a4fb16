#pragma once

// CONTRACT between the engine and its D-Bus server: the public interface below is fixed (the
// members of _TavrinX in slot order). Private members and the .cpp are the engine's own.

#include "Collection.h"
#include "LineRules.h"
#include "ReplaceJournal.h"
#include "SearchRecord.h"
#include "TavrinEXERuntime.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <utility>

class QTimer;
class frmTimer;

namespace TavrinEXE {

class Replacement;

// The search object: set the search properties, call Grep, learn the outcome through the
// events and the five result collections.
class TavrinX : public QObject, public std::enable_shared_from_this<TavrinX> {
    Q_OBJECT
public:
    using CollectionRef = std::shared_ptr<Collection>;

    // Creates an engine object in its creation order.
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

    // Search options beyond the classic ones; at their defaults the scan is as without them.
    QString ExcludeFolders() const; // ";"-separated folder names or globs
    void setExcludeFolders(const QString &vNewValue);
    VBool SkipBinaryFiles() const; // a file whose first block holds a NUL
    void setSkipBinaryFiles(VBool vNewValue);
    VBool UseRegularExpression() const; // SearchString is a PCRE2 pattern
    void setUseRegularExpression(VBool vNewValue);
    qint32 FilesSearched() const;  // files of the scan taken so far
    QString CurrentFolder() const; // the folder being searched; empty when idle

    // Replace in the files of the last completed search's findings, and its undo.
    QString ReplaceWith() const; // with a pattern, $1..$9, ${name} name its groups, $$ a dollar
    void setReplaceWith(const QString &vNewValue);
    void Replace();
    void UndoReplace();
    qint32 LinesReplaced() const; // the last replace's or undo's outcome
    qint32 FilesReplaced() const;

signals:
    // Delivered synchronously (direct connections): a handler runs before the engine goes on
    // and may call back into the engine.
    void ScanCompleted();
    void OnError(qint32 &ErrorCode, QString &sErrorString);
    void ScanStarted();

private:
    friend class Scan;
    friend class FileSearch;
    friend class Replacement;

    TavrinX();
    void tmrGrep_Timer();
    void raiseError(qint32 lCode, const QString &sMessage);
    // The code and message Grep refuses the regular expression and exclusion options with; code
    // 0 when they can be searched with.
    std::pair<qint32, QString> optionsRefusal() const;
    // Writes a setting; while a search is armed or running, a write that would leave the options
    // unsearchable is undone and throws PlatformError.
    template <typename T> void writeChecked(T &member, const T &value);
    // The line rules' settings of now.
    LineRules::Settings lineSettings() const;
    // Arms the timer for a replace or an undo (replacement), after the checks common to both.
    void armReplacement(std::unique_ptr<Replacement> replacement);

    // All state belongs to the thread the engine was created on.
    std::unique_ptr<frmTimer> mfrmTimer;
    QTimer *mwtmrGrep = nullptr;
    QMetaObject::Connection mTickConnection;
    CollectionRef mclnFileNames_;
    CollectionRef mclnLines_;
    CollectionRef mclnColumns_;
    CollectionRef mclnItemsFound_;
    CollectionRef mclnResults_;
    VBool mbAbort = vbFalse;
    QString msSearchPath;
    QString msSearchExt;
    QString msSearchString;
    qint32 mlSearchCount = 0;
    VBool mbCaseSensitive = vbFalse;
    VBool mbWholeWordOnly = vbFalse;
    VBool mbLookInSubfolders = vbTrue;
    qint32 mlSearchTime = 0;
    QString msExcludeFolders;
    VBool mbSkipBinaryFiles = vbFalse;
    VBool mbUseRegularExpression = vbFalse;
    qint32 mlFilesSearched = 0;
    QByteArray mCurrentFolder;     // raw path of the folder being searched
    quint64 mlSettingsVersion = 0; // bumped by every write of a setting the line matching uses
    bool mbInTick = false;         // the tick runs; a tick due while the scan yields does nothing
    QString msReplaceWith;
    qint32 mlLinesReplaced = 0;
    qint32 mlFilesReplaced = 0;
    SearchRecord mSearchRecord;                // of the last scan
    ReplaceJournal mJournal;                   // of the last replace
    std::unique_ptr<Replacement> mReplacement; // the work of the next tick, when not a scan
};

} // namespace TavrinEXE
