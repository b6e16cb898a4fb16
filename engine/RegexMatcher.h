#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <utility>
#include <vector>

class MatchPause;

// A PCRE2 pattern matched against one decoded line at a time, in the UTF-16 the line is held in,
// JIT-compiled where the machine allows it. Ignoring case folds as Unicode does; whole word
// means the characters around the match are delimiters, as for a plain string: the first match
// that stands alone counts. The work of a match is bounded, in backtracking steps and in
// characters stepped over (a lookahead that reads to the end of the line from every start takes
// no backtracking step): a line that needs more than the limits fails with PlatformError. Within
// them, a long match gives its thread a turn about every millisecond through a MatchPause, from
// inside the match.
class RegexMatcher {
public:
    // The pattern compiled for the options, or null with error saying what is wrong and where.
    static std::unique_ptr<RegexMatcher> compile(const QString &pattern, bool caseSensitive,
                                                 bool wholeWord, QString *error);
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher &) = delete;
    RegexMatcher &operator=(const RegexMatcher &) = delete;

    // The 1-based column in characters of the first match in line (with whole word, the first
    // that stands alone), 0 for none or when pause asks for the match to be abandoned. Throws
    // PlatformError when the line needs more work or memory than allowed.
    qint64 match(QStringView line, MatchPause *pause = nullptr) const;
    // Where a match and its groups lie in a line, in UTF-16 units: [0] the whole match, [n]
    // group n, {-1, -1} for a group that took no part.
    using Groups = std::vector<std::pair<qsizetype, qsizetype>>;
    // The first match at or after the unit from (an empty one at from not counted when
    // notEmptyAtFrom) that match() would accept, with its groups; false when there is none or
    // pause abandons it. The text before from is seen by lookbehinds. Throws as match does.
    bool matchAt(QStringView line, qsizetype from, bool notEmptyAtFrom, Groups *groups,
                 MatchPause *pause = nullptr) const;
    int groupCount() const;
    // The number of the group of that name, -1 when the pattern has none.
    int groupNumber(const QString &name) const;

    // False when the line, given as the UTF-8 bytes it is read as, surely holds no match: the
    // line need not be decoded. True when it may (match tells), or when pause abandons it.
    // Throws PlatformError as match does.
    bool mayMatch(const char *utf8, qsizetype size, MatchPause *pause = nullptr) const;

    // A pattern of ASCII characters none of which is special: it stands for itself, so the
    // plain string search gives the same lines and columns.
    static bool isPlainLiteral(const QString &pattern);
    // Plain strings one of which every match must hold, to look for first: for each
    // alternative the longest run of ASCII characters it must hold, or the alternatives of a
    // group it must match; empty when an alternative has none. Conservative: inline options,
    // escapes it does not know or too many alternatives give none.
    static QStringList requiredLiterals(const QString &pattern);

private:
    struct Compiled;
    explicit RegexMatcher(std::unique_ptr<Compiled> compiled);

    std::unique_ptr<Compiled> d;
};
