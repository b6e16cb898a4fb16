#include "RegexMatcher.h"

#include "Characters.h"
#include "LineRules.h"
#include "MatchPause.h"
#include "PlatformError.h"

#define PCRE2_CODE_UNIT_WIDTH 0 // both widths: UTF-16 for decoded lines, UTF-8 for raw ones
#include <pcre2.h>

#include <QByteArrayView>
#include <QStringList>
#include <algorithm>
#include <exception>
#include <limits>

namespace {
// A plain string's whole-word rule: the characters around it are not ASCII word characters.
const QString kWordBefore = QStringLiteral("(?<![0-9A-Za-z_])(?:");
// \E first: a \Q left open by the pattern must not quote the closing parenthesis.
const QString kWordAfter = QStringLiteral("\\E)(?![0-9A-Za-z_])");
// Patterns longer than this are refused; a longer one is not a search anybody types.
constexpr PCRE2_SIZE kLongestPattern = 64 * 1024;
// \C matches one code unit, which differs between the two widths; it is refused. A callout
// before every item of the pattern measures the work of a match as it goes.
constexpr uint32_t kOptions =
    PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF | PCRE2_NEVER_BACKSLASH_C | PCRE2_AUTO_CALLOUT;
// Backtracking allowed for one line: catastrophic patterns fail within milliseconds a line.
constexpr uint32_t kMatchLimit = 2'000'000;
// Work allowed for one line, in characters stepped over between callouts, each callout counted
// as kCalloutWork of them (it costs about as much): a second or less.
constexpr quint64 kWorkLimit = 4'000'000'000;
constexpr quint64 kCalloutWork = 40;
// Most lines are matched first without the callouts, which cost a lot where a match is cheap,
// when the pattern and the line let nothing go unmetered: no lookaround, back reference,
// recursion or verb, so that all the work past one sweep of the line per start is backtracking,
// which the JIT counts. A short line and a small step limit then keep such a match within about
// a millisecond; one that reaches the limit is matched again, metered.
constexpr qsizetype kQuickLine = 256; // code units
constexpr uint32_t kQuickLimit = 10'000;

// Whether the pattern holds nothing whose work the JIT does not count (conservative: any group
// other than a plain or option-setting one, any verb, back reference or quoting).
bool isStraight(const QString &p) {
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p.at(i);
        if (c == u'\\') {
            if (++i < p.size() && (p.at(i).isDigit() || QStringLiteral("gkQ").contains(p.at(i))))
                return false;
        } else if (c == u'(' && i + 1 < p.size() && (p.at(i + 1) == u'*' || p.at(i + 1) == u'?')) {
            if (p.at(i + 1) == u'*')
                return false;
            qsizetype j = i + 2;
            while (j < p.size() && QStringLiteral("imnsxJU^-").contains(p.at(j)))
                ++j;
            if (j >= p.size() || (p.at(j) != u':' && p.at(j) != u')'))
                return false;
        }
    }
    return true;
}
constexpr uint32_t kHeapLimitKiB = 64 * 1024;
constexpr PCRE2_SIZE kJitStackMost = 1024 * 1024;

PCRE2_SPTR16 units(QStringView text) {
    return reinterpret_cast<PCRE2_SPTR16>(text.utf16());
}

QString errorText(int code) {
    PCRE2_UCHAR16 buffer[256];
    const int n = pcre2_get_error_message_16(code, buffer, sizeof buffer / sizeof *buffer);
    return n < 0 ? QStringLiteral("error %1").arg(code)
                 : QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), n);
}

// One match call: the work done so far, and why it was given up.
struct MatchRun {
    MatchPause *pause = nullptr;
    PCRE2_SIZE at = 0; // the position of the last callout
    quint64 work = 0;
    bool abandoned = false;
    bool tooLong = false;
    std::exception_ptr failure; // of the turn, carried past PCRE2's frames

    void rethrow() const {
        if (failure)
            std::rethrow_exception(failure);
    }
};

