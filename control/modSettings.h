#pragma once

// The control's settings file: its options, column widths and three lists of recently used
// values, kept as an INI file in the per-user settings folder.

#include "Boolean.h"
#include "KeyedCollection.h"

#include <QString>
#include <QVariant>

// Every profile read asks for this many characters, so a value has at most one less.
constexpr int SettingsBufferSize = 500;
// Stands for a missing list key; never stored as a value.
inline const QString RecentListSentinel = QStringLiteral("+-!#");
// Keys name1..name20 of a list section; the newest entry is under 20.
constexpr int RecentListKeys = 20;

inline const QString GeneralSection = QStringLiteral("General");
inline const QString SearchPathSection = QStringLiteral("SearchPath");
inline const QString FileExtSection = QStringLiteral("FileExt");
inline const QString SearchForSection = QStringLiteral("SearchFor");

// Keys of section "General" for the options beyond the classic search. A file without them
// loads with the defaults (empty, FALSE, FALSE), which are never sent to the engine.
inline const QString ExcludeFoldersKey = QStringLiteral("ExcludeFolders");
inline const QString SkipBinaryFilesKey = QStringLiteral("SkipBinaryFiles");
inline const QString UseRegularExpressionKey = QStringLiteral("UseRegularExpression");

// Default widths of the grid columns 0..3, twips.
constexpr qint32 DefaultColWidth[4] = {2150, 630, 450, 1750};
// The widest column a settings file may give, twips (1000 inches): the grid refuses negative
// widths, and far larger ones overflow on their way to pixels.
constexpr qint32 MaxColWidth = 1440000;

// --- The settings-file path: one value per host thread, shared by its control instances.

QString SettingsFilePath();
void setSettingsFilePath(const QString &path);
// The file "Tavrin.INI" in the settings folder.
QString DefaultSettingsFile();
// The file named after a control instance, "<Name>.INI", in the settings folder. Path
// separators in the name become "_", so a name cannot reach outside that folder.
QString InstanceSettingsFile(const QString &instanceName);

// --- Helpers

// The characters before the first NUL, or the whole text when it holds none.
QString TrimAtNull(const QString &text);
// Reads key of section "General" from the thread's settings file.
QString ReadGeneralSetting(const QString &key, const QString &def);
// Writes key of section "General" with value as it stands.
void WriteGeneralSetting(const QString &key, const QString &value);
// A flag is false only for the exact text "FALSE"; anything else is true.
bool FlagFromText(const QString &value);
// Writes key of section "General" as "TRUE" or "FALSE".
void WriteFlagSetting(const QString &key, bool value);
// The width of grid column 0..3; a value that is not a whole number from 0 to MaxColWidth
// gives the default width.
qint32 ReadColumnWidth(int column);
// Writes "Col1Width".."Col4Width" from widths[0..3] as decimal text.
template <class Widths> void SaveColumnWidths(const Widths &widths);
void WriteColumnWidth(int column, qint32 twips);

// --- Recent-value lists

// Makes value the newest entry of list: an empty value changes nothing; an entry equal to it
// without regard to case is replaced by it, at the newest position.
void AddRecentValue(KeyedCollection &list, const QString &value);
// Writes the list's 20 newest entries to keys name(21 - n)..name20 of section name. Keys below
// the lowest one written keep what they held.
void SaveRecentList(const QString &name, const KeyedCollection &list);
// Empties list and fills it from keys name1..name20 of section name, oldest first; missing
// keys, the sentinel, empty values and duplicates drop out.
void LoadRecentList(const QString &name, KeyedCollection &list);

// Reads the whole settings file into the control's members and its engine, in this order:
// column widths, the engine's CaseSensitive, WholeWordOnly and LookInSubfolders, its
// ExcludeFolders, SkipBinaryFiles and UseRegularExpression (each only when the file gives another
// value than the engine's default, so a file without them loads as before), the StreamFindings
// flag, then the lists "SearchPath", "FileExt" and "SearchFor". mbUseRegularExpression receives
// the regular-expression flag sent (or not) to the engine. Engine calls may throw; they reach
// the caller. Engine is TavrinXProxy or any type with its six option setters.
template <class Engine, class Widths>
void LoadSettings(Engine &engine, Widths &mlColWidth, Tavrin::VBool &mbStreamFindings,
                  Tavrin::VBool &mbUseRegularExpression, KeyedCollection &mclnSearchPath,
                  KeyedCollection &mclnFileExt, KeyedCollection &mclnSearchFor) {
    for (int i = 0; i < 4; ++i)
        mlColWidth[i] = ReadColumnWidth(i);
    const auto flag = [](const QString &key, const QString &def) {
        return Tavrin::toVBool(FlagFromText(ReadGeneralSetting(key, def)));
    };
    engine.setCaseSensitive(flag(QStringLiteral("CaseSensitive"), QStringLiteral("FALSE")));
    engine.setWholeWordOnly(
        Tavrin::vboolVariant(flag(QStringLiteral("WholeWordOnly"), QStringLiteral("FALSE"))));
    engine.setLookInSubfolders(
        Tavrin::vboolVariant(flag(QStringLiteral("LookInSubfolders"), QStringLiteral("FALSE"))));
    if (const QString exclude = ReadGeneralSetting(ExcludeFoldersKey, QString());
        !exclude.isEmpty())
        engine.setExcludeFolders(exclude);
    if (flag(SkipBinaryFilesKey, QStringLiteral("FALSE")) == Tavrin::vbTrue)
        engine.setSkipBinaryFiles(Tavrin::vbTrue);
    mbUseRegularExpression = flag(UseRegularExpressionKey, QStringLiteral("FALSE"));
    if (mbUseRegularExpression == Tavrin::vbTrue)
        engine.setUseRegularExpression(Tavrin::vbTrue);
    mbStreamFindings = flag(QStringLiteral("StreamFindings"), QStringLiteral("TRUE"));
    LoadRecentList(SearchPathSection, mclnSearchPath);
    LoadRecentList(FileExtSection, mclnFileExt);
    LoadRecentList(SearchForSection, mclnSearchFor);
}

template <class Widths> void SaveColumnWidths(const Widths &widths) {
    for (int i = 0; i < 4; ++i)
        WriteColumnWidth(i, widths[i]);
}
