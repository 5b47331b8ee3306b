// Names as Unicode text (the rules are in unicode.h).
#include "match/unicode.h"

#include <cstring>
#include <utility>
#include <vector>

#include "third_party/utf8proc/utf8proc.h"

namespace {

// A broken byte's value: above every code point.
constexpr int32_t BROKEN_BYTE = 0x110000;

// Code points of a name decomposed on the stack; longer names on the heap.
constexpr utf8proc_ssize_t STACK_POINTS = 512;

utf8proc_option_t form_options(bool fold)
{
    int options = UTF8PROC_STABLE | UTF8PROC_COMPOSE | (fold ? UTF8PROC_CASEFOLD : 0);
    return static_cast<utf8proc_option_t>(options);
}

// Decomposes `len` bytes into `buf` (room for `room` points, one to spare
// for the re-encoding's terminator) and re-encodes the composed form in
// place. The length in bytes, or a negative error.
utf8proc_ssize_t form_into(const utf8proc_uint8_t* s, utf8proc_ssize_t len, utf8proc_option_t options,
                           utf8proc_int32_t* buf, utf8proc_ssize_t room, utf8proc_ssize_t* needed)
{
    *needed = utf8proc_decompose(s, len, buf, room - 1, options);
    if (*needed < 0 || *needed > room - 1)
        return -1;
    return utf8proc_reencode(buf, *needed, options);
}

std::string char_text(int32_t c)
{
    utf8proc_uint8_t bytes[4];
    utf8proc_ssize_t n = utf8proc_encode_char(c, bytes);
    return std::string(reinterpret_cast<const char*>(bytes), size_t(n));
}

std::string folded(int32_t c)
{
    std::string text = char_text(c), out;
    unicode_form(text.c_str(), true, &out);
    return out;
}

}  // namespace

bool is_ascii(const char* s)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p)
        if (*p >= 0x80)
            return false;
    return true;
}

size_t utf8_length(const unsigned char* p)
{
    unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0)
        return 0;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] >= 0x90))
        return 0;
    return n;
}

int32_t char_at(const char* s, size_t* len)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    size_t n = utf8_length(p);
    if (n == 0) {
        *len = 1;
        return BROKEN_BYTE + p[0];
    }
    *len = n;
    utf8proc_int32_t c = 0;
    utf8proc_iterate(p, utf8proc_ssize_t(n), &c);
    return c;
}

bool unicode_form(const char* name, bool fold, std::string* out)
{
    const utf8proc_uint8_t* s = reinterpret_cast<const utf8proc_uint8_t*>(name);
    size_t at = 0;   // a broken name is told apart before any table is read
    for (size_t n; s[at]; at += n)
        if ((n = utf8_length(s + at)) == 0)
            return false;
    utf8proc_ssize_t len = utf8proc_ssize_t(at);
    utf8proc_option_t options = form_options(fold);
    utf8proc_int32_t local[STACK_POINTS];
    utf8proc_ssize_t needed = 0;
    utf8proc_ssize_t n = form_into(s, len, options, local, STACK_POINTS, &needed);
    const utf8proc_int32_t* buf = local;
    std::vector<utf8proc_int32_t> heap;
    if (n < 0 && needed > 0) {   // longer than the stack holds
        heap.resize(size_t(needed) + 1);
        n = form_into(s, len, options, heap.data(), needed + 1, &needed);
        buf = heap.data();
    }
    if (n < 0)
        return false;
    out->assign(reinterpret_cast<const char*>(buf), size_t(n));
    return true;
}

bool same_char(int32_t a, int32_t b, bool fold)
{
    if (a == b)
        return true;
    if (!fold || a >= BROKEN_BYTE || b >= BROKEN_BYTE)
        return false;
    return folded(a) == folded(b);
}

bool char_in_range(int32_t a, int32_t b, int32_t x, bool fold)
{
    if (a > b)
        std::swap(a, b);
    auto inside = [a, b](int32_t c) { return c >= a && c <= b; };
    if (inside(x))
        return true;
    if (!fold || x >= BROKEN_BYTE)
        return false;
    return inside(utf8proc_tolower(x)) || inside(utf8proc_toupper(x)) || inside(utf8proc_totitle(x));
}
