#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "match/match.h"
#include "match/match_internal.h"

namespace {

constexpr int BOTH = -1;  // the case flag does not matter
constexpr int NO_CODE = 0;

struct Case {
    const char* pattern;
    const char* name;
    int flag;      // 0, 1 or BOTH
    int expected;  // the result of match
    uint32_t code;
};

// Every row holds with the memoised and the plain matcher alike.
const Case cases[] = {
    // badly formed: the leftmost fault wins
    {"a\\", "a", BOTH, 0, 1},
    {"[ab", "a", BOTH, 0, 2},
    {"[a\\]", "a", BOTH, 0, 2},
    {"[(a)", "a", BOTH, 0, 2},
    {"[(a", "a", BOTH, 0, 5},
    {"[(ab]", "a", BOTH, 0, 5},
    {"[a)]", "a", BOTH, 0, 6},
    {"(ab)", "ab", BOTH, 0, 7},
    {"x(", "x", BOTH, 0, 7},
    {"[(a(b))]", "ab", BOTH, 0, 7},
    {"(a\\", "a", BOTH, 0, 7},
    {"ab)", "ab", BOTH, 0, 8},
    {"ab]", "ab", BOTH, 0, 9},
    {"]a(", "a", BOTH, 0, 9},
    {"\\[a]", "[a", BOTH, 0, 9},
    {"[[a]", "a", BOTH, 0, 2},
    {"[([a)]", "a", BOTH, 0, 6},
    // well formed
    {"[\\]]", "]", BOTH, 1, NO_CODE},
    {"[a-]", "a", BOTH, 1, NO_CODE},
    {"[]", "a", BOTH, 0, NO_CODE},
    {"[]", "", BOTH, 0, NO_CODE},
    {"[()]", "", BOTH, 0, NO_CODE},
    {"[[]]", "a", BOTH, 0, NO_CODE},
    {"*?-", "ab-", BOTH, 1, NO_CODE},
    {"*?-", "-", BOTH, 0, NO_CODE},
    // case rule
    {"*.txt", "a.txt", BOTH, 1, NO_CODE},
    {"*.txt", "A.TXT", 0, 0, NO_CODE},
    {"*.txt", "A.TXT", 1, 1, NO_CODE},
    {"*.txt", "a.txt.bak", BOTH, 0, NO_CODE},
    {"\xe9t\xe9", "\xc9T\xc9", 1, 0, NO_CODE},
    {"\xe9t\xe9", "\xe9T\xe9", 1, 1, NO_CODE},
    // ? and *
    {"a?c", "abc", BOTH, 1, NO_CODE},
    {"a?c", "ac", BOTH, 0, NO_CODE},
    {"ab?", "abc", BOTH, 1, NO_CODE},
    {"ab?", "ab", BOTH, 0, NO_CODE},
    {"a?", "a", BOTH, 0, NO_CODE},
    {"*", "", BOTH, 1, NO_CODE},
    {"*", "any name.x", BOTH, 1, NO_CODE},
    {"a*", "a", BOTH, 1, NO_CODE},
    {"*a", "a", BOTH, 1, NO_CODE},
    {"a**b", "ab", BOTH, 1, NO_CODE},
    {"a*b*c", "aXbYc", BOTH, 1, NO_CODE},
    {"a*b*c", "aXbY", BOTH, 0, NO_CODE},
    {"", "", BOTH, 1, NO_CODE},
    {"", "a", BOTH, 0, NO_CODE},
    {"*.txt *.doc", "a.txt", BOTH, 0, NO_CODE},
    {"a b", "a b", BOTH, 1, NO_CODE},
    // escapes
    {"\\*", "*", BOTH, 1, NO_CODE},
    {"\\*", "a", BOTH, 0, NO_CODE},
    {"\\a", "A", 1, 1, NO_CODE},
    {"[\\]]x", "]x", BOTH, 1, NO_CODE},
    {"[(a\\?c)]", "a?c", BOTH, 1, NO_CODE},
    {"[(a\\?c)]", "abc", BOTH, 0, NO_CODE},
    {"[(a?c)]", "abc", BOTH, 1, NO_CODE},
    // sets and ranges
    {"[abc]x", "bx", BOTH, 1, NO_CODE},
    {"[abc]x", "dx", BOTH, 0, NO_CODE},
    {"[a-z]", "m", BOTH, 1, NO_CODE},
    {"[a-z]", "-", BOTH, 1, NO_CODE},
    {"[a-z]", "M", 0, 0, NO_CODE},
    {"[a-z]", "M", 1, 1, NO_CODE},
    {"[a-c-e]", "d", BOTH, 1, NO_CODE},
    {"[z-a]", "m", BOTH, 1, NO_CODE},
    {"[\\a-c]", "b", BOTH, 0, NO_CODE},
    {"[\\a-c]", "-", BOTH, 1, NO_CODE},
    {"[a-c]", "B", 0, 0, NO_CODE},
    {"[a-c]", "B", 1, 1, NO_CODE},
    {"[Z-a]", "z", 0, 0, NO_CODE},
    {"[Z-a]", "z", 1, 1, NO_CODE},
    {"[Z-a]", "A", 1, 1, NO_CODE},
    {"[Z-a]", "_", 0, 1, NO_CODE},
    {"[a-\x7f]", "\xe9", BOTH, 0, NO_CODE},
    {"[\xe0-\xff]", "\xf0", BOTH, 1, NO_CODE},
    {"[\xe0-\xff]", "a", BOTH, 0, NO_CODE},
    {"[a-\xe9]", "A", 0, 1, NO_CODE},
    {"[a-\xe9]", "\xf0", 0, 1, NO_CODE},
    {"[a-\xe9]", "b", 0, 0, NO_CODE},
    {"[a-\xe9]", "\xe0", 0, 0, NO_CODE},
    {"*[ab]", "xxb", BOTH, 1, NO_CODE},
    {"[ab]*", "b", BOTH, 1, NO_CODE},
    {"[ab]", "", BOTH, 0, NO_CODE},
    {"[?]x", "qx", BOTH, 1, NO_CODE},
    {"[*]", "a", BOTH, 1, NO_CODE},
    {"[*]", "abc", BOTH, 1, NO_CODE},
    {"[*]", "", BOTH, 0, NO_CODE},
    {"[*]x", "abx", BOTH, 1, NO_CODE},
    {"abc[*]", "abc", BOTH, 0, NO_CODE},
    {"a[?]", "a", BOTH, 0, NO_CODE},
    // groups
    {"*.[(txt)(doc)]", "a.doc", BOTH, 1, NO_CODE},
    {"*.[(txt)(doc)]", "a.txt", BOTH, 1, NO_CODE},
    {"*.[(txt)(doc)]", "a.txx", BOTH, 0, NO_CODE},
    {"*.[(txt)(doc)]", "a.TXT", 0, 0, NO_CODE},
    {"*.[(txt)(doc)]", "a.TXT", 1, 1, NO_CODE},
    {"[(ab)c]d", "abd", BOTH, 1, NO_CODE},
    {"[(ab)c]d", "cd", BOTH, 1, NO_CODE},
    {"[(ab)c]d", "ad", BOTH, 0, NO_CODE},
    {"[(ab)(ac)]d", "acd", BOTH, 1, NO_CODE},
    {"x[()]", "x", BOTH, 0, NO_CODE},
    {"[()]x", "x", BOTH, 1, NO_CODE},
    // a star in a group runs on past the group; the rest never meets the end
    {"[(x*)]", "xy", BOTH, 0, NO_CODE},
    {"[(x*)]", "x", BOTH, 0, NO_CODE},
    {"[(x*)]z", "xz", BOTH, 1, NO_CODE},
    {"[(x*)]z", "xyz", BOTH, 1, NO_CODE},
    {"[(a*c)]x", "abcqqx", BOTH, 1, NO_CODE},
    {"[(a*c)]x", "abcqq", BOTH, 0, NO_CODE},
    // a set that failed earlier under a star leaves no trace
    {"*[a(ab)]c", "qabc", BOTH, 1, NO_CODE},
    {"*[a(ab)]c", "qac", BOTH, 1, NO_CODE},
    // a failed group leaves no trace on the members after it
    {"[(a*c)a(ab)]cz", "abcz", BOTH, 1, NO_CODE},
    // a failed star in a group leaves no trace on later tries of its caller
    {"[(a*b*c)]x", "abcbc", BOTH, 0, NO_CODE},
    {"[(a*b*c)]x", "abcbcx", BOTH, 1, NO_CODE},
    // sets inside sets join the outer set's members
    {"[[ab]c]x", "ax", BOTH, 1, NO_CODE},
    {"[[ab]c]x", "cx", BOTH, 1, NO_CODE},
    {"[[ab]c]x", "dx", BOTH, 0, NO_CODE},
    {"[[?b]c]", "zc", BOTH, 0, NO_CODE},
    {"[[?b]c]", "z", BOTH, 1, NO_CODE},
    {"[[a](ab)]c", "abc", BOTH, 1, NO_CODE},
    {"[[[a]]b]", "b", BOTH, 1, NO_CODE},
    {"[[(ab)]c]d", "abd", BOTH, 1, NO_CODE},
    {"[[*]]x", "qqx", BOTH, 1, NO_CODE},
    // a set inside a group is one element of the group
    {"[(a[bc]d)]xyz", "acdxyz", BOTH, 1, NO_CODE},
    {"[(a[bc]d)]xyz", "abdqqq", BOTH, 0, NO_CODE},
    {"[(a[bc]d)]xyz", "aedxyz", BOTH, 0, NO_CODE},
    {"[(x[(a)(ab)]?)]d", "xabzd", BOTH, 1, NO_CODE},
    {"[(a[b*]c)]d", "abqqcd", BOTH, 1, NO_CODE},
    {"[(a[*]c)]", "aqc", BOTH, 0, NO_CODE},
    {"[(a[bc])]", "ab", BOTH, 1, NO_CODE},
    {"[(a[bc])]x", "acx", BOTH, 1, NO_CODE},
    // a `-` before a bracket or an escape makes no range
    {"[a-]b", "a", BOTH, 0, NO_CODE},
    {"[a-]b", "ab", BOTH, 1, NO_CODE},
    {"[a-]b", "-b", BOTH, 1, NO_CODE},
    {"[a-]b", "Bb", BOTH, 0, NO_CODE},
    {"[a-\\]]", "]", BOTH, 1, NO_CODE},
    {"[a-\\]]", "b", BOTH, 0, NO_CODE},
    {"[a-(bc)]d", "bcd", BOTH, 1, NO_CODE},
    {"[a-(bc)]d", "-d", BOTH, 1, NO_CODE},
    {"[a-[bc]]", "c", BOTH, 1, NO_CODE},
    {"[a-[bc]]", "_", BOTH, 0, NO_CODE},
};

std::string show(const Case& c, int flag)
{
    return std::string("'") + c.pattern + "' vs '" + c.name + "', flag " + std::to_string(flag);
}

void check_case(const Case& c, int flag, bool remember)
{
    MatchRun run;
    run.remember = remember;
    uint32_t code = 99;
    const int result = match_run(c.name, c.pattern, flag, nullptr, &code, &run);
    EXPECT_EQ(result, c.expected) << show(c, flag) << (remember ? "" : " (plain)");
    EXPECT_EQ(code, c.code) << show(c, flag) << (remember ? "" : " (plain)");
}

TEST(Match, Table)
{
    for (const Case& c : cases) {
        for (int flag = 0; flag <= 1; ++flag) {
            if (c.flag != BOTH && c.flag != flag) continue;
            check_case(c, flag, true);
            check_case(c, flag, false);
        }
    }
}

TEST(Match, PublicEntryAgreesAndClearsTheCode)
{
    uint32_t code = 7;
    EXPECT_EQ(match("report01.txt", "report??.*", 0, nullptr, &code), 1);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(match("a", "a\\", 0, nullptr, &code), 0);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(match("a", "b", 0, nullptr, &code), 0);
    EXPECT_EQ(code, 0u);
}

TEST(Match, LimitInsideTheName)
{
    const char* name = "abc.txt";
    uint32_t code = 0;
    EXPECT_EQ(match(name, "abc", 0, name + 3, &code), 1);     // pattern used up
    EXPECT_EQ(match(name, "abc?", 0, name + 3, &code), 0);    // ? needs a character
    EXPECT_EQ(match(name, "a*", 0, name + 3, &code), 1);
    EXPECT_EQ(match(name, "ab[c]", 0, name + 3, &code), 1);
    EXPECT_EQ(match(name, "ab[c]x", 0, name + 3, &code), 0);
    EXPECT_EQ(match(name, "abd", 0, name + 3, &code), 0);
    EXPECT_EQ(code, 0u);
}

TEST(Validation, CodesAndPositions)
{
    uint32_t code = 99;
    EXPECT_EQ(pattern_error("[(a[b]c)]", &code), 0);
    EXPECT_EQ(code, 0u);
    const char* p = "[a(b)]rest";
    EXPECT_EQ(sbracket_bad(&p, &code), 0);
    EXPECT_STREQ(p, "rest");
    p = "(a[b])]";
    EXPECT_EQ(cbracket_bad(&p, &code), 0);
    EXPECT_STREQ(p, "]");
    const char* bad = "[(a]";
    p = bad;
    EXPECT_EQ(sbracket_bad(&p, &code), 1);
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(p, bad);
    code = 0;
    EXPECT_EQ(backslash_bad("\\x", &code), 0);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(backslash_bad("\\", &code), 1);
    EXPECT_EQ(code, 1u);
}

TEST(Validation, MessageTexts)
{
    EXPECT_STREQ(pattern_errTXT[0], "OK");
    EXPECT_STREQ(pattern_errTXT[1], "Missing character after \"\\\"");
    EXPECT_STREQ(pattern_errTXT[2], "\"[\" without a later matching \"]\"");
    EXPECT_STREQ(pattern_errTXT[3], "\"]\" without a previous matching \"[\"");
    EXPECT_STREQ(pattern_errTXT[4], "Incomplete range of alternatives \"-\"");
    EXPECT_STREQ(pattern_errTXT[5], "\"(\" without a later matching \")\"");
    EXPECT_STREQ(pattern_errTXT[6], "\")\" without a previous matching \"(\"");
    EXPECT_STREQ(pattern_errTXT[7], "Extraneous \"(\"");
    EXPECT_STREQ(pattern_errTXT[8], "Extraneous \")\"");
    EXPECT_STREQ(pattern_errTXT[9], "Extraneous \"]\"");
    EXPECT_STREQ(pattern_errTXT[10], "Internal error");
}

unsigned long long entries(const std::string& name, const char* pattern, bool remember, int* result)
{
    MatchRun run;
    run.remember = remember;
    uint32_t code = 0;
    *result = match_run(name.c_str(), pattern, 0, nullptr, &code, &run);
    EXPECT_EQ(code, 0u);
    return run.entries;
}

// Counted handler entries, not time: the plain recursion grows with the name
// length raised to the number of stars, the remembering one stays small.
TEST(Match, RememberedFailuresCollapseStarChains)
{
    const std::string a40(40, 'a'), a200(200, 'a');
    int plain = -1, kept = -1;
    const unsigned long long plain3 = entries(a40, "*a*a*a*b", false, &plain);
    EXPECT_GT(plain3, 100000u);
    EXPECT_LT(entries(a40, "*a*a*a*b", true, &kept), 1000u);
    EXPECT_EQ(kept, plain);
    EXPECT_LT(entries(a40, "*a*a*a*a*a*a*b", true, &kept), 2000u);
    EXPECT_EQ(kept, 0);
    EXPECT_LT(entries(a200, "*a*a*a*a*a*a*a*a*a*b", true, &kept), 20000u);
    EXPECT_EQ(kept, 0);
    EXPECT_LT(entries(a200 + "b", "*a*a*a*a*a*a*a*a*a*b", true, &kept), 20000u);
    EXPECT_EQ(kept, 1);
    EXPECT_LT(entries(a200, "[(a*)]*a*a*a*a*a*a*b", true, &kept), 20000u);
    EXPECT_EQ(kept, 0);
    // sets whose members all fit the same character: failures after a set
    const char* chain = "[a?][a?][a?][a?][a?][a?][a?][a?][a?][a?]b";
    const auto plain_chain = entries(std::string(12, 'a'), chain, false, &plain);
    EXPECT_GT(plain_chain, 2000u);
    EXPECT_LT(entries(std::string(12, 'a'), chain, true, &kept), 100u);
    EXPECT_EQ(kept, plain);
}

TEST(Match, OrdinaryPatternsEnterNoMoreHandlers)
{
    const char* patterns[] = {"*.txt", "*.[(txt)(doc)]", "report??.*"};
    const char* names[] = {"report01.txt", "a.doc", "notes.txt.bak", "x"};
    for (const char* p : patterns) {
        for (const char* n : names) {
            int plain = -1, kept = -1;
            const auto plain_entries = entries(n, p, false, &plain);
            EXPECT_LE(entries(n, p, true, &kept), plain_entries) << p << " vs " << n;
            EXPECT_EQ(kept, plain) << p << " vs " << n;
        }
    }
}

// Rounds of a randomised test: the default, or TWINEX_FUZZ_ITERATIONS.
long iterations(long by_default)
{
    const char* env = std::getenv("TWINEX_FUZZ_ITERATIONS");
    return env != nullptr ? std::atol(env) : by_default;
}

std::string random_text(std::mt19937& rng, const char* alphabet, size_t max_len)
{
    const size_t size = std::char_traits<char>::length(alphabet);
    std::string text(rng() % (max_len + 1), ' ');
    for (char& c : text) c = alphabet[rng() % size];
    return text;
}

// A well-formed pattern with sets, ranges and groups nested at random.
void add_element(std::mt19937& rng, std::string& p, int where, int depth);

void add_set(std::mt19937& rng, std::string& p, int depth)
{
    p += '[';
    for (unsigned k = rng() % 4; k > 0; --k) add_element(rng, p, 1, depth + 1);
    p += ']';
}

// where: 0 top level, 1 in a set, 2 in a group
void add_element(std::mt19937& rng, std::string& p, int where, int depth)
{
    const char* plain = "ab-";
    switch (rng() % (depth < 3 ? 8 : 5)) {
    case 0: p += '?'; break;
    case 1: p += '*'; break;
    case 2: p += '\\'; p += "ab*]-"[rng() % 5]; break;
    case 3:
    case 4:
        p += plain[rng() % 3];
        if (where == 1 && rng() % 3 == 0) {
            p += '-';
            p += "abAB-?*"[rng() % 7];
        }
        break;
    case 5:
        if (where == 1) {
            p += '(';
            for (unsigned k = rng() % 4; k > 0; --k) add_element(rng, p, 2, depth + 1);
            p += ')';
            break;
        }
        add_set(rng, p, depth);
        break;
    default:
        if (where == 0 || rng() % 3 == 0) add_set(rng, p, depth);
        else p += plain[rng() % 3];
    }
}

std::string random_pattern(std::mt19937& rng, long round)
{
    if (round % 2 == 0) return random_text(rng, "ab*?[]()-\\", 10);
    std::string p;
    for (unsigned k = rng() % 5; k > 0; --k) add_element(rng, p, 0, 0);
    return p;
}

// The remembering matcher against the plain recursion; and no valid pattern
// raises a code while matching.
TEST(Match, RememberingAgreesWithPlainRecursion)
{
    std::mt19937 rng(20261206);
    for (long round = 0; round < iterations(60000); ++round) {
        const std::string p = random_pattern(rng, round);
        const std::string s = random_text(rng, "abAB-", 7);
        const int flag = static_cast<int>((round >> 1) & 1);
        uint32_t valid = 0;
        pattern_error(p.c_str(), &valid);
        if (round % 2 == 1) {
            ASSERT_EQ(valid, 0u) << "generated '" << p << "'";
        }
        MatchRun kept, plain;
        plain.remember = false;
        uint32_t kept_code = 99, plain_code = 99;
        const int r1 = match_run(s.c_str(), p.c_str(), flag, nullptr, &kept_code, &kept);
        const int r2 = match_run(s.c_str(), p.c_str(), flag, nullptr, &plain_code, &plain);
        ASSERT_EQ(r1, r2) << "'" << p << "' vs '" << s << "' flag " << flag;
        ASSERT_EQ(kept_code, plain_code) << "'" << p << "' vs '" << s << "'";
        ASSERT_LE(kept.entries, plain.entries) << "'" << p << "' vs '" << s << "'";
        if (valid == 0) {
            ASSERT_EQ(kept_code, 0u) << "'" << p << "' vs '" << s << "'";
        }
        // a run of stars acts as one, but many of them make the matcher
        // keep its remembered failures in a table indexed by place
        const std::string one = "*" + p, many = std::string(40, '*') + p;
        const int r3 = match_run(s.c_str(), one.c_str(), flag, nullptr, &plain_code, &plain);
        const int r4 = match_run(s.c_str(), many.c_str(), flag, nullptr, &kept_code, &kept);
        ASSERT_EQ(r3, r4) << "'" << many << "' vs '" << s << "'";
        ASSERT_EQ(kept_code, plain_code) << "'" << many << "' vs '" << s << "'";
    }
}

// Patterns as long as the window takes, and longer, stay fast and agree.
TEST(Match, LongPatterns)
{
    const std::string name(255, 'a');
    std::string stars, sets, groups;
    for (int k = 0; k < 1023; ++k) stars += "*a";
    for (int k = 0; k < 682; ++k) sets += "[*]";
    for (int k = 0; k < 340; ++k) groups += "[(";
    groups += "a";
    for (int k = 0; k < 340; ++k) groups += ")]";
    const std::string longer = sets + sets + "b";
    int result = -1;
    EXPECT_LT(entries(name, (stars + "b").c_str(), true, &result), 200000u);
    EXPECT_EQ(result, 0);
    EXPECT_LT(entries(name + "b", (stars.substr(0, 500) + "b").c_str(), true, &result), 200000u);
    EXPECT_EQ(result, 1);
    EXPECT_LT(entries(name, (sets + "b").c_str(), true, &result), 1000000u);
    EXPECT_EQ(result, 0);
    EXPECT_LT(entries(name, longer.c_str(), true, &result), 2000000u);
    EXPECT_EQ(result, 0);
    EXPECT_LT(entries("a", groups.c_str(), true, &result), 2000u);
    EXPECT_EQ(result, 1);
}

// Arbitrary bytes as pattern and name, in buffers of their exact size so the
// sanitizer sees any read past a terminator. TWINEX_FUZZ_ITERATIONS runs longer.
TEST(Match, FuzzArbitraryBytes)
{
    const long rounds = iterations(20000);
    std::mt19937 rng(4242);
    const char* meta = "*?[]()-\\";
    for (long round = 0; round < rounds; ++round) {
        std::vector<char> p(rng() % 24 + 1), s(rng() % 16 + 1);
        for (char& c : p) c = (rng() % 2) ? meta[rng() % 8] : static_cast<char>(rng() % 255 + 1);
        for (char& c : s) c = static_cast<char>(rng() % 255 + 1);
        p.back() = '\0';
        s.back() = '\0';
        const char* end = (rng() % 4 == 0) ? s.data() + rng() % s.size() : nullptr;
        uint32_t code = 99;
        const int result = match(s.data(), p.data(), static_cast<int>(rng() % 2), end, &code);
        ASSERT_TRUE(result == 0 || result == 1);
        ASSERT_LE(code, 10u);
        if (result == 1) {
            ASSERT_EQ(code, 0u);
        }
    }
}

// The case flag belongs to each call: two threads with opposite flags.
TEST(Match, ConcurrentCallsKeepTheirOwnCaseFlag)
{
    auto run = [](int flag, int* wrong) {
        for (int k = 0; k < 20000; ++k) {
            uint32_t code = 0;
            if (match("A.TXT", "*.[(txt)(doc)]", flag, nullptr, &code) != flag) ++*wrong;
        }
    };
    int wrong0 = 0, wrong1 = 0;
    std::thread t0(run, 0, &wrong0), t1(run, 1, &wrong1);
    t0.join();
    t1.join();
    EXPECT_EQ(wrong0, 0);
    EXPECT_EQ(wrong1, 0);
}

}  // namespace