// Between two callouts a match steps over at most the characters between their positions (an
// item such as a* or a back reference reads on, then the next callout is there).
template <typename Block> int countWork(Block *block, void *data) {
    auto &run = *static_cast<MatchRun *>(data);
    const PCRE2_SIZE at = block->current_position;
    const quint64 units = (at > run.at ? at - run.at : run.at - at) + kCalloutWork;
    run.at = at;
    run.work += units;
    if (run.work > kWorkLimit) {
        run.tooLong = true;
        return PCRE2_ERROR_CALLOUT;
    }
    try {
        if (run.pause && run.pause->addWork(units)) {
            run.abandoned = true;
            return PCRE2_ERROR_CALLOUT;
        }
    } catch (...) {
        run.failure = std::current_exception();
        run.abandoned = true;
        return PCRE2_ERROR_CALLOUT;
    }
    return 0;
}

Tavrin::PlatformError unmatchable(const QString &why) {
    return Tavrin::PlatformError(
        Tavrin::PlatformError::InvalidProcedureCall,
        QStringLiteral("The regular expression cannot be matched against a line of this file: %1")
            .arg(why));
}

Tavrin::PlatformError unmatchable(const MatchRun &run, int code) {
    return unmatchable(run.tooLong ? QStringLiteral("matching needs too much work")
                                   : errorText(code));
}

// One compiled pattern of one code unit width, with what matching it needs.
template <typename Code, typename Data, typename Context, typename Stack> struct Matcher {
    Code *code = nullptr;
    Data *data = nullptr;
    Context *context = nullptr;
    Stack *stack = nullptr;
};
} // namespace

struct RegexMatcher::Compiled {
    void makeQuick(const QString &full, uint32_t options);

    // The exact matcher, on decoded lines.
    Matcher<pcre2_code_16, pcre2_match_data_16, pcre2_match_context_16, pcre2_jit_stack_16> utf16;
    // The same pattern on the raw bytes of a line, to pass over lines without decoding them;
    // null when it could not be made.
    Matcher<pcre2_code_8, pcre2_match_data_8, pcre2_match_context_8, pcre2_jit_stack_8> utf8;
    bool jit8 = false; // utf8 is JIT-compiled: matched through the JIT's own entry, unchecked
    // The unmetered forms of both, JIT-compiled, with the quick step limit (kQuickLine); null
    // when the pattern is not straight. They share the others' match data and JIT stacks.
    pcre2_code_16 *quick16 = nullptr;
    pcre2_match_context_16 *quickContext16 = nullptr;
    pcre2_code_8 *quick8 = nullptr;
    pcre2_match_context_8 *quickContext8 = nullptr;
    bool wholeWord = false;
    // Match data with room for every group, made when groups are first asked for.
    mutable pcre2_match_data_16 *groups16 = nullptr;

    // The first match at or after from that the word rule accepts, its offsets in data; false
    // when there is none or the pause abandons it. Throws PlatformError past the limits.
    bool find(QStringView line, PCRE2_SIZE from, uint32_t options, pcre2_match_data_16 *data,
              MatchPause *pause) const;

    ~Compiled() {
        pcre2_match_data_free_16(groups16);
        pcre2_match_context_free_16(quickContext16);
        pcre2_code_free_16(quick16);
        pcre2_match_context_free_8(quickContext8);
        pcre2_code_free_8(quick8);
        pcre2_jit_stack_free_16(utf16.stack);
        pcre2_match_context_free_16(utf16.context);
        pcre2_match_data_free_16(utf16.data);
        pcre2_code_free_16(utf16.code);
        pcre2_jit_stack_free_8(utf8.stack);
        pcre2_match_context_free_8(utf8.context);
        pcre2_match_data_free_8(utf8.data);
        pcre2_code_free_8(utf8.code);
    }
};

