#include "LineRules.h"

#include "Characters.h"
#include "PlatformError.h"

#include <limits>

namespace {
Tavrin::PlatformError overflow() {
    return {6, QStringLiteral("Overflow")};
}
} // namespace

LineRules::LineRules(Settings settings) : mSettings(std::move(settings)) {
    const QString &sFind = mSettings.sFind;
    QStringList prefilter{sFind};
    if (mSettings.regularExpression) {
        // A pattern that stands for itself is searched as a plain string when no word rule
        // needs the pattern's own; any other is looked for by the runs of text one of which
        // every match holds (every line when there are none), and matched on the lines that
        // hold one.
        const bool literal = RegexMatcher::isPlainLiteral(sFind);
        if (!literal || mSettings.wholeWord) {
            QString error; // the engine refuses settings that do not compile
            mRegex = RegexMatcher::compile(sFind, mSettings.caseSensitive, mSettings.wholeWord,
                                           &error);
            if (!mRegex)
                throw Tavrin::PlatformError(Tavrin::PlatformError::InvalidProcedureCall, error);
        }
        if (!literal)
            prefilter = RegexMatcher::requiredLiterals(sFind);
    }
    mSearcher.emplace(prefilter, mSettings.caseSensitive);
}

qint32 LineRules::MatchLine(const QString &line, MatchPause *pause) const {
    if (mRegex) {
        const qint64 lColumn = mRegex->match(line, pause);
        if (lColumn > std::numeric_limits<qint32>::max())
            throw overflow();
        return qint32(lColumn);
    }
    const QString &sFind = mSettings.sFind;
    const Qt::CaseSensitivity cs = mSettings.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // As the runtime's substring search: an empty string is found at the start of a non-empty
    // text.
    qsizetype at = sFind.isEmpty() ? (line.isEmpty() ? -1 : 0) : line.indexOf(sFind, 0, cs);
    // With whole word, the first occurrence that stands alone.
    while (at >= 0 && mSettings.wholeWord && !standsAlone(line, at, sFind.size()))
        at = sFind.isEmpty() ? -1 : line.indexOf(sFind, at + 1, cs);
    if (at < 0)
        return 0;

    const qint64 lPosition = characterCount(line, at) + 1;
    if (lPosition > std::numeric_limits<qint32>::max())
        throw overflow();
    return static_cast<qint32>(lPosition);
}

bool LineRules::standsAlone(QStringView line, qsizetype at, qsizetype length) {
    const qsizetype after = at + length;
    return (at == 0 || IsDelimiter(line.at(at - 1).unicode())) &&
           (after >= line.size() || IsDelimiter(line.at(after).unicode()));
}

bool LineRules::IsDelimiter(qint32 code) {
    const bool word = (code >= 48 && code <= 57) || (code >= 65 && code <= 90) || code == 95 ||
                      (code >= 97 && code <= 122);
    return !word;
}
