// The text of a message box, shared by every Feedback.
#include "ui/feedback.h"

#include <cstddef>

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