void RegexMatcher::Compiled::makeQuick(const QString &full, uint32_t options) {
    int code = 0;
    PCRE2_SIZE offset = 0;
    quick16 =
        pcre2_compile_16(units(full), PCRE2_SIZE(full.size()), options, &code, &offset, nullptr);
    if (quick16 && pcre2_jit_compile_16(quick16, PCRE2_JIT_COMPLETE) == 0) {
        quickContext16 = pcre2_match_context_create_16(nullptr);
        if (!quickContext16)
            throw std::bad_alloc();
        pcre2_set_match_limit_16(quickContext16, kQuickLimit);
        pcre2_set_heap_limit_16(quickContext16, kHeapLimitKiB);
        pcre2_jit_stack_assign_16(quickContext16, nullptr, utf16.stack);
    } else {
        pcre2_code_free_16(quick16);
        quick16 = nullptr;
    }
    if (!utf8.code)
        return;
    const QByteArray bytes = full.toUtf8();
    quick8 = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(bytes.constData()),
                             PCRE2_SIZE(bytes.size()), options, &code, &offset, nullptr);
    if (quick8 && pcre2_jit_compile_8(quick8, PCRE2_JIT_COMPLETE) == 0) {
        quickContext8 = pcre2_match_context_create_8(nullptr);
        if (!quickContext8)
            throw std::bad_alloc();
        pcre2_set_match_limit_8(quickContext8, kQuickLimit);
        pcre2_set_heap_limit_8(quickContext8, kHeapLimitKiB);
        pcre2_jit_stack_assign_8(quickContext8, nullptr, utf8.stack);
    } else {
        pcre2_code_free_8(quick8);
        quick8 = nullptr;
    }
}

std::unique_ptr<RegexMatcher> RegexMatcher::compile(const QString &pattern, bool caseSensitive,
                                                    bool wholeWord, QString *error) {
    const uint32_t options = kOptions | (caseSensitive ? 0 : PCRE2_CASELESS);
    pcre2_compile_context_16 *compileContext = pcre2_compile_context_create_16(nullptr);
    pcre2_set_max_pattern_length_16(compileContext,
                                    kLongestPattern + kWordBefore.size() + kWordAfter.size());
    const auto build = [&](const QString &text, int *code, PCRE2_SIZE *offset) {
        return pcre2_compile_16(units(text), PCRE2_SIZE(text.size()), options, code, offset,
                                compileContext);
    };
    auto compiled = std::make_unique<Compiled>();
    compiled->wholeWord = wholeWord;
    int code = 0;
    PCRE2_SIZE offset = 0;
    const QString full = wholeWord ? kWordBefore + pattern + kWordAfter : pattern;
    // The pattern alone first, so that the positions named are the user's own.
    if (PCRE2_SIZE(pattern.size()) > kLongestPattern) {
        *error = QStringLiteral("pattern longer than %1 characters").arg(kLongestPattern);
    } else if (pcre2_code_16 *alone = build(pattern, &code, &offset); !alone) {
        *error = QStringLiteral("%1 at character %2")
                     .arg(errorText(code))
                     .arg(characterCount(pattern, qsizetype(offset)) + 1);
    } else if (wholeWord) {
        pcre2_code_free_16(alone);
        compiled->utf16.code = build(full, &code, &offset);
        if (!compiled->utf16.code)
            *error =
                QStringLiteral("it cannot be searched as a whole word (%1)").arg(errorText(code));
    } else {
        compiled->utf16.code = alone;
    }
    pcre2_compile_context_free_16(compileContext);
    if (!compiled->utf16.code)
        return nullptr;

    auto &wide = compiled->utf16;
    pcre2_jit_compile_16(wide.code, PCRE2_JIT_COMPLETE); // the interpreter serves without it
    wide.data = pcre2_match_data_create_16(1, nullptr);
    wide.context = pcre2_match_context_create_16(nullptr);
    wide.stack = pcre2_jit_stack_create_16(32 * 1024, kJitStackMost, nullptr);
    if (!wide.data || !wide.context || !wide.stack)
        throw std::bad_alloc();
    pcre2_set_match_limit_16(wide.context, kMatchLimit);
    pcre2_set_heap_limit_16(wide.context, kHeapLimitKiB);
    pcre2_jit_stack_assign_16(wide.context, nullptr, wide.stack);

    auto &narrow = compiled->utf8;
    const QByteArray bytes = full.toUtf8();
    narrow.code = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(bytes.constData()),
                                  PCRE2_SIZE(bytes.size()), options, &code, &offset, nullptr);
    if (narrow.code) {
        compiled->jit8 = pcre2_jit_compile_8(narrow.code, PCRE2_JIT_COMPLETE) == 0;
        narrow.data = pcre2_match_data_create_8(1, nullptr);
        narrow.context = pcre2_match_context_create_8(nullptr);
        narrow.stack = pcre2_jit_stack_create_8(32 * 1024, kJitStackMost, nullptr);
        if (!narrow.data || !narrow.context || !narrow.stack)
            throw std::bad_alloc();
        pcre2_set_match_limit_8(narrow.context, kMatchLimit);
        pcre2_set_heap_limit_8(narrow.context, kHeapLimitKiB);
        pcre2_jit_stack_assign_8(narrow.context, nullptr, narrow.stack);
    }
    if (isStraight(pattern))
        compiled->makeQuick(full, options & ~PCRE2_AUTO_CALLOUT);
    return std::unique_ptr<RegexMatcher>(new RegexMatcher(std::move(compiled)));
}

