// The matcher: a backtracking recursion of small handlers that pass the name
// and pattern positions to each other by reference, together with the depth
// of open sets (`sbrackets`) and groups (`cbrackets`) and the error code.
//
// Meanings settled here beyond the plain language:
// - A set inside a set adds its members to the enclosing set: '[[ab]c]' is
//   '[abc]'. A set inside a group is one element of the group: one of its
//   members, then the group's remaining elements. Either way every member
//   carries the match on through the whole rest of the pattern (closing the
//   groups and sets around it as they end), and the first member with which
//   the rest matches wins. No such pattern raises a code while matching.
// - A `-` followed by `]`, `\`, `(` or `[` does not make a range: the
//   character before it, the `-` itself and what follows are members of
//   their own ('[a-]' holds `a` and `-`; '[a-(bc)]' holds `a`, `-` and the
//   group). Every other `-` between two members makes a range.
// - Counters are put back whenever a handler gives up: a failed set leaves
//   both as they were on entry, a failed star too, and a failed group leaves
//   only its own raise of `cbrackets` for the set handler to take back. So a
//   failure tried earlier under a star never changes a later attempt.
// - The case flag belongs to the call, not to the module, so two threads
//   may match at once.
// - With Unicode names (match_name) a character is one UTF-8 sequence,
//   not one byte: every step over a name or pattern character goes through
//   next_char, and characters are compared as code points (unicode.h).
#include "match/match.h"
#include "match/fold.h"
#include "match/match_internal.h"
#include "match/unicode.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace {

// Failures remembered for one rest of the pattern `p`: with both counters
// zero, matching that rest fails from every name position from `fails_from`
// up to the name's terminator, which a star never tries (learnt by a star),
// and from each position marked in `failed` (learnt after a set).
constexpr int MARKED = 256;  // name positions that can be marked one by one

struct RestRow {
    const char* p;
    const char* fails_from;  // null: nothing known yet
    bool marked;             // `failed` is in use
    uint64_t failed[MARKED / 64];
};

// Patterns with few stars and sets keep their rows in a short list that is
// searched; others in a table indexed by the rest's place in the pattern,
// on the stack for patterns as long as the window takes, on the heap for
// longer ones (when the heap refuses, they run unremembered).
constexpr int SHORT_ROWS = 32;
constexpr size_t STACK_INDEXED = 2048;

struct Matcher {
    Matcher(const char* n, const char* e, int i, uint32_t* err, const MatchRun& run)
        : name(n), end(e), i_flag(i), p_error(err), remember(run.remember), chars(run.chars) {}
    const char* name;
    const char* end;  // limit inside the name, or null
    int i_flag;
    uint32_t* p_error;
    bool remember;
    bool chars;       // characters are UTF-8 sequences compared as code points
    int32_t sbrackets = 0;
    int32_t cbrackets = 0;
    unsigned long long entries = 0;
    int tries = 0;               // stars and sets now trying alternatives
    RestRow* rows = nullptr;     // the first `nrows` are in use
    int nrows = 0;
    int capacity = 0;
    const char* pattern = nullptr;
    uint32_t* index = nullptr;   // row number + 1 by place in `pattern`, or null
    size_t indexed = 0;          // places in `index`
};

int do_match(Matcher& m, const char** s_ptr, const char** p_ptr);
int rest_matches(Matcher& m, const char** s_ptr, const char** p_ptr);
int any_chars(Matcher& m, const char** s_ptr, const char** p_ptr);
int sbracket(Matcher& m, const char** s_ptr, const char** p_ptr);
int cbracket(Matcher& m, const char** s_ptr, const char** p_ptr);

// Counts a star or set as trying alternatives for as long as it lives.
struct Trying {
    explicit Trying(Matcher& matcher) : m(matcher) { ++m.tries; }
    ~Trying() { --m.tries; }
    Trying(const Trying&) = delete;
    Trying& operator=(const Trying&) = delete;
    Matcher& m;
};

