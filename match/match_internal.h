// Pieces of the pattern matcher that tests and the benchmark reach directly.
#pragma once

#include <cstdint>

// Checks one set or one group. `*pattern` stands on the opening `[` or `(`;
// on success (0) it is moved just past the matching closing bracket; on a
// fault the result is 1, the code goes to *p_error and `*pattern` stays.
int sbracket_bad(const char** pattern, uint32_t* p_error);
int cbracket_bad(const char** pattern, uint32_t* p_error);

// pattern_error that also gives the pattern's terminator when it is valid
// (null when it is not).
const char* valid_pattern_end(const char* p, uint32_t* p_error);

// `p` stands on a `\`: 1 with code 1 when nothing follows it, else 0.
int backslash_bad(const char* p, uint32_t* p_error);

// How a match is run. `remember` off gives the plain backtracking recursion
// that remembers nothing (the reference for tests and the benchmark).
struct MatchRun {
    bool remember = true;
    bool chars = false;              // a character is a UTF-8 sequence, compared as Unicode
    unsigned long long entries = 0;  // out: entries into the four main handlers
};

// `match` with a chosen way of running; `match` itself remembers failures.
int match_run(const char* s, const char* p, int i, const char* end, uint32_t* p_error,
              MatchRun* run);