RegexMatcher::RegexMatcher(std::unique_ptr<Compiled> compiled) : d(std::move(compiled)) {}

RegexMatcher::~RegexMatcher() = default;

bool RegexMatcher::Compiled::find(QStringView line, PCRE2_SIZE from, uint32_t options,
                                  pcre2_match_data_16 *data, MatchPause *pause) const {
    MatchRun run{pause};
    for (;;) {
        int rc = PCRE2_ERROR_MATCHLIMIT;
        if (quick16 && line.size() <= kQuickLine) {
            rc = pcre2_jit_match_16(quick16, units(line), PCRE2_SIZE(line.size()), from, options,
                                    data, quickContext16);
            if (pause && pause->checkClock())
                return false;
        }
        if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) { // past the quick limits: metered
            pcre2_set_callout_16(utf16.context, countWork<pcre2_callout_block_16>, &run);
            rc = pcre2_match_16(utf16.code, units(line), PCRE2_SIZE(line.size()), from, options,
                                data, utf16.context);
            run.rethrow();
        }
        if (rc == PCRE2_ERROR_NOMATCH || run.abandoned)
            return false;
        if (rc < 0)
            throw unmatchable(run, rc);
        const PCRE2_SIZE *found = pcre2_get_ovector_pointer_16(data);
        const auto start = qsizetype(found[0]), end = qsizetype(found[1]);
        // The word rule around the pattern holds for what it matched, unless the pattern ended
        // the match early ((*ACCEPT)) or moved its start (\K): the match is tested as it is, and
        // a match that fails is looked for again from the next place.
        if (!wholeWord || (end >= start && LineRules::standsAlone(line, start, end - start)))
            return true;
        from = pcre2_get_startchar_16(data) + 1;
        options = 0;
        if (from < PCRE2_SIZE(line.size()) && line.at(qsizetype(from)).isLowSurrogate() &&
            line.at(qsizetype(from) - 1).isHighSurrogate())
            ++from;
        if (from > PCRE2_SIZE(line.size()))
            return false;
    }
}

qint64 RegexMatcher::match(QStringView line, MatchPause *pause) const {
    if (!d->find(line, 0, 0, d->utf16.data, pause))
        return 0;
    return characterCount(line, qsizetype(pcre2_get_ovector_pointer_16(d->utf16.data)[0])) + 1;
}

bool RegexMatcher::matchAt(QStringView line, qsizetype from, bool notEmptyAtFrom, Groups *groups,
                           MatchPause *pause) const {
    if (!d->groups16) {
        d->groups16 = pcre2_match_data_create_from_pattern_16(d->utf16.code, nullptr);
        if (!d->groups16)
            throw std::bad_alloc();
    }
    if (!d->find(line, PCRE2_SIZE(from), notEmptyAtFrom ? PCRE2_NOTEMPTY_ATSTART : 0, d->groups16,
                 pause))
        return false;
    const PCRE2_SIZE *found = pcre2_get_ovector_pointer_16(d->groups16);
    const uint32_t pairs = pcre2_get_ovector_count_16(d->groups16);
    groups->resize(pairs);
    for (uint32_t i = 0; i < pairs; ++i) {
        const bool unset = found[2 * i] == PCRE2_UNSET;
        (*groups)[i] = {unset ? -1 : qsizetype(found[2 * i]),
                        unset ? -1 : qsizetype(found[2 * i + 1])};
    }
    return true;
}

