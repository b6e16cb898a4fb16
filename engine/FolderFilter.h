#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The folders a scan leaves out: a ";"-separated list of folder names or shell globs
// (".git;node_modules;build*"), each matched against a folder's own name as raw bytes
// (fnmatch). Blanks around an entry and empty entries are ignored.
class FolderFilter {
public:
    FolderFilter() = default;
    // The filter for list, or none when an entry cannot name a folder (it holds "/"); error then
    // says which.
    static std::optional<FolderFilter> parse(const QString &list, QString *error = nullptr);

    bool isEmpty() const { return mGlobs.empty(); }
    bool excludes(const QByteArray &name) const;

private:
    std::vector<QByteArray> mGlobs;
};
