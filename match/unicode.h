// Names as Unicode text, for --unicode: UTF-8 characters, the NFC form and
// full case folding of a name, and characters compared under the case rule.
// The tables are utf8proc's, built from one source on every system, so a
// name groups and matches alike on Linux and Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// True when no byte of `s` is 0x80 or above. Such a name is its own NFC
// form, and its case folding only turns A..Z into a..z, so it needs no
// Unicode work: the ASCII fold of the comparison gives the same result.
bool is_ascii(const char* s);

// Length of the valid UTF-8 sequence at `p`, or 0 when it is broken
// (overlong forms, surrogates and code points above U+10FFFF included).
size_t utf8_length(const unsigned char* p);

// The character at `s` (not the terminator) and its length in `*len`. A
// byte that starts no valid sequence is a character of its own, whose
// value is no code point (so it equals only the same byte).
int32_t char_at(const char* s, size_t* len);

// The NFC form of a valid UTF-8 `name`, fully case-folded when `fold`, in
// `*out`: what utf8proc_map gives with UTF8PROC_STABLE | UTF8PROC_COMPOSE,
// plus UTF8PROC_CASEFOLD when `fold`. Not the NFKC forms, which would take
// '①' for '1'. False, with `*out` unchanged, when `name` is not valid UTF-8.
bool unicode_form(const char* name, bool fold, std::string* out);

// Two characters are one when they are equal or, when `fold`, when their
// case foldings (as unicode_form gives them) are equal: 'ß' and 'ẞ', 'Σ'
// and 'ς', but not 'İ' and 'i'.
bool same_char(int32_t a, int32_t b, bool fold);

// `x` lies between the code points `a` and `b` (either may be the lower),
// or, when `fold`, its lower-, upper- or title-case form does.
bool char_in_range(int32_t a, int32_t b, int32_t x, bool fold);