int RegexMatcher::groupCount() const {
    uint32_t count = 0;
    pcre2_pattern_info_16(d->utf16.code, PCRE2_INFO_CAPTURECOUNT, &count);
    return int(count);
}

int RegexMatcher::groupNumber(const QString &name) const {
    const int n = pcre2_substring_number_from_name_16(d->utf16.code, units(name));
    return n > 0 ? n : -1;
}

bool RegexMatcher::mayMatch(const char *utf8, qsizetype size, MatchPause *pause) const {
    const auto &narrow = d->utf8;
    if (!narrow.code)
        return true;
    MatchRun run{pause};
    const auto subject = reinterpret_cast<PCRE2_SPTR8>(utf8);
    int rc = PCRE2_ERROR_MATCHLIMIT;
    if (d->quick8 && size <= kQuickLine) {
        rc = pcre2_jit_match_8(d->quick8, subject, PCRE2_SIZE(size), 0, 0, narrow.data,
                               d->quickContext8);
        if (pause && pause->checkClock())
            return true;
    }
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) {
        pcre2_set_callout_8(narrow.context, countWork<pcre2_callout_block_8>, &run);
        rc = d->jit8 ? pcre2_jit_match_8(narrow.code, subject, PCRE2_SIZE(size), 0, 0, narrow.data,
                                         narrow.context)
                     : pcre2_match_8(narrow.code, subject, PCRE2_SIZE(size), 0, 0, narrow.data,
                                     narrow.context);
        run.rethrow();
    }
    if (run.abandoned)
        return true;
    if (run.tooLong) // the decoded line would take as much work, give or take a little
        throw unmatchable(run, rc);
    // Invalid bytes match nothing here but decode to U+FFFD, which the pattern may match.
    return rc != PCRE2_ERROR_NOMATCH || !QByteArrayView(utf8, size).isValidUtf8();
}

bool RegexMatcher::isPlainLiteral(const QString &pattern) {
    static const QString special = QStringLiteral("\\^$.|?*+()[]{}");
    for (const QChar c : pattern) {
        if (c.unicode() >= 0x80 || special.contains(c))
            return false;
    }
    return true;
}

namespace {
// Index just past the group or class whose opening character is at i, or -1 when it is not
// closed.
qsizetype skipClass(const QString &p, qsizetype i) {
    ++i; // past '['
    if (i < p.size() && p.at(i) == u'^')
        ++i;
    if (i < p.size() && p.at(i) == u']')
        ++i; // a leading ']' is a member
    while (i < p.size() && p.at(i) != u']') {
        if (p.at(i) == u'\\')
            ++i;
        else if (p.at(i) == u'[' && i + 1 < p.size() && p.at(i + 1) == u':')
            i = p.indexOf(QLatin1String(":]"), i + 2) + 1; // a POSIX class; -1 + 1 ends the scan
        if (i <= 0)
            return -1;
        ++i;
    }
    return i < p.size() ? i + 1 : -1;
}

qsizetype skipGroup(const QString &p, qsizetype i) {
    int depth = 0;
    while (i < p.size()) {
        const QChar c = p.at(i);
        if (c == u'\\') {
            i += 2;
            continue;
        }
        if (c == u'[') {
            i = skipClass(p, i);
            if (i < 0)
                return -1;
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u')' && --depth == 0)
            return i + 1;
        ++i;
    }
    return -1;
}
} // namespace