int raise_error(Matcher& m, uint32_t code)
{
    *m.p_error = code;
    return 0;
}

// The position just past the character at `s`.
inline const char* next_char(const Matcher& m, const char* s)
{
    if (!m.chars || static_cast<unsigned char>(*s) < 0x80) return s + 1;
    size_t len;
    char_at(s, &len);
    return s + len;
}

// The pattern character at `p` against the name character at `s`.
inline int match_a_char(const Matcher& m, const char* p, const char* s)
{
    const unsigned char a = static_cast<unsigned char>(*p), b = static_cast<unsigned char>(*s);
    if (m.chars && (a >= 0x80 || b >= 0x80)) {
        size_t len;
        return same_char(char_at(p, &len), char_at(s, &len), m.i_flag != 0);
    }
    return m.i_flag ? ascii_upper(a) == ascii_upper(b) : a == b;
}

inline int matched(const char* p, const char* s, const char* end)
{
    return *p == '\0' && (end != nullptr || *s == '\0');
}

inline int at_end(const char* p, const char* s, const char* end)
{
    return *p == '\0' || (end != nullptr && s >= end) || *s == '\0';
}

inline bool is_meta(char c)
{
    return c == '*' || c == '[' || c == ']' || c == '(' || c == ')' || c == '?' || c == '\\';
}

int find_char(const Matcher& m, const char** p_ptr, const char** s_ptr)
{
    const char c = **p_ptr;
    if (c == '\0' || is_meta(c) || **s_ptr == '\0' || !match_a_char(m, *p_ptr, *s_ptr)) return 0;
    *p_ptr = next_char(m, *p_ptr);
    *s_ptr = next_char(m, *s_ptr);
    return 1;
}

int literal_char(Matcher& m, const char* p, const char* s)
{
    if (at_end(p + 1, s, m.end)) return p[1] == '\0' ? raise_error(m, 1) : 0;
    return match_a_char(m, p + 1, s);
}

// Bytes order as signed 8-bit values in ranges.
inline int signed_value(char c)
{
    const int v = static_cast<unsigned char>(c);
    return v < 128 ? v : v - 256;
}

// Whether some character from `a` to `b` (either order) equals `x` under the
// case rule: `x` itself or, with the flag set, its other-case letter.
int in_range(const Matcher& m, const char* pa, const char* pb, const char* px)
{
    if (m.chars) {
        size_t len;
        return char_in_range(char_at(pa, &len), char_at(pb, &len), char_at(px, &len), m.i_flag != 0);
    }
    const char a = *pa, b = *pb, x = *px;
    int lo = signed_value(a), hi = signed_value(b);
    if (lo > hi) std::swap(lo, hi);
    auto inside = [lo, hi](int v) { return v >= lo && v <= hi; };
    if (inside(signed_value(x))) return 1;
    if (!m.i_flag) return 0;
    const unsigned char c = static_cast<unsigned char>(x);
    const unsigned char other = ascii_upper(c) != c ? ascii_upper(c) : ascii_lower(c);
    return other != c && inside(other);
}

// Steps past the bracket that closes the current level of `end_bracket`'s
// kind and lowers its counter.
int to_end_bracket(Matcher& m, const char** p_ptr, char end_bracket, int32_t* brackets)
{
    char open;
    uint32_t missing;
    if (end_bracket == ')') {
        open = '(';
        missing = 5;
    } else if (end_bracket == ']') {
        open = '[';
        missing = 2;
    } else {
        return raise_error(m, 10);
    }
    const char* p = *p_ptr;
    for (int numbrackets = 1; numbrackets > 0;) {
        if (*p == '\0') return raise_error(m, missing);
        if (*p == '\\') {
            if (p[1] == '\0') return raise_error(m, missing);
            p += 2;
            continue;
        }
        if (*p == open) ++numbrackets;
        if (*p == end_bracket) --numbrackets;
        ++p;
    }
    --*brackets;
    *p_ptr = p;
    return 1;
}

