// Validation of file-name patterns: one pass from left to right that stops
// at the leftmost fault and names it by its code.
#include "match/match.h"
#include "match/match_internal.h"

const char* const pattern_errTXT[11] = {
    "OK",
    "Missing character after \"\\\"",
    "\"[\" without a later matching \"]\"",
    "\"]\" without a previous matching \"[\"",
    "Incomplete range of alternatives \"-\"",
    "\"(\" without a later matching \")\"",
    "\")\" without a previous matching \"(\"",
    "Extraneous \"(\"",
    "Extraneous \")\"",
    "Extraneous \"]\"",
    "Internal error",
};

static int fault(uint32_t* p_error, uint32_t code)
{
    *p_error = code;
    return 1;
}

int backslash_bad(const char* p, uint32_t* p_error)
{
    return p[1] == '\0' ? fault(p_error, 1) : 0;
}

int sbracket_bad(const char** pattern, uint32_t* p_error)
{
    const char* p = *pattern + 1;
    while (*p != ']') {
        switch (*p) {
        case '\0': return fault(p_error, 2);
        case ')': return fault(p_error, 6);
        case '(':
            if (cbracket_bad(&p, p_error)) return 1;
            break;
        case '[':
            if (sbracket_bad(&p, p_error)) return 1;
            break;
        case '\\':
            if (backslash_bad(p, p_error)) return 1;
            p += 2;
            break;
        default: ++p;
        }
    }
    *pattern = p + 1;
    return 0;
}

int cbracket_bad(const char** pattern, uint32_t* p_error)
{
    const char* p = *pattern + 1;
    while (*p != ')') {
        switch (*p) {
        case '\0': return fault(p_error, 5);
        case ']': return fault(p_error, 5);  // a group closes before its set
        case '(': return fault(p_error, 7);
        case '[':
            if (sbracket_bad(&p, p_error)) return 1;
            break;
        case '\\':
            if (backslash_bad(p, p_error)) return 1;
            p += 2;
            break;
        default: ++p;
        }
    }
    *pattern = p + 1;
    return 0;
}

const char* valid_pattern_end(const char* p, uint32_t* p_error)
{
    for (;;) {
        switch (*p) {
        case '\0': *p_error = 0; return p;
        case '(': fault(p_error, 7); return nullptr;
        case ')': fault(p_error, 8); return nullptr;
        case ']': fault(p_error, 9); return nullptr;
        case '[':
            if (sbracket_bad(&p, p_error)) return nullptr;
            break;
        case '\\':
            if (backslash_bad(p, p_error)) return nullptr;
            p += 2;
            break;
        default: ++p;
        }
    }
}

int pattern_error(const char* p, uint32_t* p_error)
{
    return valid_pattern_end(p, p_error) == nullptr;
}
