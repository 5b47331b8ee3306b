// File-name patterns: validation with numbered messages, and the matcher.
#pragma once

#include <cstdint>

// Messages by error code 0..10.
extern const char* const pattern_errTXT[11];

// 1 when the name `s` fits the pattern `p`. `i` non-zero: letter case of
// a..z is ignored. `end`: a limit inside the name, or null for its end.
// *p_error gets 0, or the code of a badly formed pattern.
int match(const char* s, const char* p, int i, const char* end, uint32_t* p_error);

// `match` on a whole name under the scan's choice of Unicode names. Without
// `unicode` it is `match`. With it, a name that is valid UTF-8 is matched in
// its NFC form one character (code point) at a time: `?` and a set stand
// for one character, a range compares code points, and with `i` two
// characters match when their case foldings are equal. The pattern must be
// in NFC already. A name that is not valid UTF-8 is matched as by `match`.
int match_name(const char* s, const char* p, int i, bool unicode, uint32_t* p_error);

// 1 when the pattern is badly formed (code of the leftmost fault in *p_error).
int pattern_error(const char* p, uint32_t* p_error);
