#include "modSettings.h"

#include "PrivateProfile.h"
#include "SettingsFolder.h"

namespace {

thread_local QString tSettingsFilePath;

QString settingsFolder() {
    return TrimAtNull(SettingsFolder::path());
}

QString readSetting(const QString &section, const QString &key, const QString &def) {
    return TrimAtNull(
        GetPrivateProfileStringA(section, key, def, SettingsBufferSize, tSettingsFilePath));
}

void writeSetting(const QString &section, const QString &key, const QString &value) {
    // A write the system cannot perform is lost without notice; the next load shows the old value.
    WritePrivateProfileStringA(section, key, value, tSettingsFilePath);
}

QString columnKey(int column) {
    return QStringLiteral("Col%1Width").arg(column + 1);
}

} // namespace

QString SettingsFilePath() {
    return tSettingsFilePath;
}

void setSettingsFilePath(const QString &path) {
    tSettingsFilePath = path;
}

QString DefaultSettingsFile() {
    return settingsFolder() + QLatin1Char('/') + QStringLiteral("Tavrin") + QStringLiteral(".INI");
}

QString InstanceSettingsFile(const QString &instanceName) {
    QString name = instanceName;
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return settingsFolder() + QLatin1Char('/') + name + QStringLiteral(".INI");
}

QString TrimAtNull(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString ReadGeneralSetting(const QString &key, const QString &def) {
    return readSetting(GeneralSection, key, def);
}

void WriteGeneralSetting(const QString &key, const QString &value) {
    writeSetting(GeneralSection, key, value);
}

bool FlagFromText(const QString &value) {
    return value != QLatin1String("FALSE");
}

void WriteFlagSetting(const QString &key, bool value) {
    writeSetting(GeneralSection, key, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

qint32 ReadColumnWidth(int column) {
    const qint32 def = DefaultColWidth[column];
    bool ok = false;
    const qint32 width = ReadGeneralSetting(columnKey(column), QString::number(def)).toInt(&ok);
    return ok && width >= 0 && width <= MaxColWidth ? width : def;
}

void WriteColumnWidth(int column, qint32 twips) {
    writeSetting(GeneralSection, columnKey(column), QString::number(twips));
}

void AddRecentValue(KeyedCollection &list, const QString &value) {
    if (value.isEmpty())
        return;
    if (list.Contains(value))
        list.Remove(value);
    list.Add(value, value);
}

void SaveRecentList(const QString &name, const KeyedCollection &list) {
    for (qint32 n = list.Count(), k = RecentListKeys; n >= 1 && k >= 1; --n, --k)
        writeSetting(name, name + QString::number(k), list.Item(n));
}

void LoadRecentList(const QString &name, KeyedCollection &list) {
    list.Clear();
    for (int k = 1; k <= RecentListKeys; ++k) {
        const QString value = readSetting(name, name + QString::number(k), RecentListSentinel);
        if (value != RecentListSentinel)
            AddRecentValue(list, value);
    }
}