// 1 when the innermost bracket around `p` is a set (its `]` comes before
// any `)` or the end of the pattern).
int inside_set(const char* p)
{
    for (int depth = 0;; ++p) {
        switch (*p) {
        case '\0': return 0;
        case '\\':
            if (p[1] == '\0') return 0;
            ++p;
            break;
        case '[':
        case '(': ++depth; break;
        case ']':
        case ')':
            if (depth == 0) return *p == ']';
            --depth;
            break;
        default: break;
        }
    }
}

// Steps past the end of the set around `p`, and of every set that directly
// holds it, since their members were tried as one list.
int leave_set(Matcher& m, const char** p_ptr)
{
    do {
        if (!to_end_bracket(m, p_ptr, ']', &m.sbrackets)) return 0;
    } while (m.sbrackets > 0 && inside_set(*p_ptr));
    return 1;
}

// The whole pattern has matched: both positions go to their ends.
int finish(const Matcher& m, const char** s_ptr, const char** p_ptr)
{
    *p_ptr += std::strlen(*p_ptr);
    *s_ptr = m.end != nullptr ? m.end : *s_ptr + std::strlen(*s_ptr);
    return 1;
}

// Matches everything from the positions on. A group whose end is met is
// closed and the match goes on after the set that holds it.
int carry_on(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    for (;;) {
        if (!rest_matches(m, s_ptr, p_ptr)) return 0;
        if (**p_ptr != ')') return 1;
        ++*p_ptr;
        --m.cbrackets;
        if (!leave_set(m, p_ptr)) return 0;
    }
}

// Remembered failures hold only while both counters are zero.
inline bool rows_apply(const Matcher& m)
{
    return m.remember && m.sbrackets == 0 && m.cbrackets == 0;
}

RestRow* find_row(Matcher& m, const char* p)
{
    if (m.index != nullptr) {
        const auto at = static_cast<size_t>(p - m.pattern);
        return at < m.indexed && m.index[at] != 0 ? &m.rows[m.index[at] - 1] : nullptr;
    }
    for (int k = 0; k < m.nrows; ++k) {
        if (m.rows[k].p == p) return &m.rows[k];
    }
    return nullptr;
}

// The row of `p`, made on first use; null when there is no room for it.
RestRow* add_row(Matcher& m, const char* p)
{
    if (RestRow* row = find_row(m, p)) return row;
    if (m.nrows == m.capacity) return nullptr;
    if (m.index != nullptr) {
        const auto at = static_cast<size_t>(p - m.pattern);
        if (at >= m.indexed) return nullptr;
        m.index[at] = static_cast<uint32_t>(m.nrows + 1);
    }
    RestRow& row = m.rows[m.nrows++];
    row.p = p;
    row.fails_from = nullptr;
    row.marked = false;  // `failed` is cleared on the first mark
    return &row;
}

bool known_to_fail(const Matcher& m, const RestRow* row, const char* s)
{
    if (row == nullptr) return false;
    if (row->fails_from != nullptr && s >= row->fails_from && *s != '\0') return true;
    if (!row->marked) return false;
    const auto at = static_cast<size_t>(s - m.name);
    return at < MARKED && ((row->failed[at / 64] >> (at % 64)) & 1) != 0;
}

// do_match on the rest after a set, skipped where it is known to fail.
int rest_matches(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    if (**p_ptr == '\0' || !rows_apply(m)) return do_match(m, s_ptr, p_ptr);
    const char* s = *s_ptr;
    const char* p = *p_ptr;
    if (known_to_fail(m, find_row(m, p), s)) return 0;
    if (do_match(m, s_ptr, p_ptr)) return 1;
    const auto at = static_cast<size_t>(s - m.name);
    if (at < MARKED && *m.p_error == 0 && rows_apply(m)) {
        if (RestRow* row = add_row(m, p)) {
            if (!row->marked) std::memset(row->failed, 0, sizeof row->failed);
            row->failed[at / 64] |= uint64_t{1} << (at % 64);
            row->marked = true;
        }
    }
    return 0;
}

