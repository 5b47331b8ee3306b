// What counts as one name (the rules are in name_key.h).
#include "engine/name_key.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "match/fold.h"
#include "match/unicode.h"

namespace {

constexpr size_t NONE = size_t(-1);

// The marks that end a base, besides " (N)" and " copy N".
const char* const end_marks[] = {" - Copy", " - Kopie", " - Copie", " - Copia", " - C\xC3\xB3pia", " copy"};

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_ext_char(char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// `text` (all of it) stands at `at` in `s`, under the case rule.
bool text_at(const char* s, size_t at, const char* text, int i_flag)
{
    for (size_t k = 0; text[k]; ++k) {
        unsigned char a = static_cast<unsigned char>(s[at + k]), b = static_cast<unsigned char>(text[k]);
        if (i_flag ? ascii_upper(a) != ascii_upper(b) : a != b)
            return false;
    }
    return true;
}

bool ends_with(const char* s, size_t end, const char* text, int i_flag)
{
    size_t len = strlen(text);
    return len <= end && text_at(s, end - len, text, i_flag);
}

// Where the 1 to 4 digits that end at `end` begin; NONE when there are
// none, or more.
size_t number_before(const char* s, size_t end)
{
    size_t k = end;
    while (k > 0 && end - k <= 4 && is_digit(s[k - 1]))
        --k;
    return k < end && end - k <= 4 && !(k > 0 && is_digit(s[k - 1])) ? k : NONE;
}

// The dot of a part of 1 to 5 letters or digits that ends at `end`; NONE
// when there is none, or the dot starts the name.
size_t part_before(const char* s, size_t end)
{
    size_t k = end;
    while (k > 0 && end - k <= 5 && is_ext_char(s[k - 1]))
        --k;
    size_t len = end - k;
    return len >= 1 && len <= 5 && k > 1 && s[k - 1] == '.' ? k - 1 : NONE;
}

// Where a mark that ends at `end` begins; NONE when none does.
size_t mark_before(const char* s, size_t end, int i_flag)
{
    if (end > 0 && s[end - 1] == ')') {   // "(N)", with its blank when it has one
        size_t n = number_before(s, end - 1);
        if (n != NONE && n > 0 && s[n - 1] == '(')
            return n > 1 && s[n - 2] == ' ' ? n - 2 : n - 1;
    }
    for (const char* m : end_marks)
        if (ends_with(s, end, m, i_flag))
            return end - strlen(m);
    size_t n = number_before(s, end);
    return n != NONE && ends_with(s, n, " copy ", i_flag) ? n - 6 : NONE;
}

// The length of a "Copy of " or "Copy (N) of " that starts `s`; 0 when none.
size_t mark_in_front(const char* s, size_t len, int i_flag)
{
    if (len < 8 || !text_at(s, 0, "Copy ", i_flag))
        return 0;
    size_t at = 5;
    if (s[at] == '(') {
        size_t close = at + 1;
        while (close < len && close - at <= 5 && is_digit(s[close]))
            ++close;
        if (close == at + 1 || close - at > 5 || close >= len || s[close] != ')')
            return 0;
        at = close + 2;
        if (at > len || s[at - 1] != ' ')
            return 0;
    }
    return at + 3 <= len && text_at(s, at, "of ", i_flag) ? at + 3 : 0;
}

// One mark of `s` (length `len`): where it starts and how long it is.
bool find_mark(const char* s, size_t len, int i_flag, size_t* at, size_t* mark_len)
{
    size_t one = part_before(s, len);
    size_t two = one == NONE ? NONE : part_before(s, one);
    // The base ends before the two-part extension, the one-part one, or at
    // the end of a name without one.
    for (size_t end : {two, one, one == NONE ? len : NONE}) {
        if (end == NONE)
            continue;
        size_t start = mark_before(s, end, i_flag);
        if (start != NONE && start > 0) {
            *at = start;
            *mark_len = end - start;
            return true;
        }
    }
    size_t base = two != NONE ? two : one != NONE ? one : len;
    size_t front = mark_in_front(s, len, i_flag);
    if (front == 0 || front >= base)
        return false;
    *at = 0;
    *mark_len = front;
    return true;
}

}  // namespace

NameRules name_rules(const ScanState& st)
{
    NameRules r;
    r.i_flag = st.i_flag;
    r.unicode = st.extra.unicode;
    r.copies = st.extra.copies;
    return r;
}

bool strip_copy_marks(const char* name, int i_flag, std::string* out)
{
    size_t at = 0, len = 0;
    if (!find_mark(name, strlen(name), i_flag, &at, &len))
        return false;
    std::string bare = name;
    do
        bare.erase(at, len);
    while (find_mark(bare.c_str(), bare.size(), i_flag, &at, &len));
    *out = std::move(bare);
    return true;
}

const char* name_key(const char* name, const NameRules& rules, std::string* buf)
{
    const char* key = name;
    if (rules.unicode && !is_ascii(name) && unicode_form(name, rules.i_flag != 0, buf) &&
        !same_name(buf->c_str(), name, rules.i_flag))
        key = buf->c_str();
    if (rules.copies && strip_copy_marks(key, rules.i_flag, buf))
        key = buf->c_str();
    return key;
}

const char* group_title(const ScanState& st, const Fnode* first, std::string* buf)
{
    if (st.extra.copies && strip_copy_marks(first->fname, st.i_flag, buf))
        return buf->c_str();
    return first->fname;
}

void normalise_patterns(ScanState& st)
{
    if (!st.extra.unicode)
        return;
    std::string nfc;
    if (st.pattern && unicode_form(st.pattern, false, &nfc) && nfc != st.pattern) {
        char* copy = makestring(nfc.c_str());
        if (copy) {   // short of memory, the pattern stays as typed
            free(st.pattern);
            st.pattern = copy;
        }
    }
    for (std::string& x : st.extra.excludes)
        if (unicode_form(x.c_str(), false, &nfc))
            x = nfc;
}
