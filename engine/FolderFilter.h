#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

class MatchPause;

// The folders a scan leaves out: a ";"-separated list of folder names or shell globs
// (".git;node_modules;build*"), each matched against a folder's own name as raw bytes
// (fnmatch). Blanks around an entry and empty entries are ignored. Made once per list: plain
// names are looked up in a hash set, and only the entries with wildcards are tried one by one.
class FolderFilter {
public:
    FolderFilter() = default;
    // The filter for list, or none when an entry cannot name a folder (it holds "/"); error then
    // says which.
    static std::optional<FolderFilter> parse(const QString &list, QString *error = nullptr);

    bool isEmpty() const { return mNames.isEmpty() && mGlobs.empty(); }
    // Whether the folder name is left out. A long list of globs takes its turns through pause;
    // when the turn asks to stop, the answer is true: the walk is stopping anyway.
    bool excludes(const QByteArray &name, MatchPause *pause = nullptr) const;

private:
    QSet<QByteArray> mNames;        // entries without wildcards
    std::vector<QByteArray> mGlobs; // the others, each once
};