int do_match(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    ++m.entries;
    const char* s = *s_ptr;
    const char* p = *p_ptr;
    for (;;) {
        if (at_end(p, s, m.end)) {
            if (matched(p, s, m.end)) {
                *s_ptr = s;
                *p_ptr = p;
                return 1;
            }
            if (*p == '\0') return 0;
        }
        switch (*p) {
        case '?':
            if (at_end(p, s, m.end)) return 0;
            s = next_char(m, s);
            ++p;
            break;
        case '*': ++p; return any_chars(m, &s, &p);
        case '[':
            if (!sbracket(m, &s, &p)) return 0;
            break;
        case '\\':
            if (!literal_char(m, p, s)) return 0;
            p = next_char(m, p + 1);
            s = next_char(m, s);
            break;
        case ')':
            if (m.cbrackets == 0) return raise_error(m, 8);
            *s_ptr = s;
            *p_ptr = p;
            return 1;
        case '(': return raise_error(m, 7);
        case ']': return raise_error(m, 9);
        default:
            if (!find_char(m, &p, &s)) return 0;
        }
        if (*m.p_error != 0) return 0;
    }
}

// The rest of a group has matched up to `*p_ptr` (on its `)`): close the
// group and step past its set. 2 when nothing follows to be matched.
int close_group(Matcher& m, const char** p_ptr)
{
    ++*p_ptr;
    if (m.cbrackets == 0) return raise_error(m, 5);
    --m.cbrackets;
    if (m.sbrackets == 0) return 2;
    return leave_set(m, p_ptr);
}

// A run of any characters, shortest first, then the rest. A star inside a
// group runs on past the group's end until the pattern after its set
// matches; the rest is never tried at the end of the name.
int any_chars(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    ++m.entries;
    const char* p = *p_ptr;
    while (*p == '*') ++p;
    *p_ptr = p;
    if (*p == '\0') {
        *s_ptr = m.end != nullptr ? m.end : *s_ptr + std::strlen(*s_ptr);
        return 1;
    }
    const int32_t sb_entry = m.sbrackets, cb_entry = m.cbrackets;
    const char* s = *s_ptr;
    const bool asked_again = m.tries > 0;  // else no one can ask for this rest again
    const Trying trying(m);
    bool clean = rows_apply(m);  // the tries begin and end with both counters zero
    RestRow* row = clean ? find_row(m, p) : nullptr;
    const char* from = s;        // where the failures seen while clean began
    while (*s != '\0') {
        if (row != nullptr && known_to_fail(m, row, s)) {
            if (row->fails_from != nullptr && s >= row->fails_from) break;
            s = next_char(m, s);
            continue;
        }
        const char* ms = s;
        const char* mp = p;
        if (do_match(m, &ms, &mp)) {
            if (*mp != ')') return 1;
            const int closed = close_group(m, &mp);
            if (closed != 1) return closed == 2;
            s = ms;
            p = mp;
            clean = rows_apply(m);
            row = clean ? find_row(m, p) : nullptr;
            from = s;
            continue;
        }
        if (*m.p_error != 0) return 0;  // a failed try leaves the counters as they were
        s = next_char(m, s);
    }
    if (clean && asked_again && (row != nullptr || (row = add_row(m, p)) != nullptr)) {
        row->fails_from = from;
    }
    m.sbrackets = sb_entry;
    m.cbrackets = cb_entry;
    return 0;
}

// A member has matched the name up to `s`; `p` is still inside its set.
int member_rest(Matcher& m, const char* s, const char* p)
{
    if (!leave_set(m, &p)) return 0;
    return carry_on(m, &s, &p);
}

