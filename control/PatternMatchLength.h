#pragma once

#include <QRegularExpression>
#include <QString>

// How long a regular expression's match is at a finding's column, for the grid's highlight: the
// engine tells only where the first match on a line starts. The pattern is read as the engine
// reads it (PCRE2 with Unicode properties; whole word means no ASCII word character around it).
class PatternMatchLength {
public:
    PatternMatchLength(const QString &pattern, bool caseSensitive, bool wholeWord);

    // Characters (code points) of the match that starts at position (first character 1) of
    // line; 0 when none starts there.
    int operator()(const QString &line, int position) const;

private:
    QRegularExpression mPattern;
};
