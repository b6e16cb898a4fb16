#pragma once

#include "BlockSearcher.h"
#include "RegexMatcher.h"

#include <QString>
#include <memory>
#include <optional>

// The line rules of one set of search settings: the prefilter a block is searched with, the
// pattern when the string is a regular expression, and the match of a decoded line.
class LineRules {
public:
    struct Settings {
        QString sFind;
        bool caseSensitive = false;
        bool wholeWord = false;
        bool regularExpression = false;
    };

    // Throws PlatformError when the string is a pattern that does not compile.
    explicit LineRules(Settings settings);

    const Settings &settings() const { return mSettings; }
    BlockSearcher &searcher() { return *mSearcher; }
    const RegexMatcher *regex() const { return mRegex.get(); }
    // The 1-based column in characters of the first occurrence the rules accept (with whole
    // word, the first that stands alone), 0 for none. Throws PlatformError (overflow, a pattern
    // past its limits). A pattern's long match takes its turns through pause
    // (RegexMatcher::match).
    qint32 MatchLine(const QString &line, MatchPause *pause = nullptr) const;

    static bool IsDelimiter(qint32 code);
    // Whether line[at, at + length) is a whole word: delimiters, or the line's ends, around it.
    static bool standsAlone(QStringView line, qsizetype at, qsizetype length);

private:
    Settings mSettings;
    std::unique_ptr<RegexMatcher> mRegex; // matches the lines when the string is a pattern
    std::optional<BlockSearcher> mSearcher;
};