int member_star(Matcher& m, const char* s, const char* p)
{
    if (!leave_set(m, &p)) return 0;
    return any_chars(m, &s, &p);
}

int member_group(Matcher& m, const char* s, const char* p, const char** next)
{
    const char* gs = s;
    const char* gp = p;
    if (cbracket(m, &gs, &gp)) return 1;
    if (*m.p_error != 0) return 0;
    ++p;
    if (!to_end_bracket(m, &p, ')', &m.cbrackets)) return 0;
    *next = p;
    return 0;
}

// An ordinary character or a range. A range that fails leaves its own `-`
// and its upper end to be tried as the next members.
int member_char(Matcher& m, const char* s, const char* p, const char** next)
{
    const char* p_save = p;
    const char* dash = next_char(m, p);
    const char after = dash[1];
    bool found;
    if (*dash == '-' && after != ']' && after != '\\' && after != '(' && after != '[') {
        if (after == '\0') return raise_error(m, 4);
        found = in_range(m, p, dash + 1, s);
        if (found) {
            p = dash + 1;
            p_save = p;
        }
    } else {
        found = match_a_char(m, p, s);
    }
    *next = next_char(m, p_save);
    return found && member_rest(m, next_char(m, s), p);
}

// Tries the member at `p` against the name at `s`: 1 when the whole pattern
// has matched through it, else 0 with the next member's place in *next.
int try_member(Matcher& m, const char* s, const char* p, const char** next)
{
    switch (*p) {
    case '?': *next = p + 1; return member_rest(m, next_char(m, s), p);
    case '\\': *next = next_char(m, p + 1); return literal_char(m, p, s) && member_rest(m, next_char(m, s), *next);
    case '*': *next = p + 1; return member_star(m, s, p);
    case '(': return member_group(m, s, p, next);
    case ')': return raise_error(m, 6);
    default: return member_char(m, s, p, next);
    }
}

int sbracket(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    ++m.entries;
    const int32_t sb_entry = m.sbrackets, cb_entry = m.cbrackets;
    const Trying trying(m);
    ++m.sbrackets;
    const char* s = *s_ptr;
    const char* p = *p_ptr + 1;
    int inner = 0;  // sets opened inside this one, their members being ours
    for (;;) {
        if (*p == ']') {
            if (inner == 0) break;
            --inner;
            --m.sbrackets;
            ++p;
            continue;
        }
        if (*p == '\0') return raise_error(m, 2);
        if (at_end(p, s, m.end)) break;  // a set needs a name character
        if (*p == '[') {
            ++inner;
            ++m.sbrackets;
            ++p;
            continue;
        }
        const int32_t sb_member = m.sbrackets, cb_member = m.cbrackets;
        const char* next = p;
        if (try_member(m, s, p, &next)) return finish(m, s_ptr, p_ptr);
        if (*m.p_error != 0) return 0;
        m.sbrackets = sb_member;
        m.cbrackets = cb_member;
        p = next;
    }
    m.sbrackets = sb_entry;
    m.cbrackets = cb_entry;
    return 0;
}

// The elements of a group, each needing a name character, then the pattern
// after the group's set. A star or an inner set carries the match on itself.
int cbracket(Matcher& m, const char** s_ptr, const char** p_ptr)
{
    ++m.entries;
    const int32_t cb_save = ++m.cbrackets, sb_save = m.sbrackets;
    const char* s = *s_ptr;
    const char* p = *p_ptr + 1;
    int ok = 1;
    while (ok && *p != ')') {
        if (*p == '\0') return raise_error(m, 5);
        if (at_end(p, s, m.end)) break;
        switch (*p) {
        case '(': return raise_error(m, 7);
        case ']': return raise_error(m, 5);
        case '?': s = next_char(m, s); ++p; break;
        case '\\':
            ok = literal_char(m, p, s);
            if (ok) {
                p = next_char(m, p + 1);
                s = next_char(m, s);
            }
            break;
        case '*':
            ++p;
            if (any_chars(m, &s, &p)) return finish(m, s_ptr, p_ptr);
            ok = 0;
            break;
        case '[':
            if (sbracket(m, &s, &p)) return finish(m, s_ptr, p_ptr);
            ok = 0;
            break;
        default: ok = find_char(m, &p, &s);
        }
    }
    if (ok && *p == ')') {
        ++p;
        --m.cbrackets;
        if (leave_set(m, &p) && carry_on(m, &s, &p)) return finish(m, s_ptr, p_ptr);
    }
    if (*m.p_error != 0) return 0;
    m.sbrackets = sb_save;
    m.cbrackets = cb_save;
    return 0;
}

}  // namespace

