// The matcher against a plain reading of the pattern rules, written apart
// from its handlers; a table of the settled meanings and the validation
// codes; patterns on Unicode names; and the bound on work for pathological
// patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "match/match.h"
#include "match/match_internal.h"
#include "match/unicode.h"

namespace {

// The rules read as plainly as they can be: a recursion over the pattern text
// that remembers nothing. Each open group carries the place where the match
// goes on once the group (and every set directly holding it) has ended.
class Reference {
public:
    Reference(const std::string& name, const std::string& pattern, int fold)
        : s_(name), p_(pattern), fold_(fold != 0) {}
    // The code of the leftmost fault; 0 for a well-formed pattern.
    uint32_t fault() const
    {
        size_t at = 0;
        return level(at, 0);
    }
    bool matches() const { return seq(0, 0, nullptr, false); }

private:
    struct Group {
        size_t after;        // the pattern after the group's set
        const Group* outer;  // the group around that set, if any
    };

    // One bracket level from `at` to its closer (`open` is '[', '(' or none).
    uint32_t level(size_t& at, char open) const
    {
        uint32_t code = 0;
        for (char c; (c = p_[at++]) != '\0';) {
            if (c == '\\' && at++ == p_.size()) return 1;
            if (c == '(' && open != '[') return 7;
            if (c == ']') return open == '[' ? 0 : open ? 5 : 9;
            if (c == ')') return open == '(' ? 0 : open ? 6 : 8;
            if ((c == '[' || c == '(') && (code = level(at, c)) != 0) return code;
        }
        return open == '[' ? 2 : open ? 5 : 0;
    }

