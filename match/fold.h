// The one letter-case rule of twinex: where case is ignored (names, patterns,
// paths on Windows) only the ASCII letters a..z fold onto A..Z, whatever the
// C runtime's locale says. Inline: the name index and the matcher call it
// for every byte they compare.
#pragma once

inline unsigned char ascii_upper(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline unsigned char ascii_lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}