namespace {

int run_matcher(Matcher& m, const char* s, const char* p, MatchRun* run)
{
    const int result = do_match(m, &s, &p);
    run->entries = m.entries;
    return result;
}

// Whether the pattern of `length` characters may need more rows than the
// short list holds (a rest follows a `*` or a `]`).
bool many_rests(const char* p, size_t length)
{
    if (length <= SHORT_ROWS) return false;
    int rests = 0;
    for (; *p != '\0'; ++p) {
        if ((*p == '*' || *p == ']') && ++rests > SHORT_ROWS) return true;
    }
    return false;
}

int run_indexed(Matcher& m, const char* s, const char* p, MatchRun* run, RestRow* rows,
                uint32_t* index, size_t indexed)
{
    m.rows = rows;
    m.capacity = static_cast<int>(indexed / 2 + 1);  // a rest follows a `*` or a `]`
    m.pattern = p;
    m.index = index;
    m.indexed = indexed;
    return run_matcher(m, s, p, run);
}

int match_long(Matcher& m, const char* s, const char* p, size_t length, MatchRun* run)
{
    ++length;  // the terminator's place too
    if (length <= STACK_INDEXED) {
        RestRow rows[STACK_INDEXED / 2 + 1];
        uint32_t index[STACK_INDEXED] = {};
        return run_indexed(m, s, p, run, rows, index, STACK_INDEXED);
    }
    std::unique_ptr<RestRow[]> rows(new (std::nothrow) RestRow[length / 2 + 1]);
    std::unique_ptr<uint32_t[]> index(new (std::nothrow) uint32_t[length]());
    if (!rows || !index) return run_matcher(m, s, p, run);
    return run_indexed(m, s, p, run, rows.get(), index.get(), length);
}

}  // namespace

int match_run(const char* s, const char* p, int i, const char* end, uint32_t* p_error,
              MatchRun* run)
{
    run->entries = 0;
    const char* p_end = valid_pattern_end(p, p_error);
    if (p_end == nullptr) return 0;
    Matcher m(s, end, i, p_error, *run);
    const auto length = static_cast<size_t>(p_end - p);
    if (run->remember && many_rests(p, length)) return match_long(m, s, p, length, run);
    RestRow rows[SHORT_ROWS];
    m.rows = rows;
    m.capacity = SHORT_ROWS;
    return run_matcher(m, s, p, run);
}

int match(const char* s, const char* p, int i, const char* end, uint32_t* p_error)
{
    MatchRun run;
    return match_run(s, p, i, end, p_error, &run);
}

int match_name(const char* s, const char* p, int i, bool unicode, uint32_t* p_error)
{
    MatchRun run;
    const bool plain_name = !unicode || is_ascii(s);  // its own NFC form
    run.chars = unicode && !(plain_name && is_ascii(p));
    if (plain_name) return match_run(s, p, i, nullptr, p_error, &run);
    std::string nfc;
    if (!unicode_form(s, false, &nfc)) return match(s, p, i, nullptr, p_error);  // not UTF-8: bytes
    return match_run(nfc.c_str(), p, i, nullptr, p_error, &run);
}
