#pragma once

#include "tavrinx_export.h"

#include "Boolean.h"
#include "UserControl.h"

#include <memory>

#include <QString>
#include <QVariant>

namespace Tavrin {
class TavrinXPrivate;
}

// The find-in-files control: owns one engine object of sorvik, shows its findings in a results
// grid above a five-panel status bar, keeps its options in a settings file.
class TAVRINX_EXPORT TavrinX : public Tavrin::UserControl {
    Q_OBJECT
    Q_CLASSINFO("GetDataMatrix",
                "This method allows read access to the data found from the TavrinX Grep() method.")
    Q_CLASSINFO("SaveDataToTabFile",
                "The data received by TavrinX may be saved to a tab delimited text file, as "
                "specified by the FileName parameter.  This file can then be easily viewed in a "
                "spreadsheet (i.e. Excel) or other application.")
    Q_CLASSINFO("ShowTavrinDialog",
                "Display a dialog box to facilitate setting the TavrinX properties.")
    Q_CLASSINFO("SearchPath", "Specifies what directory to begin the text search.")
    Q_CLASSINFO("SearchExt", "This specifies what file extension to use when searching for text.  "
                             "Wild cards are acceptable (i.e. *.*)")
    Q_CLASSINFO("SearchString", "Specifies what text to search for.  Set CaseSensitive to TRUE to "
                                "enforce case sensitivity.")
    Q_CLASSINFO("CaseSensitive",
                "When TRUE: Finds all occurrences with the exact combination of uppercase and "
                "lowercase letters specified in the SearchString property.  When FALSE: Finds all "
                "occurrences of the string specified in the SearchString property ignoring of the "
                "case of individ")
    Q_CLASSINFO("WholeWordOnly",
                "When set to TRUE: Searches for the full word by itself and not as part of a "
                "larger word.  When set to FALSE:  Searches for the SearchString regardless of "
                "it's neighboring text.")
    Q_CLASSINFO("LookInSubfolders", "Set this property to true to have the search extend to those "
                                    "directories under the specified SearchPath")
    Q_CLASSINFO("StreamFindings",
                "Set this property to FALSE to have all the search results when the search has "
                "been totally completed.  This can significantly increase the speed of the "
                "search.  When set to TRUE, the search engine sends, via the OnFileFound() event, "
                "each result as it is ")
    Q_CLASSINFO("SearchCount", "This read only property contains the current number of findings in "
                               "the active or last completed search.")
    Q_CLASSINFO("SearchTime", "This read only property returns the duration the last search took "
                              "in milliseconds.  The ScanCompleted() event signifies when this "
                              "parameter is valid.")
    Q_CLASSINFO("SearchActive",
                "While the search is active, this property will be TRUE.  If the user does not "
                "want to have the an active search interrupted, this method will be useful.  Users "
                "can use the ScanCompleted() event to determine when the current search is "
                "complete.")
    Q_CLASSINFO("ExcludeFolders",
                "A list of folder names to leave out of the search, separated by semicolons.  "
                "Wild cards are acceptable (i.e. .git;node_modules;build*).  A matching folder is "
                "not searched, nor are the folders under it.")
    Q_CLASSINFO("SkipBinaryFiles",
                "When TRUE: Files holding a NUL byte in their first 32 KB are taken as binary and "
                "skipped without notice.  When FALSE: Every file of the SearchExt types is "
                "searched.")
    Q_CLASSINFO("UseRegularExpression",
                "When TRUE: SearchString is a regular expression (PCRE2 syntax); CaseSensitive and "
                "WholeWordOnly still apply, and the column found is that of the first match.  "
                "When FALSE: SearchString is searched for as plain text.")
    Q_CLASSINFO("FilesSearched", "This read only property contains the number of files the active "
                                 "or last search has searched so far.")
    Q_CLASSINFO("CurrentFolder", "This read only property contains the folder the active search is "
                                 "looking in.  It is empty when no search is active.")
    Q_CLASSINFO("ReplaceWith",
                "The text Replace() puts in place of each occurrence on the lines of the last "
                "completed search's findings.  With a regular expression, $1 to $9, ${n} and "
                "${name} stand for its groups and $$ for a dollar.")
    Q_CLASSINFO("Replace",
                "Replaces, in the files of the last completed search's findings, every occurrence "
                "on the lines found with ReplaceWith, by the search's own rules.  A file changed "
                "since the search is left as it is and reported through OnError; the grid keeps "
                "the findings as found.")
    Q_CLASSINFO("UndoReplace",
                "Restores the lines the last Replace() changed, in every file where they are "
                "still as it left them.")
    Q_CLASSINFO("LinesReplaced", "This read only property contains the number of lines the last "
                                 "replace or undo changed.")
    Q_CLASSINFO("FilesReplaced", "This read only property contains the number of files the last "
                                 "replace or undo wrote.")
    Q_CLASSINFO("ReplaceCompleted",
                "At the end of a replace or an undo, after ScanCompleted, or alone when it was "
                "aborted, this event is fired with the numbers of lines and files it changed.")
    Q_CLASSINFO("DblClick", "Use this event to act on a users double clicking of the results list "
                            "box.")
    Q_CLASSINFO("OnFileFound",
                "If the StreamFindings property is set to FALSE, all the files found during the "
                "search are transmitted to the client application at the end of the search "
                "through this event.  If the StreamFindings property is set to TRUE, all findings "
                "are transmitted upon")
    Q_CLASSINFO("ScanCompleted",
                "At the end of the search, this event is fired.  This event can be "
                "useful for hiding an abort button for example")
    Q_CLASSINFO("ScanStarted", "This event is fired at the beginning of the search.  It can be "
                               "useful to display abort buttons for example")
    Q_CLASSINFO("OnError", "If an error occurs, you can trap it in this event.  For example if a "
                           "file ")
    Q_CLASSINFO("ShowAboutBox.DispId", "-552")
    Q_CLASSINFO("DblClick.DispId", "-601")
    Q_CLASSINFO("PropertyPages", "ppgGeneral;ppgAbout")
    Q_PROPERTY(QString SearchPath READ SearchPath WRITE setSearchPath)
    Q_PROPERTY(QString SearchExt READ SearchExt WRITE setSearchExt)
    Q_PROPERTY(QString SearchString READ SearchString WRITE setSearchString)
    Q_PROPERTY(qint16 CaseSensitive READ CaseSensitive WRITE setCaseSensitive)
    Q_PROPERTY(QVariant WholeWordOnly READ WholeWordOnly WRITE setWholeWordOnly)
    Q_PROPERTY(QVariant LookInSubfolders READ LookInSubfolders WRITE setLookInSubfolders)
    Q_PROPERTY(qint16 StreamFindings READ StreamFindings WRITE setStreamFindings)
    Q_PROPERTY(qint32 SearchCount READ SearchCount)
    Q_PROPERTY(qint32 SearchTime READ SearchTime)
    Q_PROPERTY(qint16 SearchActive READ SearchActive)
    Q_PROPERTY(QString ExcludeFolders READ ExcludeFolders WRITE setExcludeFolders)
    Q_PROPERTY(qint16 SkipBinaryFiles READ SkipBinaryFiles WRITE setSkipBinaryFiles)
    Q_PROPERTY(qint16 UseRegularExpression READ UseRegularExpression WRITE setUseRegularExpression)
    Q_PROPERTY(qint32 FilesSearched READ FilesSearched)
    Q_PROPERTY(QString CurrentFolder READ CurrentFolder)
    Q_PROPERTY(QString ReplaceWith READ ReplaceWith WRITE setReplaceWith)
    Q_PROPERTY(qint32 LinesReplaced READ LinesReplaced)
    Q_PROPERTY(qint32 FilesReplaced READ FilesReplaced)
public:
    explicit TavrinX(QWidget *parent = nullptr);
    ~TavrinX() override;