namespace {
// Alternatives of a pattern looked for at most; a longer list leaves every line to the pattern.
constexpr qsizetype kMostLiterals = 16;
// Groups nested deeper than this are not looked into.
constexpr int kDeepestGroup = 16;

QStringList literalsOfAlternatives(const QString &p, int depth);

// Score of a set of literals as a prefilter: its shortest member.
qsizetype shortest(const QStringList &set) {
    qsizetype n = std::numeric_limits<qsizetype>::max();
    for (const QString &literal : set)
        n = std::min(n, literal.size());
    return set.isEmpty() ? 0 : n;
}

// Literals one of which every match of p, a pattern without "|" outside its groups, holds:
// the longest run of ASCII characters, or the alternatives of a group that must match, which
// ever is the better filter; empty when none is found.
QStringList literalsOfBranch(const QString &p, int depth) {
    // Escapes of letters that stand for a class or an assertion; any other letter or digit
    // escape (\x{..}, \p{..}, back references, \c.) may hide literal-looking text after it.
    static const QString classes = QStringLiteral("dDwWsShHvVRNbBAzZGK");
    QString best, run;
    QStringList bestGroup;
    const auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    qsizetype i = 0;
    while (i < p.size()) {
        QChar c = p.at(i);
        if (c == u'\\') {
            if (i + 1 >= p.size())
                return {};
            c = p.at(i + 1);
            i += 2;
            if (c.isLetterOrNumber()) {
                if (c.unicode() >= 0x80 || !classes.contains(c))
                    return {};
                endRun();
                continue;
            }
        } else if (c == u'[') {
            endRun();
            i = skipClass(p, i);
            if (i < 0)
                return {};
            continue;
        } else if (c == u'(') {
            endRun();
            const qsizetype end = skipGroup(p, i);
            if (end < 0)
                return {};
            // A group that must match once at least: one of its alternatives is there.
            const bool required = end == p.size() || !QStringLiteral("?*{").contains(p.at(end));
            if (required && depth < kDeepestGroup) {
                QString inner = p.mid(i + 1, end - i - 2);
                if (inner.startsWith(QLatin1String("?:")))
                    inner.remove(0, 2);
                const QStringList group = literalsOfAlternatives(inner, depth + 1);
                if (shortest(group) > shortest(bestGroup))
                    bestGroup = group;
            }
            i = end;
            continue;
        } else if (c == u'?' || c == u'*' || c == u'+' || c == u'{') {
            run.chop(1); // the quantified character need not be there
            endRun();
            if (c == u'{') {
                i = p.indexOf(u'}', i);
                if (i < 0)
                    break;
            }
            ++i;
            continue;
        } else if (c == u'.' || c == u'^' || c == u'$' || c == u')') {
            endRun();
            ++i;
            continue;
        } else {
            ++i;
        }
        if (c.unicode() >= 0x80)
            endRun();
        else
            run += c;
    }
    endRun();
    if (shortest(bestGroup) > best.size())
        return bestGroup;
    return best.isEmpty() ? QStringList() : QStringList{best};
}

// Literals one of which every match of p holds: those of each of its alternatives together;
// empty when an alternative has none.
QStringList literalsOfAlternatives(const QString &p, int depth) {
    QStringList all;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= p.size();) {
        if (i < p.size() && p.at(i) != u'|') {
            if (p.at(i) == u'\\' && i + 1 >= p.size())
                return {};
            if (p.at(i) == u'\\')
                i += 2;
            else if (p.at(i) == u'[' || p.at(i) == u'(')
                i = p.at(i) == u'[' ? skipClass(p, i) : skipGroup(p, i);
            else
                ++i;
            if (i < 0)
                return {};
            continue;
        }
        const QStringList branch = literalsOfBranch(p.mid(from, i - from), depth);
        if (branch.isEmpty())
            return {};
        for (const QString &literal : branch)
            if (!all.contains(literal))
                all << literal;
        if (all.size() > kMostLiterals)
            return {};
        from = ++i;
    }
    return all;
}
} // namespace

QStringList RegexMatcher::requiredLiterals(const QString &p) {
    for (const char *unsure : {"(*", "\\Q", "\\E"}) {
        if (p.contains(QLatin1String(unsure)))
            return {};
    }
    // Inline options change what the text means; only non-capturing groups are known.
    for (qsizetype at = p.indexOf(QLatin1String("(?")); at >= 0;
         at = p.indexOf(QLatin1String("(?"), at + 1)) {
        if (p.mid(at + 2, 1) != QLatin1String(":"))
            return {};
    }
    return literalsOfAlternatives(p, 0);
}