    static char up(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
    static char down(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
    bool same(char a, char b) const { return fold_ ? up(a) == up(b) : a == b; }
    // Bytes order as signed values; either end may be the lower.
    bool in_range(char a, char b, char x) const
    {
        auto v = [](char c) { return int(static_cast<signed char>(c)); };
        auto inside = [&](char c) { return std::min(v(a), v(b)) <= v(c) && v(c) <= std::max(v(a), v(b)); };
        return inside(x) || (fold_ && (inside(up(x)) || inside(down(x))));
    }
    size_t past_close(size_t at) const
    {
        for (int depth = 0;; ++at) {
            if (p_[at] == '\\') ++at;
            else if (p_[at] == '[' || p_[at] == '(') ++depth;
            else if ((p_[at] == ']' || p_[at] == ')') && --depth == 0) return at + 1;
        }
    }

    // `starred`: a star stands before this part with only single characters
    // between, so at the group's end it runs on over the pattern after.
    bool seq(size_t s, size_t p, const Group* g, bool starred) const
    {
        const bool more = s < s_.size();
        switch (p_[p]) {
        case '\0': return !more;
        case ')': return starred ? run_on(s, g->after, g->outer) : seq(s, g->after, g->outer, false);
        case '*': return star(s, p + 1, g);
        case '[': return more && set(s, p, g);
        case '?': return more && seq(s + 1, p + 1, g, starred);
        case '\\': ++p; [[fallthrough]];
        default: return more && same(p_[p], s_[s]) && seq(s + 1, p + 1, g, starred);
        }
    }
    // A star takes the whole name when the pattern ends after it; otherwise
    // the rest is tried from each place but the name's end.
    bool star(size_t s, size_t p, const Group* g) const
    {
        while (p_[p] == '*') ++p;
        return p_[p] == '\0' || run_on(s, p, g);
    }
    bool run_on(size_t s, size_t p, const Group* g) const
    {
        while (s < s_.size()) {
            if (seq(s++, p, g, true)) return true;
        }
        return false;
    }
    // The members in order, a nested set's among them; the first with which
    // the rest matches wins. A range that fits leaves its `-` and upper end
    // untried; one that does not leaves them to be tried as members.
    bool set(size_t s, size_t p, const Group* g) const
    {
        const size_t end = past_close(p);
        const Group group{end, g};
        auto then = [&](bool fits) { return fits && seq(s + 1, end, g, false); };
        for (size_t m = p + 1; m + 1 < end; ++m) {
            const char c = p_[m];
            bool hit = false;
            if (c == '(') {
                hit = seq(s, m + 1, &group, false);
                m = past_close(m) - 1;
            } else if (c == '*' || c == '?') {
                hit = c == '*' ? star(s, end, g) : then(true);
            } else if (c == '\\') {
                hit = then(same(p_[++m], s_[s]));
            } else if (c != '[' && c != ']') {
                const bool range = p_[m + 1] == '-' && !std::strchr("]\\([", p_[m + 2]);
                const bool fits = range ? in_range(c, p_[m + 2], s_[s]) : same(c, s_[s]);
                hit = then(fits);
                m += range && fits ? 2 : 0;
            }
            if (hit) return true;
        }
        return false;
    }

    std::string s_, p_;
    bool fold_;
};

// Runs the matcher on copies in buffers of their exact size, so the
// sanitizer sees a read past a terminator. Without `entries`, the public
// entry when remembering.
int run(const std::string& s, const std::string& p, int flag, bool remember, uint32_t* code,
        unsigned long long* entries = nullptr)
{
    std::unique_ptr<char[]> sb(new char[s.size() + 1]), pb(new char[p.size() + 1]);
    std::memcpy(sb.get(), s.c_str(), s.size() + 1);
    std::memcpy(pb.get(), p.c_str(), p.size() + 1);
    MatchRun r;
    r.remember = remember;
    *code = 99;
    if (remember && !entries) return match(sb.get(), pb.get(), flag, nullptr, code);
    const int result = match_run(sb.get(), pb.get(), flag, nullptr, code, &r);
    if (entries) *entries = r.entries;
    return result;
}

constexpr int BOTH = -1;  // the case flag does not matter

// Meanings the plain language leaves open, settled here and kept.
const struct Row {
    const char *pattern, *name;
    int flag, expected;
} rows[] = {
    {"*.txt", "A.TXT", 0, 0}, {"*.txt", "A.TXT", 1, 1}, {"\xe9t\xe9", "\xc9T\xc9", 1, 0}, {"*?-", "-", BOTH, 0},
    {"x[()]", "x", BOTH, 0}, {"[()]x", "x", BOTH, 1}, {"[\\]]x", "]x", BOTH, 1},
    // a range's ends come in either order and compare as signed bytes, the
    // case flag counts a letter's other case; a failed range leaves `-` a member
    {"[z-a]", "m", BOTH, 1}, {"[Z-a]", "z", 0, 0}, {"[Z-a]", "z", 1, 1}, {"[a-\xe9]", "\xf0", 0, 1},
    {"[a-\xe9]", "b", 0, 0}, {"[a-z]", "-", BOTH, 1}, {"[a-c-e]", "d", BOTH, 1}, {"[\\a-c]", "b", BOTH, 0},
    // a star member is a star for the rest after its set; a star in a group
    // runs on past the group, but never tries the rest at the name's end
    {"[*]x", "abx", BOTH, 1}, {"abc[*]", "abc", BOTH, 0}, {"[(x*)]", "xy", BOTH, 0}, {"[(x*)]z", "xyz", BOTH, 1},
    {"[(a[b*]c)]d", "abqqcd", BOTH, 1}, {"[(a*b*c)]x", "abcbc", BOTH, 0},
    // what failed earlier under a star or in a set leaves no trace
    {"*[a(ab)]c", "qabc", BOTH, 1}, {"[(a*c)a(ab)]cz", "abcz", BOTH, 1},
    // sets in a set join its members; a set in a group is one element of it
    {"[[?b]c]", "zc", BOTH, 0}, {"[[(ab)]c]d", "abd", BOTH, 1}, {"[(x[(a)(ab)]?)]d", "xabzd", BOTH, 1},
    // a `-` before a bracket or an escape makes no range
    {"[a-]b", "-b", BOTH, 1}, {"[a-\\]]", "b", BOTH, 0}, {"[a-(bc)]d", "-d", BOTH, 1}, {"[a-[bc]]", "_", BOTH, 0},
};

// The leftmost fault is named.
const struct Bad {
    const char* pattern;
    uint32_t code;
} bad[] = {
    {"a\\", 1}, {"[a\\]", 2}, {"[[a]", 2}, {"[(a", 5}, {"[(ab]", 5}, {"[([a)]", 6},
    {"(a\\", 7}, {"[(a(b))]", 7}, {"ab)", 8}, {"]a(", 9}, {"\\[a]", 9},
};

TEST(Match, SettledMeaningsAndCodes)
{
    uint32_t code;
    for (const Row& r : rows) {
        for (int flag = 0; flag <= 1; ++flag) {
            for (bool remember : {true, false}) {
                if (r.flag != BOTH && r.flag != flag) continue;
                EXPECT_EQ(run(r.name, r.pattern, flag, remember, &code), r.expected)
                    << "'" << r.pattern << "' vs '" << r.name << "', flag " << flag << ", remember " << remember;
                EXPECT_EQ(code, 0u) << r.pattern;
            }
        }
    }
    for (const Bad& b : bad) {
        EXPECT_EQ(run(b.pattern, b.pattern, 0, true, &code), 0) << b.pattern;
        EXPECT_EQ(code, b.code) << b.pattern;
        EXPECT_EQ(pattern_error(b.pattern, &code), 1) << b.pattern;
    }
    // With a limit inside the name, the pattern must be used up before it.
    const char* name = "abc.txt";
    EXPECT_EQ(match(name, "abc", 0, name + 3, &code) + match(name, "a*", 0, name + 3, &code), 2);
    EXPECT_EQ(match(name, "abc?", 0, name + 3, &code) + match(name, "ab[c]x", 0, name + 3, &code), 0);
}

// With Unicode names a character is a code point of the name's NFC form:
// `?` and a set take a whole letter, a range compares code points, and the
// case rule folds every letter, one at a time ('ß' is not 'SS'). A name that
// is not UTF-8 is matched by bytes.
const struct Row unicode_rows[] = {
    {"caf?", "caf\xC3\xA9", BOTH, 1}, {"caf??", "caf\xC3\xA9", BOTH, 0}, {"caf?", "cafe\xCC\x81", BOTH, 1},
    {"[\xC3\xA0-\xC3\xAF]", "\xC3\xA9", BOTH, 1}, {"[\xC3\xAF-\xC3\xA0]", "\xC3\xB2", BOTH, 0},
    {"[\xC3\xA0-\xC3\xAF]", "\xC3\x89", 0, 0}, {"[\xC3\xA0-\xC3\xAF]", "\xC3\x89", 1, 1},
    {"stra?e.txt", "stra\xC3\x9F" "e.txt", BOTH, 1}, {"stra?e.txt", "STRASSE.TXT", 1, 0},
    {"stra??e.txt", "STRASSE.TXT", 1, 1}, {"stra\xC3\x9F" "e.txt", "STRASSE.TXT", 1, 0},
    {"STRA\xE1\xBA\x9E" "E.*", "stra\xC3\x9F" "e.txt", 1, 1}, {"\xCF\x83*", "\xCE\xA3\xCE\xAF\xCF\x83", 1, 1},
    {"\xCF\x83*", "\xCE\xA3\xCE\xAF\xCF\x83", 0, 0}, {"[(\xC3\xA9)(\xC3\xBC)]x", "\xC3\xBCx", BOTH, 1},
    {"\\\xC3\xA9*", "\xC3\xA9t\xC3\xA9", BOTH, 1}, {"?t?", "\xE9t\xE9", BOTH, 1}, {"*?", "\xC3", BOTH, 1},
    {"\xC5\xBF*", "Sea", 1, 1}, {"\xC5\xBF*", "Sea", 0, 0},   // a long s is an s, also in a plain name
};

TEST(Match, PatternsOnUnicodeNames)
{
    uint32_t code;
    for (const Row& r : unicode_rows) {
        for (int flag = 0; flag <= 1; ++flag) {
            if (r.flag != BOTH && r.flag != flag) continue;
            EXPECT_EQ(match_name(r.name, r.pattern, flag, true, &code), r.expected)
                << "'" << r.pattern << "' vs '" << r.name << "', flag " << flag;
            EXPECT_EQ(code, 0u) << r.pattern;
        }
    }
}

std::string random_text(std::mt19937& rng, const char* alphabet, size_t max_len)
{
    std::string text(rng() % (max_len + 1), ' ');
    for (char& c : text) c = alphabet[rng() % std::strlen(alphabet)];
    return text;
}

// A well-formed element; where: 0 top level, 1 in a set, 2 in a group.
void add_element(std::mt19937& rng, std::string& p, int where, int depth)
{
    const unsigned kind = rng() % (depth < 3 ? 8 : 5);
    if (kind <= 2) {
        p += kind == 2 ? std::string("\\") + "ab*]-"[rng() % 5] : kind == 1 ? "*" : "?";
    } else if (kind < 5 || (kind == 7 && where != 0 && rng() % 3 != 0)) {
        p += "abz-\xe9"[rng() % 5];
        if (where == 1 && rng() % 3 == 0) p += std::string("-") + "abzAZ-?*\xe9"[rng() % 9];
    } else {
        const bool group = kind == 5 && where == 1;
        p += group ? '(' : '[';
        for (unsigned k = rng() % 4; k > 0; --k) add_element(rng, p, group ? 2 : 1, depth + 1);
        p += group ? ')' : ']';
    }
}

// Both ways of running the matcher against the reference, with random
// patterns (well formed, or any text) and names; a run of stars acts as one,
// but many make the matcher keep its failures in a table indexed by place.
// TWINEX_FUZZ_ITERATIONS runs longer.
TEST(Match, AgreesWithThePlainReadingOfTheRules)
{
    std::mt19937 rng(20261206);
    const char* env = std::getenv("TWINEX_FUZZ_ITERATIONS");
    for (long round = 0, rounds = env ? std::atol(env) : 60000; round < rounds; ++round) {
        std::string p = round % 2 ? "" : random_text(rng, "abz*?[]()-\\A", 10);
        for (unsigned k = round % 2 ? rng() % 5 : 0; k > 0; --k) add_element(rng, p, 0, 0);
        const std::string s = random_text(rng, "abzABZ-\xe9", 7), many = std::string(40, '*') + p;
        const int flag = static_cast<int>((round >> 1) & 1);
        const Reference ref(s, p, flag);
        const uint32_t want_code = ref.fault();
        const int want = want_code == 0 && ref.matches();
        const std::string what = "'" + p + "' vs '" + s + "', flag " + std::to_string(flag);
        unsigned long long kept = 0, plain = 0;
        uint32_t code;
        ASSERT_FALSE(round % 2 && want_code) << "generated " << what;
        ASSERT_EQ(run(s, p, flag, false, &code, &plain), want) << what;
        ASSERT_EQ(code, want_code) << what;
        ASSERT_EQ(run(s, p, flag, true, &code, &kept), want) << what << ", remembering";
        ASSERT_EQ(code, want_code) << what;
        ASSERT_LE(kept, plain) << what;
        ASSERT_EQ(run(s, many, flag, true, &code), want_code == 0 && Reference(s, many, flag).matches()) << what;
        MatchRun chars;   // ASCII read as Unicode characters: the same answer
        chars.chars = true;
        const bool ascii = is_ascii(s.c_str()) && is_ascii(p.c_str());
        ASSERT_TRUE(!ascii || match_run(s.c_str(), p.c_str(), flag, nullptr, &code, &chars) == want) << what;
    }
}

// Counted handler entries, not time: the plain recursion grows with the name
// length raised to the number of stars; the remembering one stays small, for
// patterns as long as the window takes and longer.
TEST(Match, PathologicalPatternsStayBounded)
{
    const std::string a200(200, 'a'), a255(255, 'a'), chain = "[a?][a?][a?][a?][a?][a?][a?][a?][a?][a?]b";
    std::string stars, sets, groups = "a";
    for (int k = 0; k < 1023; ++k) stars += "*a";
    for (int k = 0; k < 682; ++k) sets += "[*]";
    for (int k = 0; k < 340; ++k) groups = "[(" + groups + ")]";
    const struct {
        std::string name, pattern;
        unsigned long long most;
        int expected;
    } cases[] = {
        {a200, "*a*a*a*a*a*a*a*a*a*b", 20000, 0}, {a200 + "b", "*a*a*a*a*a*a*a*a*a*b", 20000, 1},
        {a200, "[(a*)]*a*a*a*a*a*a*b", 20000, 0}, {std::string(12, 'a'), chain, 100, 0},
        {a255, stars + "b", 200000, 0},           {a255 + "b", stars.substr(0, 500) + "b", 200000, 1},
        {a255, sets + sets + "b", 2000000, 0},    {"a", groups, 2000, 1},
    };
    for (const auto& c : cases) {
        uint32_t code;
        unsigned long long entries = 0;
        EXPECT_EQ(run(c.name, c.pattern, 0, true, &code, &entries), c.expected) << c.pattern.substr(0, 40);
        EXPECT_LT(entries, c.most) << c.pattern.substr(0, 40);
    }
}

}  // namespace
