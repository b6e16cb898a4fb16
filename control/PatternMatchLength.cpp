#include "PatternMatchLength.h"

namespace {
QRegularExpression compiled(const QString &pattern, bool caseSensitive, bool wholeWord) {
    // \E first: a \Q left open by the pattern must not quote the closing parenthesis.
    const QString text = wholeWord ? QStringLiteral("(?<![0-9A-Za-z_])(?:") + pattern +
                                         QStringLiteral("\\E)(?![0-9A-Za-z_])")
                                   : pattern;
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!caseSensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    return QRegularExpression(text, options);
}
} // namespace

PatternMatchLength::PatternMatchLength(const QString &pattern, bool caseSensitive, bool wholeWord)
    : mPattern(compiled(pattern, caseSensitive, wholeWord)) {}

int PatternMatchLength::operator()(const QString &line, int position) const {
    if (position < 1 || !mPattern.isValid())
        return 0;
    qsizetype offset = 0;
    for (int codePoint = 1; codePoint < position && offset < line.size(); ++codePoint)
        offset += line.at(offset).isHighSurrogate() && offset + 1 < line.size() &&
                          line.at(offset + 1).isLowSurrogate()
                      ? 2
                      : 1;
    if (offset >= line.size())
        return 0;
    const QRegularExpressionMatch match =
        mPattern.match(line, offset, QRegularExpression::NormalMatch,
                       QRegularExpression::AnchorAtOffsetMatchOption);
    return match.hasMatch() ? int(match.captured(0).toUcs4().size()) : 0;
}
