#pragma once

#include "LineRules.h"

#include <QString>
#include <memory>
#include <vector>

class MatchPause;

// The replacement of every occurrence a search's rules accept in a line: the occurrences of the
// string (ignoring case or not; with whole word only those that stand alone), or the matches
// of the pattern, left to right, none overlapping. With a pattern the replacement text may
// name its groups: $0 to $9, ${n} or ${name}, and $$ for a dollar; a plain string's
// replacement is taken as it is.
class LineReplacer {
public:
    // The replacer for the rules and the replacement text, or null with error saying what is
    // wrong with the text: a line end in it, or a reference to a group the pattern lacks.
    // Throws PlatformError when the rules' pattern does not compile.
    static std::unique_ptr<LineReplacer> make(const LineRules::Settings &settings,
                                              const QString &sReplaceWith, QString *error);

    // line with its occurrences replaced. Throws PlatformError when a match of the pattern
    // needs more work than allowed; a long match takes its turns through pause.
    QString replaced(const QString &line, MatchPause *pause = nullptr) const;

private:
    struct Part {
        QString text;   // taken as it is
        int group = -1; // or this group's text, when 0 or more
    };

    explicit LineReplacer(const LineRules::Settings &settings);
    bool parse(const QString &sReplaceWith, QString *error);

    LineRules mRules;
    std::vector<Part> mParts;
};
