#include "LineReplacer.h"

#include "Characters.h"
#include "RegexMatcher.h"

LineReplacer::LineReplacer(const LineRules::Settings &settings) : mRules(settings) {}

std::unique_ptr<LineReplacer> LineReplacer::make(const LineRules::Settings &settings,
                                                 const QString &sReplaceWith, QString *error) {
    if (sReplaceWith.contains(u'\n') || sReplaceWith.contains(u'\r')) {
        *error = QStringLiteral("a line end cannot be put into a line");
        return nullptr;
    }
    std::unique_ptr<LineReplacer> replacer(new LineReplacer(settings));
    if (!replacer->parse(sReplaceWith, error))
        return nullptr;
    return replacer;
}

bool LineReplacer::parse(const QString &s, QString *error) {
    const RegexMatcher *regex = mRules.regex();
    if (!mRules.settings().regularExpression) {
        mParts.push_back({s});
        return true;
    }
    // A pattern that stands for itself has no groups but the whole match.
    const int groups = regex ? regex->groupCount() : 0;
    QString literal;
    const auto group = [&](int n) {
        mParts.push_back({literal});
        mParts.push_back({QString(), n});
        literal.clear();
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) != u'$') {
            literal += s.at(i);
            continue;
        }
        const qint64 column = characterCount(s, i) + 1;
        const QChar next = i + 1 < s.size() ? s.at(i + 1) : QChar();
        if (next == u'$') {
            literal += u'$';
            ++i;
        } else if (next.isDigit() && next.unicode() < 0x80) {
            const int n = next.unicode() - u'0';
            if (n > groups) {
                *error = QStringLiteral("the pattern has no group %1 (\"$%1\" at character %2)")
                             .arg(n)
                             .arg(column);
                return false;
            }
            group(n);
            ++i;
        } else if (next == u'{') {
            const qsizetype close = s.indexOf(u'}', i + 2);
            if (close < 0) {
                *error = QStringLiteral("\"${\" at character %1 is not closed").arg(column);
                return false;
            }
            const QString name = s.mid(i + 2, close - i - 2);
            bool number = false;
            int n = name.toInt(&number);
            if (!number || name.startsWith(u'+') || name.startsWith(u'-'))
                n = regex && !name.isEmpty() ? regex->groupNumber(name) : -1;
            else if (n > groups)
                n = -1;
            if (n < 0) {
                *error = QStringLiteral("the pattern has no group \"%1\" (at character %2)")
                             .arg(name)
                             .arg(column);
                return false;
            }
            group(n);
            i = close;
        } else {
            *error = QStringLiteral("\"$\" at character %1 is not followed by a group number, "
                                    "{name} or $")
                         .arg(column);
            return false;
        }
    }
    mParts.push_back({literal});
    return true;
}

QString LineReplacer::replaced(const QString &line, MatchPause *pause) const {
    QString out;
    qsizetype copied = 0;
    bool any = false;
    // The text before the occurrence at [start, end), then the replacement for it.
    const auto replace = [&](qsizetype start, qsizetype end, const RegexMatcher::Groups *groups) {
        out += QStringView(line).mid(copied, start - copied);
        for (const Part &part : mParts) {
            out += part.text;
            if (part.group < 0)
                continue;
            const auto [from, to] = groups ? (*groups)[part.group] : std::pair{start, end};
            if (from >= 0)
                out += QStringView(line).mid(from, to - from);
        }
        copied = end;
        any = true;
    };
    const LineRules::Settings &settings = mRules.settings();
    if (const RegexMatcher *regex = mRules.regex()) {
        RegexMatcher::Groups groups;
        qsizetype from = 0;
        bool notEmpty = false; // after an empty match: not another one at the same place
        while (from <= line.size() && regex->matchAt(line, from, notEmpty, &groups, pause)) {
            const auto [start, end] = groups.front();
            if (end < start || start < copied)
                break; // a match that \K made end before it starts: the rest is left as it is
            replace(start, end, &groups);
            from = end;
            notEmpty = end == start;
        }
    } else if (!settings.sFind.isEmpty()) {
        // A plain string, or a pattern that stands for itself, found as the line's match finds
        // it.
        const QString &sFind = settings.sFind;
        const Qt::CaseSensitivity cs =
            settings.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (qsizetype at = line.indexOf(sFind, 0, cs); at >= 0;) {
            if (settings.wholeWord && !LineRules::standsAlone(line, at, sFind.size())) {
                at = line.indexOf(sFind, at + 1, cs);
                continue;
            }
            replace(at, at + sFind.size(), nullptr);
            at = line.indexOf(sFind, copied, cs);
        }
    }
    if (!any)
        return line;
    out += QStringView(line).mid(copied);
    return out;
}
