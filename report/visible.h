// Visible text: a control byte in a name (a line break, say) could break or
// forge a line of the report or of the console, so both write it as \n, \r,
// \t or \xNN (two lower-case hex digits). Every other byte goes out as it is.
#pragma once

#include <cstddef>
#include <string>

// Below 0x20, or 0x7f.
inline bool is_control_byte(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

// Writes the visible form of `c` into `out` (room for 4 bytes); returns its
// length.
size_t escape_byte(unsigned char c, char* out);

// True when `text` holds a control byte.
bool needs_escape(const char* text);

// `s` with every control byte in its visible form.
std::string visible_text(const std::string& s);
