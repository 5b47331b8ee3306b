// The text of a message box, shared by every Feedback.
#include "engine/feedback.h"

#include <cstddef>
#include <cstring>

static constexpr size_t BOX_BUF = 2048;  // the text of one box with its terminator

std::string complain_text(const char* msg1, const char* msg2, const char* msg3)
{
    std::string text;
    if (msg1) {
        text += msg1;
        text += '\n';
    }
    if (msg2) {
        text += msg2;
        text += '\n';
    }
    if (msg3)
        text += msg3;
    if (text.size() > BOX_BUF - 1)
        text.resize(BOX_BUF - 1);
    return text;
}

// Appends `text` at `*at`, leaving room for the terminator.
static void append_cut(char* buf, size_t size, size_t* at, const char* text)
{
    size_t len = std::strlen(text);
    size_t room = size - 1 - *at;
    if (len > room)
        len = room;
    std::memcpy(buf + *at, text, len);
    *at += len;
}

void fatal_text(char* buf, size_t size, const char* msg)
{
    static const char tail[] = "QUITTING...\n";
    if (size < sizeof tail + 1) {
        if (size)
            buf[0] = 0;
        return;
    }
    size_t at = 0;
    if (msg) {   // cut so that the last line always shows
        append_cut(buf, size - sizeof tail, &at, msg);
        append_cut(buf, size, &at, "\n");
    }
    append_cut(buf, size, &at, tail);
    buf[at] = 0;
}