    Q_INVOKABLE void InitializeTavrin();
    Q_INVOKABLE QString GetDataMatrix(qint32 &row, qint32 &column);
    Q_INVOKABLE Tavrin::VBool SaveDataToTabFile(QString &FileName);
    Q_INVOKABLE QVariant Grep();
    Q_INVOKABLE QVariant Abort();
    Q_INVOKABLE Tavrin::VBool ShowTavrinDialog();

    QString SearchPath() const;
    void setSearchPath(const QString &vNewValue);
    QString SearchExt() const;
    void setSearchExt(const QString &vNewValue);
    QString SearchString() const;
    void setSearchString(const QString &vNewValue);
    Tavrin::VBool CaseSensitive() const;
    void setCaseSensitive(Tavrin::VBool vNewValue);
    QVariant WholeWordOnly() const;
    void setWholeWordOnly(const QVariant &vNewValue);
    QVariant LookInSubfolders() const;
    void setLookInSubfolders(const QVariant &vNewValue);
    Tavrin::VBool StreamFindings() const;
    void setStreamFindings(Tavrin::VBool vNewValue);
    qint32 SearchCount() const;
    qint32 SearchTime() const;
    Tavrin::VBool SearchActive() const;

    // Options beyond the classic search; at their defaults the search is as without them. An
    // option is written to the settings file only by its setter, and the settings load sends it
    // to the engine only when the file holds another value than the default.
    QString ExcludeFolders() const;
    void setExcludeFolders(const QString &vNewValue);
    Tavrin::VBool SkipBinaryFiles() const;
    void setSkipBinaryFiles(Tavrin::VBool vNewValue);
    Tavrin::VBool UseRegularExpression() const;
    void setUseRegularExpression(Tavrin::VBool vNewValue);
    // How far the running (or last) scan has come, read from the engine at each call.
    qint32 FilesSearched() const;
    QString CurrentFolder() const;

    // Replace in the files of the last completed search's findings, and its undo; each runs as
    // a search does, between ScanStarted and ReplaceCompleted. ReplaceWith is not kept in the
    // settings file.
    QString ReplaceWith() const;
    void setReplaceWith(const QString &vNewValue);
    Q_INVOKABLE QVariant Replace();
    Q_INVOKABLE QVariant UndoReplace();
    qint32 LinesReplaced() const;
    qint32 FilesReplaced() const;

    Q_INVOKABLE void ShowAboutBox();

Q_SIGNALS:
    void DblClick(QString &sFileName, qint32 &lLine, qint32 &lColumn, QString &sFound);
    void OnFileFound(qint32 &FileIndex, QString &sFileName, qint32 &lLine, qint32 &lColumn,
                     QString &sFound);
    void ScanCompleted();
    void ScanStarted();
    void OnError(qint32 &ErrorCode, QString &sErrorString);
    void ReplaceCompleted(qint32 &lLinesReplaced, qint32 &lFilesReplaced);

protected:
    void Initialize() override;
    void ReadProperties() override;
    void WriteProperties() override;
    void Resize() override;
    void Terminate() override;

private:
    // Raises OnError with copies of the code and message.
    void raiseError(qint32 code, const QString &message);

    // The engine, the grid, the status bar, the relay and the recent lists, behind a private
    // class so that the layout of this class stays stable across releases.
    const std::unique_ptr<Tavrin::TavrinXPrivate> d;
};
