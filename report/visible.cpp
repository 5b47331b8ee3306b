// The one escaper of control bytes, for the report and the console.
#include "report/visible.h"

size_t escape_byte(unsigned char c, char* out)
{
    static const char hex[] = "0123456789abcdef";
    if (!is_control_byte(c)) {
        out[0] = char(c);
        return 1;
    }
    out[0] = '\\';
    out[1] = c == '\n' ? 'n' : c == '\r' ? 'r' : c == '\t' ? 't' : 'x';
    if (out[1] != 'x')
        return 2;
    out[2] = hex[c >> 4];
    out[3] = hex[c & 15];
    return 4;
}

bool needs_escape(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (is_control_byte(*p))
            return true;
    return false;
}

std::string visible_text(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    char esc[4];
    for (unsigned char c : s)
        out.append(esc, escape_byte(c, esc));
    return out;
}
